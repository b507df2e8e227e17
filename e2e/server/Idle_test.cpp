// What wakes the server when it has nothing to do: msgwatch counts the messages its window thread
// takes from its queue. While the start-up defaults are applied their timer ticks; once they are,
// with the registration and the tray icon accepted, nothing is left to wake it.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>

#include "e2e/mainboard/ToolRun.h"
#include "e2e/server/ServerRun.h"

namespace server_e2e {
namespace {

class Idle : public ServerTest {
  protected:
    // The messages the main window's thread takes in the time given, as msgwatch reports them.
    static nlohmann::json watch(std::uint32_t ms) {
        const board_e2e::ToolResult r = board_e2e::runTool(e2e::builtFile(L"bin\\msgwatch.exe"),
                                                           {std::to_wstring(ms / 1000.0), L"--json"});
        EXPECT_EQ(r.exitCode, 0u) << r.out;
        const nlohmann::json report = board_e2e::printedJson(r);
        EXPECT_TRUE(report.is_object()) << r.out;
        return report.is_object() ? report : nlohmann::json::object();
    }
};

TEST_F(Idle, OnceTheDefaultsAreAppliedNoTimerWakesTheServer) {
    ASSERT_TRUE(start());
    // The default timer ticks while the watch lasts, so the watch can see a timer left running.
    const nlohmann::json during = watch(2 * kDefaultPeriodMs + 500);
    EXPECT_GT(during.value("timer", 0), 0) << during;

    ASSERT_TRUE(e2e::waitUntil([&] { return callsTo(kDefaultFanEntry).size() >= kDefaultFanSettings; },
                               e2e::kPatienceMs));
    // Longer than the longest interval of the server's timers (the registration's retries).
    const nlohmann::json after = watch(kRegistrationRetryMs + 500);
    EXPECT_EQ(after.value("taken", -1), 0) << after;
    EXPECT_EQ(after.value("timer", -1), 0) << after;
}

}  // namespace
}  // namespace server_e2e
