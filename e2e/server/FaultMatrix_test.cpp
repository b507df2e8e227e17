// The fault matrix: every fault switch of the board, and the broken installations that no switch
// makes, met by the running server. After each row: the process still runs (or ended with the code
// its report documents), each request sent during the fault was answered and its flag cleared, and
// the message or assertion report that the fault owes the user came as often as documented, and
// no other. docs/reliability.md lists the rows with what the server does.

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <set>

#include "e2e/server/ServerRun.h"
#include "mainboard/machine/Translations.h"
#include "protocol/Broadcast.h"
#include "protocol/ServerWindows.h"
#include "win32/Text.h"

namespace server_e2e {
namespace {

using simboard::FaultName;
using simboard::kFaultNames;
using simboard::Words;

constexpr std::uint32_t kCoreVoltageItem = 0x3020055;

const FaultName* faultNamed(std::string_view name) {
    for (const FaultName& f : kFaultNames)
        if (name == f.name) return &f;
    return nullptr;
}

// One fault switch as a row arms it.
struct Armed {
    const char* fault;
    std::int32_t count = simboard::kFaultAlways;
    std::optional<std::uint32_t> code = std::nullopt;  // --value / --error
    std::optional<std::uint32_t> target = std::nullopt;
    std::optional<std::uint32_t> property = std::nullopt;
};

// A message box the row owes the user; "%f" stands for the program folder.
struct Box {
    std::string text;
    std::string caption;
    bool prefix = false;  // the text starts so (an assertion report goes on with file and line)
    int times = 1;        // shown again for each request that meets the fault
};

class FaultMatrix : public ServerTest {
  public:  // to the rows' checks
    using ServerTest::callsTo;
    using ServerTest::control;
    using ServerTest::Layout;
    using ServerTest::request;
    using ServerTest::waitForMemo;

    void arm(const Armed& a) {
        const FaultName* f = faultNamed(a.fault);
        ASSERT_TRUE(f) << a.fault << " is no fault switch of the board";
        simboard::FaultSwitches& faults = machine.state().faults;
        if (f->detail)
            simboard::setFaultDetail(faults.*f->detail, {a.target.value_or(simboard::kAnyTarget),
                                                         a.property.value_or(simboard::kAnyProperty),
                                                         a.code.value_or(f->defaultCode)});
        simboard::setFault(faults.*f->counter, a.count);
    }
    void disarm(const Armed& a) {
        if (const FaultName* f = faultNamed(a.fault))
            simboard::setFault(machine.state().faults.*f->counter, 0);
    }

    std::string inFolder(std::string text) const {
        if (const std::size_t at = text.find("%f"); at != std::string::npos)
            text.replace(at, 2, win32::narrow(folder->path()));
        return text;
    }

    // Waits for the box, checks it and closes it.
    void expectBox(const Box& expected, DWORD timeoutMs) {
        std::string text;
        HWND box = e2e::waitForMessageBox(*run, text, timeoutMs);
        ASSERT_TRUE(box) << "no message box \"" << inFolder(expected.text) << "\"";
        const std::string wanted = inFolder(expected.text);
        if (expected.prefix)
            EXPECT_TRUE(text.starts_with(wanted)) << text;
        else
            EXPECT_EQ(text, wanted);
        EXPECT_EQ(e2e::controlText(box), expected.caption);
        EXPECT_EQ(::GetWindow(box, GW_OWNER), nullptr) << "the box has no owner window";
        ::PostMessageW(box, WM_COMMAND, IDOK, 0);
        ASSERT_TRUE(e2e::waitUntil([&] { return !::IsWindow(box); }, e2e::kPatienceMs));
    }

    void expectNoMoreBoxes() {
        std::string text;
        EXPECT_EQ(e2e::waitForMessageBox(*run, text, e2e::kQuietMs), nullptr)
            << "an unexpected box: " << text;
    }

    // Requests of every group, each to be answered with its flag cleared; the server must still run.
    void expectRequestsAnswered() {
        for (const Words& words : {Words{0x30010000, 0, 0}, Words{0x10010000, 0, 0}, Words{0x100A0000, 0, 0},
                                   Words{0x20070320, 0x0384044C, 0x002C0000}, Words{0x00070000, 0, 0}}) {
            const simboard::LinkResult r = request(words);
            EXPECT_TRUE(r.ok()) << std::hex << words[0] << ": " << r.error;
            EXPECT_EQ(simboard::loadWord(machine.state().registers.flag), 0u)
                << std::hex << words[0] << ": flag left set";
        }
        EXPECT_TRUE(run->running());
    }

