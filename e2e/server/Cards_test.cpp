// The server end to end with graphics cards on the board: the protocol answered from the simulated
// NVIDIA card, the card database's defaults, and how start-up meets broken or missing back ends.

#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>

#include "e2e/server/ServerRun.h"
#include "mainboard/tools/common/ChannelModel.h"
#include "win32/Handles.h"
#include "win32/Text.h"

namespace server_e2e {
namespace {

using simboard::Words;

std::vector<Call> only(const std::vector<Call>& calls, const char* entry) {
    std::vector<Call> out;
    for (const Call& c : calls)
        if (c.entry == entry) out.push_back(c);
    return out;
}

// Greencard journals a record call as: card index, core, memory, voltage and fan current.
struct Applied {
    std::uint32_t card, core, memory, voltage, fan;
    bool operator==(const Applied&) const = default;
};
std::ostream& operator<<(std::ostream& out, const Applied& a) {
    return out << "card " << a.card << ": " << a.core << "/" << a.memory << "/" << a.voltage << "/" << a.fan;
}
Applied applied(const Call& c) {
    return {c.args.at(0), c.args.at(1), c.args.at(2), c.args.at(3), c.args.at(4)};
}

class Cards : public ServerTest {
  protected:
    std::uint32_t answer0(std::uint32_t word0) { return answer({word0, 0, 0})[0]; }
    Words answer(const Words& words) {
        const simboard::LinkResult r = request(words);
        EXPECT_TRUE(r.ok()) << r.error;
        return r.answer;
    }
    std::string programFile(const wchar_t* name) {
        std::ifstream in(win32::narrow(folder->path() + name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    // Waits for the first run of the default loading: one clock and one fan record per card index.
    std::vector<Call> firstDefaultRun() {
        EXPECT_TRUE(e2e::waitUntil([&] { return only(calls(), kDefaultFanEntry).size() >= kCardIndices; },
                                   e2e::kPatienceMs));
        return only(calls(), "Nv_SetGPUClockInfoPStates");
    }
};

// A set-all sent as soon as the server answers is undone on the card by the runs of the defaults
// that follow; its voltage stays in what command 10 reports.
TEST_F(Cards, DefaultsReachEveryCardSevenTimesUndoingAnEarlySetAllThenRequestsAreAnsweredFromTheCard) {
    ASSERT_TRUE(start());
    EXPECT_EQ(answer({0x20070320, 0x0384044C, 0x00320000}), (Words{1, 0, 0}));
    const auto defaultCalls = [&](const char* entry) {
        std::vector<Call> out;
        for (const Call& c : only(calls(), entry))
            if (c.args.at(4) != 50) out.push_back(c);  // the set-all's calls carry its fan
        return out;
    };
    ASSERT_TRUE(e2e::waitUntil([&] { return defaultCalls(kDefaultFanEntry).size() >= kDefaultFanSettings; },
                               e2e::kPatienceMs));
    // The journal is watched for a further run as long as one would take to come.
    (void)e2e::waitUntil([&] { return defaultCalls(kDefaultFanEntry).size() > kDefaultFanSettings; },
                         kDefaultPeriodMs + 500);
    const std::vector<Call> clocks = defaultCalls("Nv_SetGPUClockInfoPStates");
    ASSERT_EQ(clocks.size(), kDefaultRuns * kCardIndices)
        << "a clock setting for each fan setting, and no more";
    for (std::size_t i = 0; i < clocks.size(); ++i)
        EXPECT_EQ(applied(clocks[i]),
                  (Applied{static_cast<std::uint32_t>(i % kCardIndices), 760, 1900, 1075, 44}))
            << i;
    // The timer starts right after start-up's first read of card 0.
    std::vector<std::uint64_t> runsUs;
    for (std::size_t n = 0; n < kDefaultRuns; ++n) runsUs.push_back(clocks[kCardIndices * n].timeUs);
    e2e::expectPeriodicTicks(runsUs, only(calls(), "Nv_GetGPUClockInfoPStates").at(0).timeUs,
                             kDefaultPeriodMs);
    EXPECT_NE(programFile(L"Info.ini").find("[Voltage]\r\nLarge=1138"), std::string::npos);

    // The card now holds the model's defaults; ranges and defaults are the card's own.
    EXPECT_EQ(answer0(0x00010000), 4u) << "card count";
    EXPECT_EQ(answer0(0x00020000), 3u) << "model id of card 0";
    EXPECT_EQ(answer0(0x00030000), 1u);
    EXPECT_EQ(answer0(0x00040000), 0u) << "capability word";
    EXPECT_EQ(answer0(0x00050000), 4u);
    EXPECT_EQ(answer0(0x00060000), 1u);
    EXPECT_EQ(answer0(0x00070000), 0x41030110u) << "count 4, model 3, version 1";
    EXPECT_EQ(answer({0x10010000, 0, 0}), (Words{760, 0, 0}));
    EXPECT_EQ(answer({0x10020000, 0, 0}), (Words{0x04B0012C, 0, 0})) << "core range 300..1200";
    EXPECT_EQ(answer({0x10030000, 0, 0}), (Words{0, 950, 0})) << "memory current 1900 read as 950";
    EXPECT_EQ(answer({0x10040000, 0, 0}), (Words{0, 1100u << 16 | 405, 0}));
    EXPECT_EQ(answer({0x10050000, 0, 0}), (Words{1050, 0, 0}));
    EXPECT_EQ(answer({0x10060000, 0, 0}), (Words{0, 924, 0})) << "the memory default is unscaled";
    EXPECT_EQ(answer({0x10070000, 0, 0}), (Words{0, 0, 1075}));
    EXPECT_EQ(answer({0x10080000, 0, 0}), (Words{0, 0, 1138u << 16 | 800}));
    EXPECT_EQ(answer({0x10090000, 0, 0}), (Words{0, 0, 1000}));
    EXPECT_EQ(answer({0x100A0000, 0, 0}), (Words{760, 950u << 16 | 1100, 44u << 16}))
        << "the card holds the defaults again, command 10 the set-all's voltage";

    // Every request, an information one too, first reads card 0's fan and then its clocks.
    std::vector<std::string> backEnd;
    for (const Call& c : callsOfRequest({0x00030000, 0, 0}))
        if (c.library == "Greencard") backEnd.push_back(c.entry + "(" + std::to_string(c.args.at(0)) + ")");
    EXPECT_EQ(backEnd, (std::vector<std::string>{"Nv_GetGPUFan(0)", "Nv_GetGPUClockInfoPStates(0)"}));
}

TEST_F(Cards, SetAllReachesEveryCardIndexInOrderAndCommandTenReportsTheSetVoltage) {
    ASSERT_TRUE(start());
    const std::vector<Call> handled = callsOfRequest({0x20070320, 0x0384044C, 0x002C0000});
    std::vector<std::pair<std::string, Applied>> sets;
    for (const Call& c : handled)
        if (c.entry.starts_with("Nv_Set")) sets.push_back({c.entry, applied(c)});
    std::vector<std::pair<std::string, Applied>> expected;
    for (std::uint32_t card = 0; card < kCardIndices; ++card) {
        expected.push_back({"Nv_SetGPUClockInfoPStates", {card, 800, 1800, 1100, 44}});
        expected.push_back({"Nv_SetGPUFan", {card, 800, 1800, 1100, 44}});
    }
    EXPECT_EQ(sets, expected);
    EXPECT_EQ(e2e::controlText(control(kelvane::MainControl::Edit5)), "44");

    // Command 10 reports the set voltage whatever the card reports; memory is half the card's.
    const std::vector<Call> read = callsOfRequest({0x100A0000, 0, 0});
    const std::vector<Call> refreshed = only(read, "Nv_GetGPUClockInfoPStates");
    ASSERT_EQ(refreshed.size(), 1u);
    const Words all = {simboard::loadWord(machine.state().registers.words[0]),
                       simboard::loadWord(machine.state().registers.words[1]),
                       simboard::loadWord(machine.state().registers.words[2])};
    EXPECT_EQ(all[1] & 0xFFFF, 1100u);
    EXPECT_EQ(all[1] >> 16, applied(refreshed[0]).memory / simboard::kRecordMemoryScale);
    EXPECT_EQ(all[0], applied(refreshed[0]).core);

    // Set-all has no value that leaves a field alone: voltage 0 goes to the cards, and once the
    // latch is set command 10 reports it.
    const std::vector<Call> zero = callsOfRequest({0x20070320, 0x03840000, 0x002C0000});
    ASSERT_FALSE(only(zero, "Nv_SetGPUClockInfoPStates").empty());
    EXPECT_EQ(applied(only(zero, "Nv_SetGPUClockInfoPStates")[0]), (Applied{0, 800, 1800, 0, 44}));
    EXPECT_EQ(answer({0x100A0000, 0, 0})[1] & 0xFFFF, 0u);
}

TEST_F(Cards, CommandsWithoutARowApplyNothingAndFillNothing) {
    ASSERT_TRUE(start());
    for (std::uint32_t command : {0u, 8u, 9u, 12u, 15u}) {
        const Words w = {0x20000000 | command << 16 | 500, 0x01F401F4, 0};
        EXPECT_TRUE(only(callsOfRequest(w), "Nv_SetGPUClockInfoPStates").empty()) << command;
        EXPECT_EQ(simboard::loadWord(machine.state().registers.words[0]), 1u) << command;
    }
    for (std::uint32_t word0 : {0x10000000u, 0x100B0000u, 0x100F0000u, 0x00000000u, 0x00080000u, 0x000F0000u})
        EXPECT_EQ(answer({word0, 0, 0}), (Words{0, 0, 0})) << std::hex << word0;
}

// Also the integers: the answers are 32-bit copies of the card's signed figures, a range's negative
// minimum borrows from its maximum, the memory current's odd bit is dropped, only 16 bits of the fan
// come back. Entries the card does not let be set keep their figures through the start-up defaults.
TEST_F(Cards, SetsOnAnUnsupportedEntryChangeNothingButEveryCardSetsStillApply) {
    simboard::MachineDescription m = simboard::defaultMachine();
    simboard::NvidiaCardDescription& card = m.nvidiaCards.at(0);
    card.voltage.supported = false;
    card.core.minimum = -1;
    card.core.defaultValue = -2;
    card.memory = {.current = 1901, .minimum = 405, .maximum = 1100, .defaultValue = 924};
    card.fan.current = 70000;
    card.fan.supported = false;
    machine.load(m);
    ASSERT_TRUE(start());
    EXPECT_EQ(answer({0x10020000, 0, 0}), (Words{0x04AFFFFF, 0, 0})) << "1200 * 65536 + (-1)";
    EXPECT_EQ(answer({0x10050000, 0, 0}), (Words{0xFFFFFFFE, 0, 0}));
    EXPECT_EQ(answer({0x10030000, 0, 0}), (Words{0, 950, 0})) << "1901 halved";
    const Words all = answer({0x100A0000, 0, 0});
    EXPECT_EQ(all[1] >> 16, 950u);
    EXPECT_EQ(all[2], (70000u - 65536u) << 16);
    EXPECT_TRUE(only(callsOfRequest({0x20030000, 990, 0}), "Nv_SetGPUClockInfoPStates").empty());
    EXPECT_EQ(simboard::loadWord(machine.state().registers.words[0]), 1u);
    EXPECT_EQ(only(callsOfRequest({0x20060000, 990, 0}), "Nv_SetGPUClockInfoPStates").size(), 4u)
        << "the set for every card does not ask";
    EXPECT_EQ(only(callsOfRequest({0x20010000 | 640, 0, 0}), "Nv_SetGPUClockInfoPStates").size(), 1u);
    // Set-all does not ask either: the voltage goes out in every record.
    const std::vector<Call> setAll =
        only(callsOfRequest({0x20070320, 0x0384044C, 0x002C0000}), "Nv_SetGPUClockInfoPStates");
    ASSERT_EQ(setAll.size(), kCardIndices);
    for (const Call& c : setAll) EXPECT_EQ(applied(c).voltage, 1100u);
}

TEST_F(Cards, WithoutInfoIniTheBuiltInDefaultsApplyAndTheMaximumVoltageIsWrittenToANewFile) {
    layOut({.withInfoIni = false});
    ASSERT_TRUE(start());
    const std::vector<Call> first = firstDefaultRun();
    ASSERT_GE(first.size(), kCardIndices);
    for (std::uint32_t card = 0; card < kCardIndices; ++card)
        EXPECT_EQ(applied(first[card]), (Applied{card, 700, 1848, 1075, 44}));
    EXPECT_NE(programFile(L"Info.ini").find("[Voltage]\r\nLarge=1138"), std::string::npos);
    EXPECT_EQ(answer0(0x00070000), 0x41000110u) << "model 0, version 1";
    run.reset();
    ::DeleteFileW((folder->path() + L"Info.ini").c_str());
}

TEST_F(Cards, AnUnwritableInfoIniStaysAsItWasAndItsDefaultsStillApply) {
    layOut();
    const std::string original = programFile(L"Info.ini");
    win32::UniqueHandle holder(::CreateFileW((folder->path() + L"Info.ini").c_str(), GENERIC_READ,
                                             FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                             nullptr));
    ASSERT_TRUE(holder);
    ASSERT_TRUE(start());
    const std::vector<Call> first = firstDefaultRun();
    ASSERT_GE(first.size(), 4u);
    EXPECT_EQ(applied(first[0]), (Applied{0, 760, 1900, 1075, 44}));
    EXPECT_EQ(programFile(L"Info.ini"), original);
}

TEST_F(Cards, ACardNameWithBlanksAroundItFindsItsModel) {
    simboard::MachineDescription m = simboard::defaultMachine();
    m.nvidiaCards.at(0).name = " " + m.nvidiaCards.at(0).name + "\t ";
    machine.load(m);
    ASSERT_TRUE(start());
    EXPECT_EQ(answer({0x00020000, 0, 0})[0], 3u);
    const std::vector<Call> first = firstDefaultRun();
    ASSERT_GE(first.size(), 1u);
    EXPECT_EQ(applied(first[0]).core, 760u) << "the defaults of section 3_NV";
}

TEST_F(Cards, GpuLogIsCreatedOnTheFirstRunAndAppendedOnTheNext) {
    wchar_t programData[MAX_PATH] = {};
    ::GetEnvironmentVariableW(L"ProgramData", programData, MAX_PATH);
    const std::wstring log = std::wstring(programData) + L"\\Gpu.log";
    ::DeleteFileW(log.c_str());
    std::string adapter;  // the default machine's one display adapter among its devices
    for (const simboard::PciDeviceDescription& d : simboard::defaultMachine().pciDevices)
        for (const std::u16string& id : d.compatibleIds.value_or(std::vector<std::u16string>{}))
            if (id == u"PCI\\CC_0300") adapter = std::string(d.instanceId.begin(), d.instanceId.end());
    ASSERT_FALSE(adapter.empty());
    const std::string line = "Gpu InstanceID is: " + adapter + "\r\n";
    const auto contents = [&] {
        std::ifstream in(win32::narrow(log), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    ASSERT_TRUE(start());
    waitUntilStarted();
    EXPECT_EQ(contents(), line) << "one line for the one display adapter, though two of its ids match";
    run.reset();
    ASSERT_TRUE(start());
    waitUntilStarted();
    EXPECT_EQ(contents(), line + line);
}

// With the NVIDIA card there and its library missing, the answers change when a person closes the
// report: the back end counts as active from then on, though every call into it does nothing.
TEST_F(Cards, MissingGreencardIsReportedAndTheServerRunsOnWithoutTouchingACard) {
    std::string shown;
    ASSERT_TRUE(startWithGreencardMissing(shown));
    const Words setAll = {0x20070320, 0x0384044C, 0x00320000};
    const Words readAll = {0x100A0000, 0, 0};
    // While the report is up the requests are answered from the state before the card manager.
    for (std::uint32_t word0 : {0x00010000u, 0x00030000u, 0x00070000u, 0x10010000u, 0x100A0000u})
        EXPECT_EQ(answer({word0, 0, 0}), (Words{0, 0, 0})) << "report up: " << std::hex << word0;
    EXPECT_EQ(answer(setAll), (Words{1, 0, 0}));
    EXPECT_EQ(answer(readAll), (Words{0, 0, 0}));
    EXPECT_TRUE(dismissMessageBox("Can not find " + win32::narrow(folder->path()) + "Greencard.dll",
                                  "LoadLibrary Error"));

    // The first run of the defaults, 2 s on, writes the model's maximum voltage to Info.ini.
    ASSERT_TRUE(e2e::waitUntil(
        [&] { return programFile(L"Info.ini").find("Large=1138") != std::string::npos; }, e2e::kPatienceMs));
    EXPECT_EQ(answer0(0x00010000), 4u);
    EXPECT_EQ(answer0(0x00030000), 1u);
    EXPECT_EQ(answer0(0x00020000), 0u) << "no name: model 0";
    EXPECT_EQ(answer0(0x00070000), 0x41000110u);
    for (std::uint32_t word0 : {0x10020000u, 0x10040000u, 0x10050000u, 0x10060000u, 0x10080000u, 0x10090000u})
        EXPECT_EQ(answer({word0, 0, 0}), (Words{0, 0, 0})) << "no ranges or defaults: " << std::hex << word0;
    // The record holds the built-in defaults of section 0_NV, and the voltage of the set-all above
    // never latched: the back end was not active then.
    EXPECT_EQ(answer(readAll), (Words{700, 924u << 16 | 1075, 44u << 16}));
    EXPECT_EQ(answer({0x20010000 | 780, 0, 0}), (Words{1, 0, 0}));
    EXPECT_EQ(answer0(0x10010000), 700u) << "set core asks the record's settable flag: 0";
    // A set-all reads back as if a card took it, unless a run of the defaults came in between.
    Words after{};
    for (int attempt = 0; attempt < 3 && after[0] != 800; ++attempt) {
        EXPECT_EQ(answer(setAll), (Words{1, 0, 0}));
        after = answer(readAll);
    }
    EXPECT_EQ(after, (Words{800, 900u << 16 | 1100, 50u << 16}));
    for (const Call& c : calls()) EXPECT_NE(c.library, "Greencard") << c.entry;
    EXPECT_EQ(run->findWindow(L"#32770", nullptr), nullptr) << "no further message";
}

TEST_F(Cards, GreencardLackingAnExportStopsTheProgramWithTheAssertionReport) {
    layOut({.replaced = {{L"Greencard.dll", L"standins\\variants\\Greencard-no-Nv_GetGpuUsage.dll"}}});
    ASSERT_TRUE(start(/*waitForRegistration=*/false));
    std::string text;
    HWND box = waitForMessageBox(text);
    ASSERT_TRUE(box);
    EXPECT_TRUE(text.starts_with(
        "Assertion failed: m_pNvInit != NULL && m_pNvGetGPUCount != NULL && m_pNvGetGPUName != NULL && "
        "m_pNvGetGPUMemCapacity != NULL && m_pNvGetGPUClockCurrentPStates != NULL && "
        "m_pNvGetGPUClockInfoPStates != NULL && m_pNvSetGPUClockInfoPStates != NULL && m_pNvGetGPUFan != "
        "NULL && "
        "m_pNvSetGPUFan != NULL && m_pNvGetGpuMode != NULL && m_pNvUnInitialize != NULL && "
        "m_pNvGetGpuUsage != NULL, file "))
        << text;
    EXPECT_NE(text.find(", line "), std::string::npos);
    ::PostMessageW(box, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(run->waitForExit(e2e::kPatienceMs).has_value()) << "the program ends after the report";
}

TEST_F(Cards, AmdMachineWithAnUnloadableRedcardReportsItThenTheMissingDriver) {
    machine.load(shippedMachine("amd-two"));
    layOut({.replaced = {{L"Redcard.dll", L"bin\\Info.ini"}}});  // a file that is no library
    ASSERT_TRUE(start(/*waitForRegistration=*/false));
    std::string text;
    HWND box = waitForMessageBox(text);
    ASSERT_TRUE(box);
    EXPECT_TRUE(text.starts_with("Load Redcard.dll failed: GetLastError return ")) << text;
    EXPECT_EQ(e2e::controlText(box), "GetLastError");
    ::PostMessageW(box, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(e2e::waitUntil([&] { return !::IsWindow(box); }, e2e::kPatienceMs));
    EXPECT_TRUE(dismissMessageBox("Please install the right VGA driver first!", "kelvane"));
    for (const Call& c : calls()) EXPECT_NE(c.library, "Redcard");
}

TEST_F(Cards, AmdMachineBuildsAnIntegratedThenADiscreteCardWithTheirItems) {
    machine.load(shippedMachine("amd-two"));
    ASSERT_TRUE(start());
    waitUntilStarted();
    std::vector<std::string> sequence;
    for (const Call& c : calls()) {
        if (c.library != "Redcard" && c.library != "Lumbra") continue;
        std::string step = c.entry;
        if (!c.args.empty()) step += "(" + std::to_string(c.args[0]) + ")";
        if (c.entry == "Amd_IsIntegrated") step += c.result ? " yes" : " no";
        sequence.push_back(step);
    }
    const auto at = [&](const std::string& step) {
        return std::find(sequence.begin(), sequence.end(), step) - sequence.begin();
    };
    ASSERT_GE(sequence.size(), 4u);
    EXPECT_EQ(sequence[0], "Amd_Initialize");
    EXPECT_EQ(sequence[1], "Amd_GetGpuCount");
    EXPECT_EQ(sequence[2], "Amd_IsIntegrated(0) yes") << "card 0 is integrated";
    const auto discrete = at("Amd_IsIntegrated(1) no");
    ASSERT_LT(discrete, static_cast<std::ptrdiff_t>(sequence.size()));
    // The integrated card's items ask Lumbra for their ranges and voltages before the discrete card.
    for (const char* item : {"GetGGRPItemInfo(50397280)", "GetGGRPItemInfo(50397283)",
                             "IsItemSupported(50462805)", "IsItemSupported(50462818)"})
        EXPECT_LT(at(item), discrete) << item;
    // The discrete card reads its clock block for each of its three items.
    EXPECT_EQ(std::count(sequence.begin() + discrete, sequence.end(), "Amd_GetGpuClockInfo(1)"), 3);
    EXPECT_EQ(run->findWindow(L"#32770", nullptr), nullptr) << "an AMD machine with its driver is no error";
}

}  // namespace
}  // namespace server_e2e
