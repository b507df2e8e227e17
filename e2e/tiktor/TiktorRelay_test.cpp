// tiktor.exe end to end: started from a program folder with the board's stand-in libraries, driven by
// broadcast messages, observed through the board's journal and its window.

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

#include "e2e/tiktor/TiktorProgram.h"
#include "mainboard/machine/Machine.h"
#include "win32/Text.h"

namespace tiktor_e2e {
namespace {

using Folder = std::vector<std::pair<std::wstring, std::wstring>>;  // build-tree file, name in the folder

const std::wstring kProgram = L"bin\\tiktor.exe";
const std::wstring kClockLibrary = L"standins\\Ticksmith.dll";
const std::wstring kEventLibrary = L"standins\\Evtwatch.dll";
const std::wstring kUnrelatedLibrary = L"standins\\Gearlink.dll";  // loads, but has none of the entry points

class TiktorRelay : public ::testing::Test {
  protected:
    void SetUp() override { simboard::Machine::instance().reset(); }

    // Lays out a program folder with tiktor.exe and the given libraries, and starts tiktor from it
    // (or with currentFolder as its current folder).
    TiktorRun& start(const Folder& libraries, const ProgramFolder* currentFolder = nullptr) {
        run.reset();
        folder.reset();
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        folder = std::make_unique<ProgramFolder>(win32::widen(test->name()));
        folder->add(builtFile(kProgram), L"tiktor.exe");
        for (const auto& [source, name] : libraries) folder->add(builtFile(source), name);
        run = std::make_unique<TiktorRun>(*folder, currentFolder);
        return *run;
    }

    // Starts tiktor with both libraries and waits until it listens.
    HWND startListening() {
        TiktorRun& tiktor = start({{kClockLibrary, L"Ticksmith.dll"}, {kEventLibrary, L"Evtwatch.dll"}});
        HWND dialog = tiktor.waitUntilReady(kPatienceMs);
        EXPECT_TRUE(dialog) << "tiktor did not get to its modal loop";
        return dialog;
    }

    std::vector<std::uint32_t> clockValues() const { return clockValuesOf(run->processId()); }

    bool waitForClockValues(std::size_t count) {
        return waitUntil([&] { return clockValues().size() >= count; }, kPatienceMs);
    }

