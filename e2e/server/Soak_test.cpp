// The soak run in CI: linkctl soak against the server on the default machine once its start-up
// defaults are over, and against a server without a card back end. linkctl checks every answer
// against its own model of the command tables and exits non-zero on the first mismatch found.

#include <gtest/gtest.h>

#include <string>

#include "e2e/mainboard/ToolRun.h"
#include "e2e/server/ServerRun.h"

namespace server_e2e {
namespace {

class Soak : public ServerTest {
  protected:
    board_e2e::ToolResult soak(const wchar_t* requests) {
        return board_e2e::runTool(e2e::builtFile(L"bin\\linkctl.exe"),
                                  {L"soak", requests, L"--seed", L"2026"});
    }
};

TEST_F(Soak, TwentyThousandRandomRequestsMatchTheModelOfTheTablesAndTheCard) {
    ASSERT_TRUE(start());
    // The model starts from the card as the last run of the defaults leaves it.
    const auto defaultsDone = [&] { return callsTo(kDefaultFanEntry).size() >= kDefaultFanSettings; };
    ASSERT_TRUE(e2e::waitUntil(defaultsDone, e2e::kPatienceMs));
    const board_e2e::ToolResult r = soak(L"20000");
    EXPECT_EQ(r.exitCode, 0u) << r.out;
    EXPECT_NE(r.out.find("drives card 0 through its back end"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("mismatches: 0\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("(20001 requests from the journal)"), std::string::npos)
        << "the journal shows one handled request per notification with the link's parameters\n"
        << r.out;
}

TEST_F(Soak, WithoutACardBackEndOnlyTheHandshakeAndTheSetWordAnswer) {
    machine.load(shippedMachine("amd-two"));
    ASSERT_TRUE(start());
    waitUntilStarted();
    const board_e2e::ToolResult r = soak(L"2000");
    EXPECT_EQ(r.exitCode, 0u) << r.out;
    EXPECT_NE(r.out.find("has no card back end"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("mismatches: 0\n"), std::string::npos) << r.out;
}

}  // namespace
}  // namespace server_e2e
