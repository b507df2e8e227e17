// How a test starts a program that is to see the board's devices: setupapi.dll of the board beside
// the program, and wine told to prefer it for that program alone (see BoardSetupApi.h).

#include <gtest/gtest.h>

#include "e2e/mainboard/ToolRun.h"
#include "e2e/support/Harness.h"
#include "mainboard/machine/BoardSetupApi.h"
#include "mainboard/machine/Machine.h"
#include "win32/Application.h"

namespace board_e2e {
namespace {

constexpr wchar_t kProbe[] = L"setupapi_probe.exe";  // exits with the number of display controllers it finds

class SetupApiOverride : public ::testing::Test {
  protected:
    void SetUp() override {
        machine.reset();
        folder.add(win32::executableFolder() + kProbe, kProbe);
        folder.add(e2e::builtFile(L"standins\\setupapi.dll"), L"setupapi.dll");
    }
    void TearDown() override { simboard::forgetBoardSetupApi(kProbe); }
    ToolResult probe() { return runTool(folder.path() + kProbe, {}, folder.path()); }
    std::size_t setupApiCalls(DWORD processId) {
        std::size_t n = 0;
        for (const e2e::Call& c : e2e::callsOf(processId))
            if (c.library == "setupapi") ++n;
        return n;
    }
    simboard::Machine& machine = simboard::Machine::instance();
    e2e::ProgramFolder folder{L"SetupApiOverride"};
};

TEST_F(SetupApiOverride, AProgramToldToPreferTheBoardsLibrarySeesTheBoardsDevices) {
    ASSERT_TRUE(simboard::preferBoardSetupApi(kProbe));
    const ToolResult board = probe();
    EXPECT_EQ(board.exitCode, 1u) << "the default machine has one display controller";
    EXPECT_GT(setupApiCalls(board.processId), 3u);

    ASSERT_TRUE(simboard::forgetBoardSetupApi(kProbe));
    EXPECT_FALSE(simboard::forgetBoardSetupApi(kProbe)) << "nothing left to take away";
    const ToolResult system = probe();
    EXPECT_EQ(setupApiCalls(system.processId), 0u) << "untold, it gets the system's library";
    EXPECT_EQ(system.exitCode, 0u) << "wine's own device tree has no display controller";
}

}  // namespace
}  // namespace board_e2e