    // Declared in this order so that the run ends before its folder goes: its files are in use until then.
    std::unique_ptr<ProgramFolder> folder;
    std::unique_ptr<TiktorRun> run;
};

TEST_F(TiktorRelay, OpensAndRegistersTheEventSourceThenRelaysRequestsWithAnyWParam) {
    ASSERT_TRUE(startListening());
    const std::vector<Call> startup = callsOf(run->processId());
    ASSERT_EQ(startup.size(), 2u);
    EXPECT_EQ(startup[0].entry, "NuWMI_Open");
    EXPECT_EQ(startup[1].entry, "NuWMI_RegisterEvent");

    struct Request {
        WPARAM wParam;
        LPARAM lParam;
        std::uint32_t clock;
    };
    const Request requests[] = {
        {0, static_cast<LPARAM>(0xA0000000u), 0},
        {0x55, static_cast<LPARAM>(0xA000FFFFu), 6553500},
        {0xFFFFFFFFu, static_cast<LPARAM>(0xA0000C8Au), 321000},
    };
    std::vector<std::uint32_t> expected;
    for (const Request& r : requests) {
        const std::uint64_t postedUs = simboard::Machine::nowUs();
        broadcastRequest(r.wParam, r.lParam);
        expected.push_back(r.clock);
        ASSERT_TRUE(waitForClockValues(expected.size())) << std::hex << r.lParam;
        const std::uint64_t relayedUs = callsOf(run->processId()).back().timeUs;
        std::printf("broadcast %08lx -> SetClock journaled after %llu us\n",
                    static_cast<unsigned long>(r.lParam),
                    static_cast<unsigned long long>(relayedUs - postedUs));
    }
    EXPECT_EQ(clockValues(), expected);
}

TEST_F(TiktorRelay, PassesOverMessagesThatCarryNoClockRequest) {
    ASSERT_TRUE(startListening());
    broadcastRequest(0, static_cast<LPARAM>(0xA0010000u));
    broadcastRequest(0, static_cast<LPARAM>(0x9FFFFFFFu));
    ::PostMessageA(HWND_BROADCAST, ::RegisterWindowMessageA("KELVANE_TIKTOR_TEST_OTHER_MESSAGE"), 0,
                   static_cast<LPARAM>(0xA0000005u));
    // Posted messages are handled in order: once this one is relayed, the ones before it were seen.
    broadcastRequest(0, static_cast<LPARAM>(0xA0000001u));
    ASSERT_TRUE(waitForClockValues(1));
    EXPECT_EQ(clockValues(), std::vector<std::uint32_t>{100});
}

TEST_F(TiktorRelay, RelaysABurstOfRequestsCompletelyAndInOrder) {
    ASSERT_TRUE(startListening());
    constexpr std::uint32_t kCount = 500;
    std::vector<std::uint32_t> expected;
    const std::uint64_t startUs = simboard::Machine::nowUs();
    for (std::uint32_t n = 1; n <= kCount; ++n) {
        broadcastRequest(n, static_cast<LPARAM>(0xA0000000u | n * 131u));
        expected.push_back(n * 131u * 100u);
    }
    ASSERT_TRUE(waitUntil([&] { return clockValues().size() >= kCount; }, kPatienceMs));
    std::printf("%u broadcasts relayed in %llu us\n", kCount,
                static_cast<unsigned long long>(callsOf(run->processId()).back().timeUs - startUs));
    EXPECT_EQ(clockValues(), expected);
}

TEST_F(TiktorRelay, StaysHiddenWhateverTriesToShowIt) {
    HWND dialog = startListening();
    ASSERT_TRUE(dialog);
    EXPECT_FALSE(::IsWindowVisible(dialog)) << "shown by its own template";

    // wine hands ShowWindow on another process's window to that window's thread without waiting; a
    // message sent after it is handled after it. Whether the window is minimised is wine's affair;
    // what the program decides is that nothing shows it.
    const auto handled = [dialog] {
        DWORD_PTR result = 0;
        return ::SendMessageTimeoutW(dialog, WM_NULL, 0, 0, SMTO_NORMAL, kPatienceMs, &result) != 0;
    };
    for (const int command : {SW_SHOW, SW_MINIMIZE, SW_SHOWNORMAL, SW_SHOWMAXIMIZED}) {
        ::ShowWindow(dialog, command);
        ASSERT_TRUE(handled());
        EXPECT_FALSE(::IsWindowVisible(dialog)) << "ShowWindow " << command;
    }
    ::SetWindowPos(dialog, HWND_TOP, 10, 10, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
    ASSERT_TRUE(handled());
    EXPECT_FALSE(::IsWindowVisible(dialog)) << "SetWindowPos";

    broadcastRequest(0, static_cast<LPARAM>(0xA0000002u));
    ASSERT_TRUE(waitForClockValues(1)) << "no longer relays after the attempts";
    EXPECT_EQ(clockValues(), std::vector<std::uint32_t>{200});
    EXPECT_FALSE(::IsWindowVisible(dialog)) << "after every attempt has been dealt with";
}

TEST_F(TiktorRelay, ExitButtonAndCloseEndTheProgramWithCodeZero) {
    for (const bool byButton : {true, false}) {
        SCOPED_TRACE(byButton ? "Exit button" : "WM_CLOSE");
        HWND dialog = startListening();
        ASSERT_TRUE(dialog);
        if (byButton) {
            HWND exitButton = ::GetDlgItem(dialog, IDOK);
            ASSERT_TRUE(exitButton);
            ::PostMessageA(exitButton, BM_CLICK, 0, 0);
        } else {
            ::PostMessageA(dialog, WM_CLOSE, 0, 0);
        }
        EXPECT_EQ(run->waitForExit(kPatienceMs), std::optional<DWORD>(0));
    }
}

TEST_F(TiktorRelay, EndsAtOnceWithCodeZeroWhenTheEventSourceCannotBeUsed) {
    struct Case {
        const char* what;
        Folder libraries;
        bool openFails;
        std::vector<std::string> calls;  // what the run journals before it ends
    };
    const Case cases[] = {
        {"event library missing", {{kClockLibrary, L"Ticksmith.dll"}}, false, {}},
        {"event library without its entry points",
         {{kClockLibrary, L"Ticksmith.dll"}, {kUnrelatedLibrary, L"Evtwatch.dll"}},
         false,
         {}},
        {"event source does not open",
         {{kClockLibrary, L"Ticksmith.dll"}, {kEventLibrary, L"Evtwatch.dll"}},
         true,
         {"NuWMI_Open"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        simboard::Machine::instance().reset();
        if (c.openFails) {
            simboard::setFault(simboard::Machine::instance().state().faults.eventOpenFails,
                               simboard::kFaultAlways);
        }
        const ULONGLONG startMs = ::GetTickCount64();
        TiktorRun& tiktor = start(c.libraries);
        EXPECT_EQ(tiktor.waitForExit(kPatienceMs), std::optional<DWORD>(0));
        std::printf("%s: ended after %llu ms\n", c.what, ::GetTickCount64() - startMs);
        std::vector<std::string> calls;
        for (const Call& call : callsOf(tiktor.processId())) calls.push_back(call.entry);
        EXPECT_EQ(calls, c.calls);
        if (c.openFails) {
            EXPECT_EQ(callsOf(tiktor.processId()).at(0).result, 0);
        }
    }
}

TEST_F(TiktorRelay, WithoutAUsableClockLibraryKeepsRunningAndIgnoresRequests) {
    struct Case {
        const char* what;
        Folder libraries;
    };
    const Case cases[] = {
        {"clock library missing", {{kEventLibrary, L"Evtwatch.dll"}}},
        {"clock library without SetClock",
         {{kUnrelatedLibrary, L"Ticksmith.dll"}, {kEventLibrary, L"Evtwatch.dll"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TiktorRun& tiktor = start(c.libraries);
        HWND dialog = tiktor.waitUntilReady(kPatienceMs);
        ASSERT_TRUE(dialog);
        // Sent, so that it has been handled when the call returns.
        DWORD_PTR ignored = 0;
        ASSERT_TRUE(::SendMessageTimeoutA(dialog, broadcastMessage(), 0, static_cast<LPARAM>(0xA0000001u),
                                          SMTO_ABORTIFHUNG, kPatienceMs, &ignored));
        EXPECT_TRUE(tiktor.running());
        broadcastRequest(0, static_cast<LPARAM>(0xA000FFFFu));
        ::PostMessageA(dialog, WM_COMMAND, IDOK, 0);  // after the broadcast in the queue
        EXPECT_EQ(tiktor.waitForExit(kPatienceMs), std::optional<DWORD>(0));
        EXPECT_TRUE(clockValues().empty());
    }
}

TEST_F(TiktorRelay, FindsItsLibrariesInItsOwnFolderNeverInTheCurrentFolder) {
    ProgramFolder elsewhere(L"CurrentFolderWithLibraries");
    elsewhere.add(builtFile(kClockLibrary), L"Ticksmith.dll");
    elsewhere.add(builtFile(kEventLibrary), L"Evtwatch.dll");
    TiktorRun& withoutOwn = start({}, &elsewhere);
    EXPECT_EQ(withoutOwn.waitForExit(kPatienceMs), std::optional<DWORD>(0)) << "nothing to wait for";
    EXPECT_TRUE(callsOf(withoutOwn.processId()).empty()) << "the copies in the current folder stay unused";

    ProgramFolder empty(L"CurrentFolderEmpty");
    TiktorRun& withOwn = start({{kClockLibrary, L"Ticksmith.dll"}, {kEventLibrary, L"Evtwatch.dll"}}, &empty);
    HWND dialog = withOwn.waitUntilReady(kPatienceMs);
    ASSERT_TRUE(dialog) << "the program folder's libraries are found from any current folder";
    broadcastRequest(0, static_cast<LPARAM>(0xA0000007u));
    EXPECT_TRUE(waitForClockValues(1));
    EXPECT_EQ(clockValues(), std::vector<std::uint32_t>{700});
    ::PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(withOwn.waitForExit(kPatienceMs), std::optional<DWORD>(0));
}

}  // namespace
}  // namespace tiktor_e2e
