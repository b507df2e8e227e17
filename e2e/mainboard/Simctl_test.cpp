// simctl on the board: loading machine descriptions, showing the cards, aiming faults, choosing the
// translations' language, the suite's version in the registry.

#include <gtest/gtest.h>

#include <algorithm>
#include <variant>

#include "e2e/mainboard/ToolRun.h"
#include "e2e/support/Harness.h"
#include "mainboard/machine/Hardware.h"
#include "mainboard/machine/Machine.h"
#include "mainboard/tools/common/ServerStartup.h"
#include "protocol/RemoteLink.h"
#include "win32/Text.h"

namespace board_e2e {
namespace {

using namespace simboard;

class Simctl : public ::testing::Test {
  protected:
    void SetUp() override { machine.reset(); }
    ToolResult simctl(const std::vector<std::wstring>& args) {
        return runTool(e2e::builtFile(L"bin\\simctl.exe"), args);
    }
    std::string machineName() { return hardwareSnapshot(machine.state())->name; }
    simboard::Machine& machine = simboard::Machine::instance();
};

const char* const kOneAmdCard =
    "# no [machine] section: the machine takes the file's name\n"
    "[pci-device]\ninstance-id = PCI\\VEN_1002&DEV_73BF\\6&1&0\ncompatible-ids = PCI\\CC_030000, "
    "PCI\\CC_0300\n"
    "[amd-card]\nname = Kelvane Blaze 7700\n"
    "core = current 600, minimum 300, maximum 1100, default 600, step 5\n";

TEST_F(Simctl, MachineLoadsAGoodDescriptionAndChangesNothingOnABadOne) {
    const ScratchFile bad(L"bad.ini", "[amd-card]\nname = A\ncore = current 1\n[gpu]\n");
    const ToolResult refused = simctl({L"machine", bad.path()});
    EXPECT_EQ(refused.exitCode, 1u);
    EXPECT_NE(refused.out.find(": line 3: [amd-card] core: minimum is missing"), std::string::npos)
        << refused.out;
    EXPECT_NE(refused.out.find(": line 4: unknown section [gpu]"), std::string::npos) << refused.out;
    EXPECT_NE(refused.out.find("the machine was not changed"), std::string::npos);
    EXPECT_EQ(machineName(), "nvidia-one");
    EXPECT_EQ(nvidiaCardCount(machine.state()), 1u);

    const ToolResult missing = simctl({L"machine", L"no-such-machine.ini"});
    EXPECT_EQ(missing.exitCode, 1u);
    EXPECT_NE(missing.out.find("cannot open no-such-machine.ini (error 2)"), std::string::npos)
        << missing.out;

    const ScratchFile good(L"one-amd.ini", kOneAmdCard);
    const ToolResult loaded = simctl({L"machine", good.path()});
    EXPECT_EQ(loaded.exitCode, 0u) << loaded.out;
    const std::string name = machineName();
    EXPECT_EQ(name, win32::narrow(e2e::processToken()) + "-one-amd") << "named after the file";
    EXPECT_EQ(amdCardCount(machine.state()), 1u);
    EXPECT_EQ(nvidiaCardCount(machine.state()), 0u);

    EXPECT_EQ(simctl({L"machine", L"--default"}).exitCode, 0u);
    EXPECT_EQ(machineName(), "nvidia-one");
}

TEST_F(Simctl, CardsShowTheValuesTheCardsHoldNow) {
    NvClockInfo record = nvidiaCard(machine.state(), 0)->clocks;
    record.entries[kNvFan].current = 73;
    applyNvidiaCurrents(machine.state(), 0, record, {kNvFan});
    const ToolResult cards = simctl({L"cards"});
    EXPECT_EQ(cards.exitCode, 0u);
    EXPECT_NE(cards.out.find("NVIDIA cards (Greencard): 1\n  0  Kelvane Vortex 880"), std::string::npos)
        << cards.out;
    EXPECT_NE(cards.out.find("fan                   current 73 "), std::string::npos) << cards.out;
}

TEST_F(Simctl, FaultsAreAimedAndShownWithTheirAim) {
    const ToolResult armed = simctl({L"fault", L"setupapi-enum", L"2", L"--device", L"1", L"--error", L"13"});
    EXPECT_EQ(armed.exitCode, 0u) << armed.out;
    FaultSwitches& faults = machine.state().faults;
    EXPECT_EQ(faultValue(faults.enumerationFails), 2);
    EXPECT_EQ(faultDetail(faults.enumeration).target, 1u);
    EXPECT_EQ(faultDetail(faults.enumeration).code, 13u);
    EXPECT_NE(simctl({L"faults"}).out.find("setupapi-enum          next 2     device 1, error 13"),
              std::string::npos);
    const ToolResult json = simctl({L"faults", L"--json"});
    EXPECT_EQ(json.exitCode, 0u);
    EXPECT_TRUE(json.out.starts_with(R"({"acpi-read":{"state":"off","next":0},)")) << json.out;
    EXPECT_NE(json.out.find(R"(,"setupapi-enum":{"state":"next","next":2,"device":1,"error":13},)"),
              std::string::npos)
        << json.out;
    EXPECT_TRUE(json.out.ends_with("}}\n")) << "one object on one line: " << json.out;
    EXPECT_EQ(std::count(json.out.begin(), json.out.end(), '\n'), 1);

    const ToolResult wrong = simctl({L"fault", L"setupapi-enum", L"always", L"--item", L"5"});
    EXPECT_EQ(wrong.exitCode, 1u);
    EXPECT_NE(wrong.out.find("fault setupapi-enum takes --device, --error, not '--item'"), std::string::npos);
    EXPECT_EQ(faultValue(faults.enumerationFails), 2) << "a refused setting changes nothing";
}

// The journal is fed here as the server's card back end writes it: one fan setting per card index
// and run, with other calls between them, and a set-all's fan settings, which are no default's.
TEST_F(Simctl, WaitDefaultsEndsOnceEveryDefaultFanSettingIsOnTheJournalAndNotBefore) {
    using namespace server_startup;
    const auto waitDefaults = [&] { return simctl({L"wait-defaults", L"--timeout-ms", L"300"}); };
    const ToolResult none = waitDefaults();
    EXPECT_EQ(none.exitCode, 1u);
    EXPECT_NE(none.out.find("not applied within 300 ms: the journal holds 0 of " +
                            std::to_string(kDefaultFanSettings) + " fan settings"),
              std::string::npos)
        << none.out;

    const auto journalSetting = [&](const char* entry, std::size_t setting) {
        const auto card = static_cast<std::uint32_t>(setting % kCardIndices);
        machine.journal("Greencard", entry, {card, 760, 1900, 1075, 44}, 1);
    };
    for (std::size_t setting = 0; setting + 1 < kDefaultFanSettings; ++setting) {
        journalSetting("Nv_SetGPUClockInfoPStates", setting);
        journalSetting(kDefaultFanEntry, setting);
    }
    // A set-all handled between two runs: its four fan settings lie between the server's flag read
    // of 1 and its flag write.
    machine.journal("nuacpi", "Read", {wire::kFlagRegister, wire::kFlagRequestWaiting}, 1);
    for (std::size_t card = 0; card < kCardIndices; ++card) journalSetting(kDefaultFanEntry, card);
    machine.journal("nuacpi", "Write", {wire::kFlagRegister, 0, 1}, 1);
    const ToolResult oneShort = waitDefaults();
    EXPECT_EQ(oneShort.exitCode, 1u);
    EXPECT_NE(oneShort.out.find("holds " + std::to_string(kDefaultFanSettings - 1) + " of"),
              std::string::npos)
        << oneShort.out;

    journalSetting(kDefaultFanEntry, kDefaultFanSettings - 1);
    const ToolResult done = simctl({L"wait-defaults"});
    EXPECT_EQ(done.exitCode, 0u) << done.out;
    EXPECT_EQ(done.out, "defaults applied: " + std::to_string(kDefaultFanSettings) + " fan settings (" +
                            std::to_string(kDefaultRuns) + " runs x " + std::to_string(kCardIndices) +
                            " card indices)\n");
}

TEST_F(Simctl, LanguageIsChosenByNameOrIdAndAnUnknownOneChangesNothing) {
    const struct {
        const wchar_t* choice;
        DWORD exitCode;
        std::uint32_t language;
    } cases[] = {
        {L"zh-TW", 0, 0x0404},   {L"0x0411", 0, 0x0411}, {L"fr", 1, 0x0411},
        {L"0x10000", 1, 0x0411}, {L"--user", 0, 0},
    };
    for (const auto& c : cases) {
        const ToolResult run = simctl({L"language", c.choice});
        EXPECT_EQ(run.exitCode, c.exitCode) << run.out;
        EXPECT_EQ(loadWord(machine.state().uiLanguage), c.language) << run.out;
    }
}

// The value as the About box reads it: its text, or the error of reading it.
std::variant<std::wstring, LSTATUS> suiteVersion() {
    wchar_t text[64] = {};
    DWORD bytes = sizeof text;
    const LSTATUS status = ::RegGetValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\NOVU\\NOVU Vexolink", L"Version",
                                          RRF_RT_REG_SZ, nullptr, text, &bytes);
    if (status != ERROR_SUCCESS) return status;
    return std::wstring(text);
}

TEST_F(Simctl, VersionIsSetAsRegistryTextAndRemoved) {
    const struct {
        const wchar_t* arg;
        std::variant<std::wstring, LSTATUS> value;
    } steps[] = {
        {L"2.1.0.7", L"2.1.0.7"},
        {L"3.0 beta", L"3.0 beta"},
        {L"--remove", LSTATUS{ERROR_FILE_NOT_FOUND}},
        {L"--remove", LSTATUS{ERROR_FILE_NOT_FOUND}},  // nothing left to remove is no failure
    };
    for (const auto& s : steps) {
        const ToolResult run = simctl({L"version", s.arg});
        EXPECT_EQ(run.exitCode, 0u) << run.out;
        EXPECT_EQ(suiteVersion(), s.value) << win32::narrow(s.arg);
    }
    EXPECT_EQ(simctl({L"version"}).exitCode, 1u);
}

}  // namespace
}  // namespace board_e2e
