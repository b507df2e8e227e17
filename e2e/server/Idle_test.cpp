// What wakes the server when it has nothing to do: msgwatch counts the messages its window thread
// takes from its queue. While the start-up defaults are applied their timer ticks; once they are,
// with the registration and the tray icon accepted, nothing is left to wake it.

#include <gtest/gtest.h>

#include <string>

#include "e2e/mainboard/ToolRun.h"
#include "e2e/server/ServerRun.h"

namespace server_e2e {
namespace {

class Idle : public ServerTest {
  protected:
    // The messages the main window's thread takes in the time given, as msgwatch prints them.
    static board_e2e::ToolResult watch(std::uint32_t ms) {
        return board_e2e::runTool(e2e::builtFile(L"bin\\msgwatch.exe"), {std::to_wstring(ms / 1000.0)});
    }
    static bool prints(const board_e2e::ToolResult& r, const char* line) {
        return r.exitCode == 0 && r.out.find(line) != std::string::npos;
    }
};

TEST_F(Idle, OnceTheDefaultsAreAppliedNoTimerWakesTheServer) {
    ASSERT_TRUE(start());
    // The default timer ticks while the watch lasts, so the watch can see a timer left running.
    const board_e2e::ToolResult during = watch(2 * kDefaultPeriodMs + 500);
    EXPECT_EQ(during.exitCode, 0u) << during.out;
    EXPECT_FALSE(prints(during, "WM_TIMER 0\n")) << during.out;

    ASSERT_TRUE(e2e::waitUntil([&] { return callsTo(kDefaultFanEntry).size() >= kDefaultFanSettings; },
                               e2e::kPatienceMs));
    // Longer than the longest interval of the server's timers (the registration's retries).
    const board_e2e::ToolResult after = watch(kRegistrationRetryMs + 500);
    EXPECT_TRUE(prints(after, "messages taken: 0\nWM_TIMER 0\n")) << after.out;
}

}  // namespace
}  // namespace server_e2e