    std::vector<Call> callsFrom(const char* library) const {
        std::vector<Call> found;
        for (Call& c : calls())
            if (c.library == library) found.push_back(std::move(c));
        return found;
    }

    HWND aboutButton() {
        HWND box = nullptr;
        e2e::waitUntil(
            [&] { return (box = run->findWindow(wire::kAboutBoxClass, wire::kAboutBoxCaption)) != nullptr; },
            e2e::kPatienceMs);
        return box ? ::FindWindowExA(box, nullptr, "GsButton", nullptr) : nullptr;
    }
};

// A fault switch or a broken installation met at start-up: one server run per row.
struct StartRow {
    const char* what;                    // what the row drives, for the report
    std::vector<Armed> faults = {};      // armed before the server starts
    const char* machine = nullptr;       // a shipped machine description; none: the default one
    FaultMatrix::Layout layout = {};     // the program folder
    std::vector<Box> boxes = {};         // the reports owed, in order
    std::optional<DWORD> exitCode = {};  // ends after the last report with this code; none: runs on
    std::function<void(FaultMatrix&)> check = nullptr;  // what the run shows besides
};

const Box kNoDriver{"Please install the right VGA driver first!", "kelvane"};
const std::string kZhOk = "\xe7\xa2\xba\xe5\xae\x9a";  // "OK" in Traditional Chinese, UTF-8

std::vector<StartRow> startRows() {
    const auto assertion = [](const char* expression) {
        return Box{std::string("Assertion failed: ") + expression + ", file ", "kelvane", true};
    };
    const Box unreadableSkin{"Cannot read the image", "kelvane", true};
    return {
        {"Nv_GetGPUCount failing, translations never fitting, the display controller's id unterminated",
         {{"nvidia-count", 1}, {"translate-long"}, {"setupapi-unterminated", 1, std::nullopt, 2}},
         nullptr,
         {},
         {},
         {},
         [](FaultMatrix& t) {
             EXPECT_EQ(t.callsTo("Nv_GetGPUCount").at(0).result, 0)
                 << "the NVIDIA card was found all the same";
             EXPECT_EQ(t.request({0x00010000, 0, 0}).answer[0], 4u);
             EXPECT_EQ(e2e::controlText(t.aboutButton()), kZhOk) << "the buffer grew until its limit";
         }},
        {"a huge card count, translations failing, skin images of an absurd height",
         {{"gpu-count"}, {"translate-negative"}, {"png-height"}},
         nullptr,
         {},
         {unreadableSkin},
         {},
         [](FaultMatrix& t) {
             EXPECT_EQ(t.request({0x00010000, 0, 0}).answer[0], 4u)
                 << "four card indices, whatever the count";
             EXPECT_EQ(e2e::controlText(t.aboutButton()), "OK") << "the key stands for its translation";
         }},
        {"Nv_Initialize failing, unterminated translations, skin images of an absurd width",
         {{"nvidia-init"}, {"translate-unterminated"}, {"png-width"}},
         nullptr,
         {},
         {unreadableSkin},
         {},
         [](FaultMatrix& t) {
             EXPECT_EQ(t.callsTo("Nv_GetGPUCount").at(0).result, 0) << "asked of an uninitialised back end";
             EXPECT_EQ(t.request({0x00010000, 0, 0}).answer[0], 4u);
             EXPECT_EQ(e2e::controlText(t.aboutButton()), kZhOk) << "the text ends at the buffer's zeros";
         }},
        {"translations whose length says 0, a PNG library that leaves its own field of the record empty",
         {{"translate-length-zero"}, {"png-field-zero"}},
         nullptr,
         {},
         {},
         {},
         [](FaultMatrix& t) {
             EXPECT_EQ(e2e::controlText(t.aboutButton()), kZhOk) << "the text the library wrote, whole";
         }},
        {"no device list", {{"setupapi-classdevs", 1}}, nullptr, {}, {kNoDriver}},
        {"the enumeration failing at the display controller",
         {{"setupapi-enum", 1, std::nullopt, 2}},
         nullptr,
         {},
         {kNoDriver}},
        {"the display controller's compatible ids unreadable",
         {{"setupapi-property", 1, std::nullopt, 2, 0x2 /* SPDRP_COMPATIBLEIDS */}},
         nullptr,
         {},
         {kNoDriver}},
        {"Amd_Initialize failing", {{"amd-init"}}, "amd-two", {}, {kNoDriver}},
        {"LumbraInit failing: the integrated card has its clocks only",
         {{"lumbra-init"}},
         "amd-two",
         {},
         {},
         {},
         [](FaultMatrix& t) { EXPECT_TRUE(t.callsTo("LumbraGetItem").empty()); }},
        {"an AMD card count too large, the core voltage unsupported, a huge number of steps",
         {{"gpu-count", simboard::kFaultAlways, 40},
          {"lumbra-unsupported", simboard::kFaultAlways, std::nullopt, kCoreVoltageItem},
          {"lumbra-steps"}},
         "amd-two",
         {},
         {},
         {},
         [](FaultMatrix& t) {
             std::uint32_t highest = 0;
             for (const Call& c : t.callsTo("Amd_IsIntegrated")) highest = std::max(highest, c.args.at(0));
             EXPECT_EQ(highest, 15u) << "sixteen card objects at most";
             for (const Call& c : t.callsTo("IsItemSupported")) {
                 if (c.args.at(0) == kCoreVoltageItem) {
                     EXPECT_EQ(c.result, 0);
                 }
             }
         }},
        {"a negative AMD card count, NuMultiLang.dll absent, Gearlink.dll lacking SetBankSelector",
         {{"gpu-count", simboard::kFaultAlways, 0xFFFFFFFEu}},
         "amd-two",
         {.replaced = {{L"NuMultiLang.dll", L""},
                       {L"Gearlink.dll", L"standins\\variants\\Gearlink-no-SetBankSelector.dll"}}},
         {},
         {},
         [](FaultMatrix& t) {
             EXPECT_TRUE(t.callsTo("Amd_IsIntegrated").empty()) << "no card";
             EXPECT_EQ(e2e::controlText(t.aboutButton()), "OK") << "silently untranslated";
             ::SendMessageW(t.control(kelvane::MainControl::Edit4), WM_SETTEXT, 0,
                            reinterpret_cast<LPARAM>(L"5"));
             ::SendMessageW(t.control(kelvane::MainControl::Button1), BM_CLICK, 0, 0);
             EXPECT_NE(t.waitForMemo("Send fail").find("5\r\nSend fail\r\nflag = 0\r\n"), std::string::npos);
             EXPECT_TRUE(t.callsFrom("Gearlink").empty()) << "a partial bridge is no bridge";
         }},
        {"Greencard.dll there but no library",
         {},
         nullptr,
         {.replaced = {{L"Greencard.dll", L"bin\\Info.ini"}}},
         {{"Can not load %fGreencard.dll. Program will abort", "LoadLibrary Error"}},
         {},
         [](FaultMatrix& t) { EXPECT_TRUE(t.callsFrom("Greencard").empty()); }},
        {"Redcard.dll absent",
         {},
         "amd-two",
         {.replaced = {{L"Redcard.dll", L""}}},
         {{"Can not find %fRedcard.dll", "LoadLibrary Error"}, kNoDriver}},
        {"Redcard.dll lacking Amd_GetGpuHybridMode",
         {},
         "amd-two",
         {.replaced = {{L"Redcard.dll", L"standins\\variants\\Redcard-no-Amd_GetGpuHybridMode.dll"}}},
         {assertion(
             "m_pAmdInit != NULL && m_pAmdGetGpuCount != NULL && m_pAmdGetGpuName != NULL && "
             "m_pAmdGetGpuClock != NULL && m_pAmdSetGpuClock != NULL && m_pAmdIsIntegrated != NULL && "
             "m_pAmdUnInit != NULL && m_pAmdGetGpuUsage != NULL && m_pAmdGetGpuHybridMode != NULL && "
             "m_pAmdGetGpuAdapterID != NULL && m_pAmdGetGpuConnected != NULL && m_pAmdGetGpuFreq != NULL")},
         3},
        {"Lumbra.dll there but no library",
         {},
         "amd-two",
         {.replaced = {{L"Lumbra.dll", L"bin\\Info.ini"}}},
         // Tried, and reported, again at each request: two of each clock's range, one of each voltage's.
         {{"Can not load %fLumbra.dll", "LoadLibrary Error", false, 6}}},
        {"Lumbra.dll lacking LumbraGetItem",
         {},
         "amd-two",
         {.replaced = {{L"Lumbra.dll", L"standins\\variants\\Lumbra-no-LumbraGetItem.dll"}}},
         {assertion("m_pLumbraInit != NULL && m_pLumbraIsSupport != NULL && m_pLumbraGGRPItemInfo != NULL && "
                    "m_pLumbraSetItem != NULL && m_pLumbraGetItem != NULL")},
         3},
        {"NuMultiLang.dll lacking NuGetLangName",
         {},
         nullptr,
         {.replaced = {{L"NuMultiLang.dll", L"standins\\variants\\NuMultiLang-no-NuGetLangName.dll"}}},
         {assertion("m_pNuTranslateStr != NULL && m_pNuGetLangName != NULL")},
         3},
    };
}

TEST_F(FaultMatrix, StartUpFaultsAndBrokenInstallations) {
    for (const StartRow& row : startRows()) {
        SCOPED_TRACE(row.what);
        run.reset();
        folder.reset();  // every row's folder has the test's name
        machine.reset();
        simboard::storeWord(machine.state().uiLanguage, *simboard::languageNamed("zh-TW"));
        if (row.machine) machine.load(shippedMachine(row.machine));
        for (const Armed& a : row.faults) arm(a);
        layOut(row.layout);
        run = std::make_unique<e2e::ProgramRun>(*folder, L"kelvane.exe");
        for (const Box& box : row.boxes)
            for (int i = 0; i < box.times; ++i) expectBox(box, e2e::kPatienceMs);
        if (row.exitCode) {
            EXPECT_EQ(run->waitForExit(e2e::kPatienceMs), row.exitCode);
            continue;
        }
        ASSERT_TRUE(waitForMainWindow());
        ASSERT_TRUE(e2e::waitUntil(
            [&] { return simboard::loadWord(machine.state().notify.registrations) > 0; }, e2e::kPatienceMs))
            << "never registered";
        expectRequestsAnswered();
        if (row.check) row.check(*this);
        expectNoMoreBoxes();
    }
}

// A fault switch met while the server runs: one server run for all rows, each row armed, driven
// through requests (or the main window's Send button), and disarmed.
struct RuntimeRow {
    Armed fault;
    Words request;                                        // sent while the fault is armed
    std::optional<std::uint32_t> answer0 = std::nullopt;  // what A0 must then be; none: not looked at
    const char* memo = nullptr;                           // a line the memo must show
    bool answeredAsWithout = false;                       // A0 as for the same request without the fault
};

// The run of the runtime rows has its registration refused for good.
const Armed kRegistrationRefused{"register-refuse"};

std::vector<RuntimeRow> runtimeRows() {
    return {
        // The flag reads 0: the error answer, the only error the remote side is told of.
        {{"acpi-read", 1}, {0x10010000, 0, 0}, 0x10000000u, "Flag err..."},
        // The answer's first selector write is lost, its flag write is not.
        {{"acpi-write", 1}, {0x10010000, 0, 0}},
        {{"gearlink-send", 1}, {0x30010000, 0, 0}, std::nullopt, "Send fail"},
        {{"event-open"}, {0x30010000, 0, 0}},
        // The name fills its buffer with the name and blanks: trimmed, it is still the card's.
        {{"name-unterminated"}, {0x00020000, 0, 0}, std::nullopt, nullptr, true},
    };
}

// The registration refused for good: the requests reach the main window all the same (as they
// would once registered), while the retry timer runs its course.
TEST_F(FaultMatrix, FaultsWhileRunningWithTheRegistrationRefusedAndTheWireOfEveryReadCommand) {
    arm(kRegistrationRefused);
    ASSERT_TRUE(start());
    requestTarget = form;
    waitUntilStarted();
    // The broadcast message that the server registers as it loads: its name is in the global atom
    // table (this test registers nothing before asking), as the number that registering it gives.
    const ATOM broadcast = ::GlobalFindAtomW(wire::kServerBroadcastName);
    EXPECT_NE(broadcast, 0);
    EXPECT_EQ(broadcast, ::RegisterWindowMessageW(wire::kServerBroadcastName));
    const std::uint64_t before = e2e::lastSeq();
    for (const RuntimeRow& row : runtimeRows()) {
        SCOPED_TRACE(row.fault.fault);
        const std::uint32_t unfaulted = row.answeredAsWithout ? request(row.request).answer[0] : 0;
        arm(row.fault);
        if (std::string_view(row.fault.fault) == "gearlink-send") {
            ::SendMessageW(control(kelvane::MainControl::Edit4), WM_SETTEXT, 0,
                           reinterpret_cast<LPARAM>(L"5"));
            ::SendMessageW(control(kelvane::MainControl::Button1), BM_CLICK, 0, 0);
        }
        const simboard::LinkResult r = request(row.request);
        // The remote side tells the error answer (nothing carried out) from an answer.
        ASSERT_EQ(r.status, row.answer0 == KVR_ERROR_WORD ? KVR_ERROR_ANSWER : KVR_ANSWERED) << r.error;
        EXPECT_EQ(simboard::loadWord(machine.state().registers.flag), 0u);
        if (row.answer0) {
            EXPECT_EQ(r.answer[0], *row.answer0);
        }
        if (row.answeredAsWithout) {
            EXPECT_EQ(r.answer[0], unfaulted);
        }
        if (row.memo) {
            EXPECT_NE(waitForMemo(row.memo).find(row.memo), std::string::npos);
        }
        disarm(row.fault);
        expectRequestsAnswered();
    }
    EXPECT_TRUE(callsFrom("Evtwatch").empty()) << "the event source is the clock relay's";

    // Every read command logs its line between the request's words and the answer.
    const char* readLines[] = {"[Core] Current value---T", "[Core] Range---T",   "[Mem] Current---T",
                               "[Mem] Range---T",          "[Core] Default---T", "[Mem] Default---T",
                               "[Vol] Current---T",        "[Vol] Range---T",    "[Vol] Default---T",
                               "All Current data"};
    for (std::uint32_t command = 1; command <= 10; ++command) {
        const std::uint32_t marker = 7000 + command;  // word 2, which reads ignore, tells the requests apart
        ASSERT_TRUE(request({0x10000000 | command << 16, 0, marker}).ok());
        const std::string expected =
            "data -->2\r\n" + std::to_string(marker) + "\r\n" + readLines[command - 1] + "\r\nData--->\r\n";
        EXPECT_NE(waitForMemo(expected).find(expected), std::string::npos) << "command " << command;
    }
    // Every register write of the run passes 1 as its third argument.
    std::size_t writes = 0;
    for (const Call& c : calls(before)) {
        if (c.library != "nuacpi" || c.entry != "Write") continue;
        ++writes;
        ASSERT_EQ(c.args.size(), 3u);
        EXPECT_EQ(c.args[2], 1u) << "write " << writes;
    }
    EXPECT_GE(writes, 7u * 30u);
    expectNoMoreBoxes();

    // One attempt at start-up and 13 from the timer, 5 s apart; then the timer stays off.
    const auto attempts = [&] { return callsTo("NuSysSvr_RegisterNotify"); };
    ASSERT_TRUE(e2e::waitUntil([&] { return attempts().size() >= kRegistrationAttempts; },
                               kRegistrationAttempts * kRegistrationRetryMs + e2e::kPatienceMs));
    EXPECT_FALSE(e2e::waitUntil([&] { return attempts().size() > kRegistrationAttempts; },
                                kRegistrationRetryMs + 2000))
        << "an attempt after the last";
    const std::vector<Call> made = attempts();
    std::vector<std::uint64_t> retriesUs;
    for (std::size_t i = 1; i < made.size(); ++i) {
        EXPECT_EQ(made[i].result, 0) << "attempt " << i + 1;
        retriesUs.push_back(made[i].timeUs);
    }
    e2e::expectPeriodicTicks(retriesUs, made.at(0).timeUs, kRegistrationRetryMs);
    expectRequestsAnswered();
}

// Every fault switch of the board has a row: a switch added without one fails here.
TEST(FaultMatrixRows, EveryFaultSwitchOfTheBoardIsDriven) {
    std::set<std::string> driven;
    for (const StartRow& row : startRows())
        for (const Armed& a : row.faults) driven.insert(a.fault);
    for (const RuntimeRow& row : runtimeRows()) driven.insert(row.fault.fault);
    driven.insert(kRegistrationRefused.fault);
    for (const FaultName& f : kFaultNames) EXPECT_TRUE(driven.count(f.name)) << f.name << " has no row";
    for (const std::string& name : driven) EXPECT_TRUE(faultNamed(name)) << name << " is no fault switch";
}

}  // namespace
}  // namespace server_e2e
