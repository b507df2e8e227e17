// The soak run in CI: linkctl soak against the server on the default machine once its start-up
// defaults are over, and against a server without a card back end. linkctl checks every answer
// against its own model of the command tables and exits non-zero on the first mismatch found.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "e2e/mainboard/ToolRun.h"
#include "e2e/server/ServerRun.h"

namespace server_e2e {
namespace {

class Soak : public ServerTest {
  protected:
    // linkctl's report for scripts, after checking that the run ended well.
    nlohmann::json soak(const wchar_t* requests) {
        const board_e2e::ToolResult r = board_e2e::runTool(
            e2e::builtFile(L"bin\\linkctl.exe"), {L"soak", requests, L"--seed", L"2026", L"--json"});
        EXPECT_EQ(r.exitCode, 0u) << r.out;
        const nlohmann::json report = board_e2e::printedJson(r);
        EXPECT_TRUE(report.is_object()) << r.out;
        return report.is_object() ? report : nlohmann::json::object();
    }
};

TEST_F(Soak, TwentyThousandRandomRequestsMatchTheModelOfTheTablesAndTheCard) {
    ASSERT_TRUE(start());
    // The model starts from the card as the last run of the defaults leaves it.
    const auto defaultsDone = [&] { return callsTo(kDefaultFanEntry).size() >= kDefaultFanSettings; };
    ASSERT_TRUE(e2e::waitUntil(defaultsDone, e2e::kPatienceMs));
    const nlohmann::json report = soak(L"20000");
    EXPECT_EQ(report.value("drives_card", false), true) << report;
    EXPECT_EQ(report.value("requests", 0), 20000) << report;
    EXPECT_EQ(report.value("mismatches", -1), 0) << report;
    // The set-all before the run is one more; the journal shows one handled request per
    // notification with the link's parameters.
    EXPECT_EQ(report.value("notified", 0), 20001) << report;
    EXPECT_EQ(report.value("handled_from_journal", 0), 20001) << report;
}

TEST_F(Soak, WithoutACardBackEndOnlyTheHandshakeAndTheSetWordAnswer) {
    machine.load(shippedMachine("amd-two"));
    ASSERT_TRUE(start());
    waitUntilStarted();
    const nlohmann::json report = soak(L"2000");
    EXPECT_EQ(report.value("drives_card", true), false) << report;
    EXPECT_EQ(report.value("card_count", -1), 0) << report;
    EXPECT_EQ(report.value("mismatches", -1), 0) << report;
}

}  // namespace
}  // namespace server_e2e
