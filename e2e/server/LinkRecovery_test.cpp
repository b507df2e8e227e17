// The remote side's kit, through linkctl, against the real server on the board: every command, and
// each way a request can go unanswered (no server, a registration refused for good, a server that
// exits and a new one, a server stopped past the bound, a lost notification, the start-up reports).
// Each ends in its own status, and the server's register accesses in the journal show what reached it.

#include <gtest/gtest.h>
#include <windows.h>

#include <tlhelp32.h>

#include <string>
#include <vector>

#include "e2e/mainboard/ToolRun.h"
#include "e2e/server/ServerRun.h"
#include "mainboard/machine/MachineLogic.h"
#include "mainboard/tools/linkctl/ExitCodes.h"
#include "win32/Text.h"

namespace server_e2e {
namespace {

using simboard::LinkExit;
using simboard::Words;

// Where an answer is due, one announcement waited for as long as any event of the tests: only a
// failing run reaches the bound, and how fast a loaded machine delivers the notification decides
// nothing. Where no answer can come (no server, or its threads held) or a notification is lost on
// purpose, short waits: what the kit does then does not depend on how long they are.
const std::vector<std::wstring> kAnswerDue = {L"--timeout", std::to_wstring(e2e::kPatienceMs),
                                              L"--announcements", L"1"};
const std::vector<std::wstring> kShortWaits = {L"--timeout", L"300", L"--settle", L"100"};

board_e2e::ToolResult linkctl(std::vector<std::wstring> args,
                              const std::vector<std::wstring>& waits = kAnswerDue) {
    args.insert(args.end(), waits.begin(), waits.end());
    return board_e2e::runTool(e2e::builtFile(L"bin\\linkctl.exe"), args);
}

int exitOf(const board_e2e::ToolResult& r) { return static_cast<int>(r.exitCode); }
int code(LinkExit e) { return static_cast<int>(e); }

bool says(const board_e2e::ToolResult& r, const std::string& text) {
    return r.out.find(text) != std::string::npos;
}

// Every thread of a process suspended or resumed.
void suspendOrResume(DWORD processId, bool hold) {
    win32::UniqueHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    ASSERT_TRUE(snapshot);
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    int threads = 0;
    for (BOOL more = ::Thread32First(snapshot.get(), &entry); more;
         more = ::Thread32Next(snapshot.get(), &entry)) {
        if (entry.th32OwnerProcessID != processId) continue;
        win32::UniqueHandle thread(::OpenThread(THREAD_SUSPEND_RESUME, FALSE, entry.th32ThreadID));
        ASSERT_TRUE(thread);
        ASSERT_NE(hold ? ::SuspendThread(thread.get()) : ::ResumeThread(thread.get()),
                  static_cast<DWORD>(-1));
        ++threads;
    }
    ASSERT_GT(threads, 0);
}

// The server stopped as a debugger or a starved machine stops it, its notifications waiting in its
// queue; or going on. Never stopped inside a call to the board: holding the board's lock, it would
// stop every other program of the board with it. Stopped there, it goes on until it lets go.
void holdThreads(DWORD processId, bool hold) {
    if (!hold) return suspendOrResume(processId, false);
    const win32::UniqueHandle lock(
        ::OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, simboard::kMachineMutexName));
    ASSERT_TRUE(lock);
    for (;;) {
        suspendOrResume(processId, true);
        if (::WaitForSingleObject(lock.get(), 0) != WAIT_TIMEOUT) break;
        suspendOrResume(processId, false);
        ASSERT_NE(::WaitForSingleObject(lock.get(), e2e::kPatienceMs), WAIT_TIMEOUT);
        ::ReleaseMutex(lock.get());
    }
    ::ReleaseMutex(lock.get());
}

class LinkRecovery : public ServerTest {
  protected:
    // The server's flag reads since a sequence number: one per notification it handled, and the flag
    // it found (1: a request carried out; else the error answer).
    std::vector<std::uint32_t> flagsRead(std::uint64_t after) {
        std::vector<std::uint32_t> flags;
        for (const Call& c : calls(after))
            if (simboard::isFlagAccess(c, "Read")) flags.push_back(c.args[1]);
        return flags;
    }
    // The words each request the server carried out read, in order.
    std::vector<Words> requestsRead(std::uint64_t after) {
        std::vector<Words> requests;
        std::size_t word = 3;
        for (const Call& c : calls(after)) {
            if (c.library != "nuacpi" || c.entry != "Read" || c.args.size() < 2) continue;
            if (c.args[0] == wire::kFlagRegister && c.args[1] == wire::kFlagRequestWaiting) {
                requests.emplace_back();
                word = 0;
            } else if (c.args[0] == wire::kDataRegister && word < 3) {
                requests.back()[word++] = c.args[1];
            }
        }
        return requests;
    }
    bool handled(std::uint64_t after, std::size_t notifications) {
        return e2e::waitUntil(
            [&] {
                std::size_t flagWrites = 0;
                for (const Call& c : calls(after))
                    if (simboard::isFlagAccess(c, "Write")) ++flagWrites;
                return flagWrites >= notifications;
            },
            e2e::kPatienceMs);
    }
    Words registers() {
        Words w;
        for (std::size_t i = 0; i < 3; ++i) w[i] = simboard::loadWord(machine.state().registers.words[i]);
        return w;
    }
    std::uint32_t flag() { return simboard::loadWord(machine.state().registers.flag); }
};

// The default machine once its start-up defaults are over: each verb's words and answer as linkctl
// prints them, one notification each.
TEST_F(LinkRecovery, EveryCommandIsAnsweredThroughTheKit) {
    ASSERT_TRUE(start());
    ASSERT_TRUE(e2e::waitUntil([&] { return callsTo(kDefaultFanEntry).size() >= kDefaultFanSettings; },
                               e2e::kPatienceMs));
    struct Row {
        std::vector<std::wstring> verb;
        std::string printed;  // the words sent and answered
    };
    const Row rows[] = {
        {{L"info", L"count"}, "0x00010000 0x00000000 0x00005A5A -> 0x00000004 0x00000000 0x00000000"},
        {{L"info", L"model"}, "0x00020000 0x00000000 0x00005A5A -> 0x00000003 0x00000000 0x00000000"},
        {{L"info", L"model", L"--card", L"1"},
         "0x01020000 0x00000000 0x00005A5A -> 0x00000000 0x00000000 0x00000000"},
        {{L"info", L"cmd3"}, "0x00030000 0x00000000 0x00005A5A -> 0x00000001 0x00000000 0x00000000"},
        {{L"info", L"capability"}, "0x00040000 0x00000000 0x00005A5A -> 0x00000000 0x00000000 0x00000000"},
        {{L"info", L"count5"}, "0x00050000 0x00000000 0x00005A5A -> 0x00000004 0x00000000 0x00000000"},
        {{L"info", L"cmd6"}, "0x00060000 0x00000000 0x00005A5A -> 0x00000001 0x00000000 0x00000000"},
        {{L"info", L"board"}, "0x00070000 0x00000000 0x00005A5A -> 0x41030110 0x00000000 0x00000000"},
        {{L"read", L"core"}, "0x10010000 0x00000000 0x00005A5A -> 0x000002F8 0x00000000 0x00000000"},
        {{L"read", L"core-range"}, "0x10020000 0x00000000 0x00005A5A -> 0x04B0012C 0x00000000 0x00000000"},
        {{L"read", L"mem"}, "0x10030000 0x00000000 0x00005A5A -> 0x00000000 0x000003B6 0x00000000"},
        {{L"read", L"mem-range"}, "0x10040000 0x00000000 0x00005A5A -> 0x00000000 0x044C0195 0x00000000"},
        {{L"read", L"core-default"}, "0x10050000 0x00000000 0x00005A5A -> 0x0000041A 0x00000000 0x00000000"},
        {{L"read", L"mem-default"}, "0x10060000 0x00000000 0x00005A5A -> 0x00000000 0x0000039C 0x00000000"},
        {{L"read", L"volt"}, "0x10070000 0x00000000 0x00005A5A -> 0x00000000 0x00000000 0x00000433"},
        {{L"read", L"volt-range"}, "0x10080000 0x00000000 0x00005A5A -> 0x00000000 0x00000000 0x04720320"},
        {{L"read", L"volt-default"}, "0x10090000 0x00000000 0x00005A5A -> 0x00000000 0x00000000 0x000003E8"},
        {{L"read", L"all"}, "0x100A0000 0x00000000 0x00005A5A -> 0x000002F8 0x03B60433 0x002C0000"},
        {{L"set", L"core", L"--core", L"800"},
         "0x20010320 0x00000000 0x00005A5A -> 0x00000001 0x00000000 0x00000000"},
        {{L"set", L"mem", L"--mem", L"900"},
         "0x20020000 0x03840000 0x00005A5A -> 0x00000001 0x00000000 0x00000000"},
        {{L"set", L"volt", L"--volt", L"1100"},
         "0x20030000 0x0000044C 0x00005A5A -> 0x00000001 0x00000000 0x00000000"},
        {{L"set", L"core-each", L"--core", L"780"},
         "0x2004030C 0x00000000 0x00005A5A -> 0x00000001 0x00000000 0x00000000"},
        {{L"set", L"mem-each", L"--mem", L"940"},
         "0x20050000 0x03AC0000 0x00005A5A -> 0x00000001 0x00000000 0x00000000"},
        {{L"set", L"volt-each", L"--volt", L"1050"},
         "0x20060000 0x0000041A 0x00005A5A -> 0x00000001 0x00000000 0x00000000"},
        {{L"set", L"all", L"--core", L"820", L"--mem", L"930", L"--volt", L"1110", L"--fan", L"50"},
         "0x20070334 0x03A20456 0x00325A5A -> 0x00000001 0x00000000 0x00000000"},
        {{L"read", L"all"}, "0x100A0000 0x00000000 0x00005A5A -> 0x00000334 0x03A20456 0x00320000"},
        {{L"ping"}, "0x20000000 0x00000000 0x00005A5A -> 0x00000001 0x00000000 0x00000000"},
        // Core, memory and voltage as read all and read volt give them; a set-all with the new fan.
        {{L"set", L"fan-only", L"--fan", L"60"},
         "0x20070334 0x03A20456 0x003C5A5A -> 0x00000001 0x00000000 0x00000000"},
    };
    for (const Row& row : rows) {
        const std::uint64_t before = e2e::lastSeq();
        const board_e2e::ToolResult r = linkctl(row.verb);
        SCOPED_TRACE(win32::narrow(row.verb[0] + L" " + row.verb.back()) + ": " + r.out);
        EXPECT_EQ(exitOf(r), code(LinkExit::Answered));
        EXPECT_TRUE(says(r, row.printed + "\n"));
        const std::size_t requests = row.verb.size() > 1 && row.verb[1] == L"fan-only" ? 3 : 1;
        EXPECT_EQ(flagsRead(before), std::vector<std::uint32_t>(requests, 1u))
            << "one notification per request";
    }
    // A value the server would misread is refused before anything is sent.
    const std::uint64_t before = e2e::lastSeq();
    const board_e2e::ToolResult refused = linkctl({L"set", L"core", L"--core", L"70000"});
    EXPECT_EQ(exitOf(refused), code(LinkExit::Usage)) << refused.out;
    EXPECT_TRUE(says(refused, "nothing was sent"));
    EXPECT_TRUE(flagsRead(before).empty());
}

// The machine whose record holds values at the edges of the answer words, as the reference shows
// it: a negative minimum borrowing from the maximum's half, a negative default, an odd memory clock
// halved, a fan above 65535 cut to its half; and a fan-only set sending the halved memory back.
TEST_F(LinkRecovery, OddValuesComeBackAsTheReferenceShowsThem) {
    machine.load(shippedMachine("odd-values"));
    ASSERT_TRUE(start());
    ASSERT_TRUE(e2e::waitUntil([&] { return callsTo(kDefaultFanEntry).size() >= kDefaultFanSettings; },
                               e2e::kPatienceMs));
    const std::pair<std::vector<std::wstring>, std::string> rows[] = {
        {{L"read", L"core-range"}, "0x10020000 0x00000000 0x00005A5A -> 0x04AFFFFF 0x00000000 0x00000000"},
        {{L"read", L"core-default"}, "0x10050000 0x00000000 0x00005A5A -> 0xFFFFFFFE 0x00000000 0x00000000"},
        {{L"read", L"mem"}, "0x10030000 0x00000000 0x00005A5A -> 0x00000000 0x000003B6 0x00000000"},
        {{L"read", L"all"}, "0x100A0000 0x00000000 0x00005A5A -> 0x000002F8 0x03B60433 0x11700000"},
        {{L"set", L"fan-only", L"--fan", L"50"},
         "0x200702F8 0x03B60433 0x00325A5A -> 0x00000001 0x00000000 0x00000000"},
        // The card's memory entry is not settable: it kept 1901, which still reads as 950.
        {{L"read", L"mem"}, "0x10030000 0x00000000 0x00005A5A -> 0x00000000 0x000003B6 0x00000000"},
    };
    for (const auto& [verb, printed] : rows) {
        const board_e2e::ToolResult r = linkctl(verb);
        EXPECT_EQ(exitOf(r), code(LinkExit::Answered)) << r.out;
        EXPECT_TRUE(says(r, printed + "\n")) << r.out;
    }
}

TEST_F(LinkRecovery, WithoutAServerTheRequestIsWithdrawnAfterItsAnnouncements) {
    const board_e2e::ToolResult r = linkctl({L"read", L"core"}, kShortWaits);
    EXPECT_EQ(exitOf(r), code(LinkExit::TimedOut)) << r.out;
    EXPECT_TRUE(says(r, "the request was withdrawn (3 announcements, 300 ms each)")) << r.out;
    EXPECT_TRUE(says(r, "no server has registered")) << r.out;
    EXPECT_EQ(flag(), 0u);
    EXPECT_EQ(registers(), (Words{0x10010000, 0, 0x5A5A})) << "the withdrawn request's words stay";
}

TEST_F(LinkRecovery, ARegistrationRefusedForGoodLeavesEveryRequestUnannounced) {
    simboard::setFault(machine.state().faults.registrationRefusals, simboard::kFaultAlways);
    ASSERT_TRUE(start(/*waitForRegistration=*/false));
    // The server runs its message loop (its first run of the start-up defaults), unregistered.
    ASSERT_TRUE(e2e::waitUntil([&] { return !callsTo(kDefaultFanEntry).empty(); }, e2e::kPatienceMs));
    ASSERT_FALSE(callsTo("NuSysSvr_RegisterNotify").empty());
    const std::uint64_t before = e2e::lastSeq();
    const board_e2e::ToolResult r = linkctl({L"info", L"count"}, kShortWaits);
    EXPECT_EQ(exitOf(r), code(LinkExit::TimedOut)) << r.out;
    EXPECT_TRUE(says(r, "withdrawn")) << r.out;
    EXPECT_TRUE(flagsRead(before).empty()) << "nothing reached the server";
    EXPECT_EQ(flag(), 0u);
}

TEST_F(LinkRecovery, AServerThatExitsTimesRequestsOutUntilANewOneAnswers) {
    ASSERT_TRUE(start());
    EXPECT_EQ(exitOf(linkctl({L"ping"})), code(LinkExit::Answered));
    ::PostMessageW(form, WM_CLOSE, 0, 0);  // as the tray menu's "Exit" does
    ASSERT_EQ(run->waitForExit(e2e::kPatienceMs), std::optional<DWORD>(0));

    const board_e2e::ToolResult gone = linkctl({L"read", L"all"}, kShortWaits);
    EXPECT_EQ(exitOf(gone), code(LinkExit::TimedOut)) << gone.out;
    EXPECT_TRUE(says(gone, "no longer exists")) << gone.out;
    EXPECT_EQ(flag(), 0u);

    run.reset();
    ASSERT_TRUE(start());
    const board_e2e::ToolResult next = linkctl({L"info", L"count"});
    EXPECT_EQ(exitOf(next), code(LinkExit::Answered)) << next.out;
    EXPECT_TRUE(says(next, "-> 0x00000004 0x00000000 0x00000000")) << next.out;
}

// The server stopped past the kit's bound: the request is withdrawn, and once the server goes on,
// its queued notifications find the flag at 0 and give the error answer, which carries nothing out.
TEST_F(LinkRecovery, AServerStoppedPastTheBoundGetsAWithdrawnRequest) {
    ASSERT_TRUE(start());
    const std::uint64_t before = e2e::lastSeq();
    holdThreads(run->processId(), true);
    const board_e2e::ToolResult r = linkctl({L"set", L"core", L"--core", L"900"}, kShortWaits);
    holdThreads(run->processId(), false);
    EXPECT_EQ(exitOf(r), code(LinkExit::TimedOut)) << r.out;
    EXPECT_TRUE(says(r, "withdrawn (3 announcements")) << r.out;
    ASSERT_TRUE(handled(before, 3));
    EXPECT_EQ(flagsRead(before), (std::vector<std::uint32_t>{0, 0, 0}));
    EXPECT_EQ(registers(), (Words{wire::kFlagErrorWord, 0, 0x5A5A}))
        << "the error word, words 1 and 2 as staged";
    EXPECT_TRUE(requestsRead(before).empty()) << "the set was never carried out";
    EXPECT_EQ(exitOf(linkctl({L"read", L"core"})), code(LinkExit::Answered));
}

// Left staged instead, the request is carried out when the server goes on (its first queued
// notification), and the next request of the kit finds the flag at 0 and stages over the late answer.
TEST_F(LinkRecovery, ARequestLeftStagedIsAnsweredLateAndTheNextOneIsItsOwn) {
    ASSERT_TRUE(start());
    const std::uint64_t before = e2e::lastSeq();
    holdThreads(run->processId(), true);
    const board_e2e::ToolResult r = linkctl({L"read", L"core-range", L"--leave-staged"}, kShortWaits);
    EXPECT_EQ(flag(), 1u);
    holdThreads(run->processId(), false);
    EXPECT_EQ(exitOf(r), code(LinkExit::TimedOut)) << r.out;
    EXPECT_TRUE(says(r, "the request is left staged, its flag at 1")) << r.out;
    ASSERT_TRUE(handled(before, 3));
    EXPECT_EQ(flagsRead(before), (std::vector<std::uint32_t>{1, 0, 0}));
    EXPECT_EQ(registers(), (Words{wire::kFlagErrorWord, 0, 0})) << "the late answer, A0 under the error word";
    const std::uint64_t late = e2e::lastSeq();
    const board_e2e::ToolResult next = linkctl({L"read", L"volt"});
    EXPECT_EQ(exitOf(next), code(LinkExit::Answered)) << next.out;
    EXPECT_EQ(requestsRead(late), (std::vector<Words>{{0x10070000, 0, 0x5A5A}})) << next.out;
}

TEST_F(LinkRecovery, ALostNotificationIsMadeGoodByTheNextAnnouncement) {
    ASSERT_TRUE(start());
    std::uint64_t before = e2e::lastSeq();
    // The first notification is dropped; the second announcement brings the answer. A server slower
    // than one wait gets more announcements, which find the flag at 0 and carry nothing out.
    const std::vector<std::wstring> manyShortWaits = {L"--timeout", L"1000", L"--announcements", L"16"};
    const board_e2e::ToolResult r =
        linkctl({L"read", L"core", L"--lose-notifications", L"1"}, manyShortWaits);
    EXPECT_EQ(exitOf(r), code(LinkExit::Answered)) << r.out;
    EXPECT_TRUE(says(r, "0x10010000 0x00000000 0x00005A5A -> "))
        << r.out;  // its value: the defaults still run
    // Every notification that was posted (all but the dropped one) handled before going on.
    const std::size_t announced = r.out.find("answered after ");
    ASSERT_NE(announced, std::string::npos) << r.out;
    ASSERT_TRUE(handled(before, std::stoul(r.out.substr(announced + 15)) - 1));
    const std::vector<Words> carriedOut = requestsRead(before);
    ASSERT_FALSE(carriedOut.empty()) << r.out;
    for (const Words& w : carriedOut)
        EXPECT_EQ(w, (Words{0x10010000, 0, 0x5A5A})) << "only the read, as staged";

    // Staged without a notification, as when the one notification is lost: a kit that starts then
    // finds the flag at 1, withdraws that request and sends its own.
    before = e2e::lastSeq();
    const board_e2e::ToolResult staged = linkctl({L"set", L"core", L"--core", L"900", L"--stage-only"});
    EXPECT_TRUE(says(staged, "staged, not announced: 0x20010384 0x00000000 0x00005A5A (flag 1)"))
        << staged.out;
    EXPECT_EQ(flag(), 1u);
    const board_e2e::ToolResult next = linkctl({L"info", L"count"});
    EXPECT_EQ(exitOf(next), code(LinkExit::Answered)) << next.out;
    EXPECT_TRUE(says(next, "found staged (flag 1): withdrawn first")) << next.out;
    EXPECT_EQ(requestsRead(before), (std::vector<Words>{{0x00010000, 0, 0x5A5A}}))
        << "the staged set was never carried out";
}

// While a start-up report is up, its own loop takes the notifications: the server answers without a
// card back end (none chosen yet, or its library not loaded), the handshake and the set word only.
// One run for each report the start-up can show.
TEST_F(LinkRecovery, TheStartUpReportsDoNotHoldTheKitUp) {
    struct Report {
        const char* machine;  // a shipped machine; none: the default one
        bool noDeviceList;    // the device tree cannot be listed
        std::vector<std::pair<std::wstring, std::wstring>> replaced;
        std::string text;  // the first report's text begins so ("%f": the program folder)
        std::string caption;
        int reports;  // how many the start-up shows in all
    };
    const Report reports[] = {
        {nullptr, false, {{L"Greencard.dll", L""}}, "Can not find %fGreencard.dll", "LoadLibrary Error", 1},
        {nullptr,
         false,
         {{L"Greencard.dll", L"bin\\Info.ini"}},
         "Can not load %fGreencard.dll. Program will abort",
         "LoadLibrary Error",
         1},
        {"amd-two", false, {{L"Redcard.dll", L""}}, "Can not find %fRedcard.dll", "LoadLibrary Error", 2},
        {"amd-two",
         false,
         {{L"Redcard.dll", L"bin\\Info.ini"}},
         "Load Redcard.dll failed: GetLastError return ",
         "GetLastError",
         2},
        {"amd-two",
         false,
         {{L"Lumbra.dll", L"bin\\Info.ini"}},
         "Can not load %fLumbra.dll",
         "LoadLibrary Error",
         6},
        {nullptr, true, {}, "Please install the right VGA driver first!", "kelvane", 1},
    };
    const std::pair<std::vector<std::wstring>, std::string> rows[] = {
        {{L"ping"}, "-> 0x00000001 0x00000000 0x00000000"},
        {{L"info", L"count"}, "-> 0x00000000 0x00000000 0x00000000"},
        {{L"read", L"all"}, "-> 0x00000000 0x00000000 0x00000000"},
        {{L"set", L"all", L"--core", L"800", L"--mem", L"900", L"--volt", L"1100", L"--fan", L"50"},
         "-> 0x00000001 0x00000000 0x00000000"},
    };
    for (const Report& report : reports) {
        SCOPED_TRACE(report.text);
        run.reset();
        folder.reset();  // every report's folder has the test's name
        machine.reset();
        if (report.machine) machine.load(shippedMachine(report.machine));
        if (report.noDeviceList) simboard::setFault(machine.state().faults.classDevsFails, 1);
        layOut({.replaced = report.replaced});
        ASSERT_TRUE(start(/*waitForRegistration=*/false));
        std::string shown;
        HWND box = waitForMessageBox(shown);
        ASSERT_TRUE(box);
        std::string text = report.text;
        if (const std::size_t at = text.find("%f"); at != std::string::npos)
            text.replace(at, 2, win32::narrow(folder->path()));
        EXPECT_TRUE(shown.starts_with(text)) << shown;
        EXPECT_EQ(e2e::controlText(box), report.caption);
        ASSERT_FALSE(callsTo("NuSysSvr_RegisterNotify").empty()) << "registered before the cards are found";
        for (const auto& [verb, answer] : rows) {
            const board_e2e::ToolResult r = linkctl(verb);
            EXPECT_EQ(exitOf(r), code(LinkExit::Answered)) << r.out;
            EXPECT_TRUE(says(r, answer)) << r.out;
        }
        for (int closed = 0; closed < report.reports; ++closed) {
            if (closed > 0) {
                box = waitForMessageBox(shown);
                ASSERT_TRUE(box) << "report " << closed + 1;
            }
            ::PostMessageW(box, WM_COMMAND, IDOK, 0);
            ASSERT_TRUE(e2e::waitUntil([&] { return !::IsWindow(box); }, e2e::kPatienceMs));
        }
        EXPECT_EQ(exitOf(linkctl({L"ping"})), code(LinkExit::Answered)) << "the server runs on";
    }
}

}  // namespace
}  // namespace server_e2e
