// The server's tray end to end: its icon in the board's notification area, the menu on a right
// click, "Exit", the balloon click, the shell refusing or restarting, and a connect icon missing.

#include <windows.h>

#include <gtest/gtest.h>

#include "e2e/server/ServerRun.h"
#include "e2e/support/DebugOutputMonitor.h"
#include "mainboard/machine/Translations.h"
#include "mainboard/shelltray/ShellTray.h"
#include "protocol/ServerWindows.h"
#include "server/tray/TrayManager.h"
#include "win32/Text.h"
#include "win32/WindowWord.h"

namespace server_e2e {
namespace {

constexpr DWORD kRetryMs = kelvane::kTrayRetryMs;

// A server run whose tray is driven as a user would: its menu seen from outside, keys pressed in it.
class TrayRun : public ServerTest {
  protected:
    void trayEvent(HWND icon, std::uint32_t event) {
        ::SetLastError(0xdeadbeef);
        EXPECT_TRUE(::PostMessageW(icon, kelvane::kTrayCallbackMessage, kelvane::kTrayIconId, event))
            << ::GetLastError();
    }
    // The server's popup menu while it is up, else null.
    HWND shownMenu() const {
        for (HWND w = nullptr; (w = ::FindWindowExW(nullptr, w, L"#32768", nullptr));) {
            DWORD owner = 0;
            ::GetWindowThreadProcessId(w, &owner);
            if (owner == run->processId() && ::IsWindowVisible(w)) return w;
        }
        return nullptr;
    }
    HWND waitForMenu() {
        HWND menu = nullptr;
        e2e::waitUntil([&] { return (menu = shownMenu()) != nullptr; }, e2e::kPatienceMs);
        return menu;
    }
    // The menu, once it is up, with its top left corner where the cursor was.
    HWND waitForMenuAt(POINT cursor) {
        HWND menu = waitForMenu();
        RECT at{};
        EXPECT_TRUE(menu && ::GetWindowRect(menu, &at)) << "no menu";
        EXPECT_EQ(at.left, cursor.x);
        EXPECT_EQ(at.top, cursor.y);
        return menu;
    }
    // Pops the menu up with the keys already queued behind the click. The menu's loop takes posted
    // messages before input and reads the display's events only when its queue is empty, so the keys
    // are handled one after the other: the pointer move that wine makes of the menu appearing under
    // the cursor, late on a loaded display, cannot come between a Down and the Enter and unselect.
    void choose(HWND icon, std::initializer_list<WPARAM> keys) {
        trayEvent(icon, WM_RBUTTONUP);
        for (WPARAM key : keys) ::PostMessageW(icon, WM_KEYDOWN, key, 0);
    }
    // Escape closes the menu whatever is selected.
    void closeMenu(HWND menu) {
        ::PostMessageW(menu, WM_KEYDOWN, VK_ESCAPE, 0);
        EXPECT_TRUE(e2e::waitUntil([&] { return shownMenu() == nullptr; }, e2e::kPatienceMs));
    }
};

// The same with the board's notification area in place before the server starts.
class Tray : public TrayRun {
  protected:
    simboard::ShellTray shell;

    std::vector<simboard::TrayMessage> iconMessages(UINT message) const {
        std::vector<simboard::TrayMessage> found;
        for (const simboard::TrayMessage& m : shell.messages())
            if (m.processId == run->processId() && m.message == message) found.push_back(m);
        return found;
    }
    // The icon's window once the shell accepted the icon.
    HWND waitForIcon() {
        EXPECT_TRUE(e2e::waitUntil(
            [&] {
                for (const simboard::TrayMessage& m : iconMessages(NIM_ADD))
                    if (m.accepted) return true;
                return false;
            },
            e2e::kPatienceMs))
            << "no icon in the notification area";
        return run->findWindow(kelvane::kTrayIconWindowClass, nullptr);
    }
    std::vector<Call> suiteRuns(std::uint64_t afterSeq) const {
        std::vector<Call> runs;
        for (simboard::JournalRecord& r : simboard::readJournal(machine.state(), afterSeq))
            if (r.library == "Tunedeck II")
                runs.push_back({r.seq, r.library, r.entry, r.args, r.result, r.timeUs});
        return runs;
    }
    std::size_t defaultRuns() const { return callsTo(kDefaultFanEntry).size() / kCardIndices; }
};

// wine's own notification area, a window of its explorer, clicked with the mouse.
TEST_F(TrayRun, RightClickOnTheIconInWinesTrayPopsUpTheMenuAtTheCursorAndLeftClickDoesNot) {
    ASSERT_TRUE(start());
    HWND tray = nullptr;
    ASSERT_TRUE(e2e::waitUntil(
        [&] { return (tray = ::FindWindowW(nullptr, L"Wine System Tray")) && ::IsWindowVisible(tray); },
        e2e::kPatienceMs))
        << "no icon shown";
    POINT icon{10, 10};  // the middle of the first (and only) icon
    ::ClientToScreen(tray, &icon);
    const auto click = [&](DWORD down, DWORD up) {
        ASSERT_TRUE(::SetCursorPos(icon.x, icon.y));
        INPUT input[2] = {};
        input[0].type = input[1].type = INPUT_MOUSE;
        input[0].mi.dwFlags = down;
        input[1].mi.dwFlags = up;
        ::SetLastError(0xdeadbeef);
        ASSERT_EQ(::SendInput(2, input, sizeof(INPUT)), 2u) << ::GetLastError();
    };
    click(MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP);
    click(MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP);
    HWND menu = waitForMenuAt(icon);
    ASSERT_TRUE(menu) << "no menu on a right click";
    closeMenu(menu);
    click(MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP);
    ASSERT_TRUE(request({0x10010000, 0, 0}).ok());
    EXPECT_EQ(shownMenu(), nullptr) << "a left click pops nothing up";
}

TEST_F(Tray, IconWithItsTipPopsUpTheTranslatedMenuAndExitEndsTheProgramLeavingNoIcon) {
    simboard::storeWord(machine.state().uiLanguage, *simboard::languageNamed("de"));
    ASSERT_TRUE(start());
    HWND icon = waitForIcon();
    ASSERT_TRUE(icon);
    const std::vector<simboard::TrayMessage> adds = iconMessages(NIM_ADD);
    ASSERT_EQ(adds.size(), 1u);
    EXPECT_EQ(adds[0].window, win32::wordFromWindow(icon));
    EXPECT_EQ(adds[0].id, 1u);
    EXPECT_EQ(adds[0].callbackMessage, 1114u);
    EXPECT_EQ(adds[0].tip, u"Kelvane Server");
    EXPECT_EQ(adds[0].flags, static_cast<std::uint32_t>(NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_INFO));
    EXPECT_FALSE(::IsWindowVisible(icon)) << "the component's window is never shown";
    // The menu's three captions are the first translations (the About box's come after them).
    const std::vector<Call> translations = callsTo("NuTranslateStr");
    ASSERT_GE(translations.size(), 3u);
    for (const Call& c : translations) EXPECT_EQ(c.args.at(1), 0x0407u) << "in German";

    POINT cursor{};
    ::GetCursorPos(&cursor);
    trayEvent(icon, WM_RBUTTONUP);
    HWND menu = waitForMenuAt(cursor);
    ASSERT_TRUE(menu) << "no menu on a right-button release";
    trayEvent(icon, WM_RBUTTONUP);  // while the menu is up: no second one
    closeMenu(menu);
    ASSERT_TRUE(request({0x10010000, 0, 0}).ok());  // handled after the messages posted before it
    EXPECT_EQ(shownMenu(), nullptr) << "no second menu";
    // Down selects "About", the next Down skips the separator to "Exit".
    choose(icon, {VK_DOWN, VK_DOWN, VK_RETURN});
    EXPECT_EQ(run->waitForExit(e2e::kPatienceMs), std::optional<DWORD>(0));
    const std::vector<simboard::TrayMessage> deletes = iconMessages(NIM_DELETE);
    ASSERT_EQ(deletes.size(), 1u);
    EXPECT_TRUE(deletes[0].accepted);
    EXPECT_EQ(deletes[0].id, 1u);
    EXPECT_FALSE(shell.holds(adds[0].window, 1)) << "no icon left behind";
}

TEST_F(Tray, OnlyTheCallbackMessagesRightButtonReleasePopsTheMenu) {
    ASSERT_TRUE(start());
    HWND icon = waitForIcon();
    ASSERT_TRUE(icon);
    // A broadcast whose lParam reads as a right-button release, a left release, a double click.
    ::PostMessageW(HWND_BROADCAST, ::RegisterWindowMessageW(L"KelvaneTrayTestBroadcast"), 0, WM_RBUTTONUP);
    ::PostMessageW(icon, WM_USER + 1, kelvane::kTrayIconId, WM_RBUTTONUP);
    trayEvent(icon, WM_LBUTTONUP);
    trayEvent(icon, WM_RBUTTONDBLCLK);
    trayEvent(icon, WM_RBUTTONDOWN);
    // A request is answered after the messages posted before it were handled.
    ASSERT_TRUE(request({0x10010000, 0, 0}).ok());
    EXPECT_EQ(shownMenu(), nullptr);
    trayEvent(icon, WM_RBUTTONUP);
    HWND menu = waitForMenu();
    ASSERT_TRUE(menu);
    closeMenu(menu);
    EXPECT_TRUE(run->running());
    EXPECT_TRUE(request({0x10010000, 0, 0}).ok()) << "the server runs on";
}

TEST_F(Tray, AboutShowsTheOneAboutBoxWithoutMakingItModal) {
    ASSERT_TRUE(start());
    HWND icon = waitForIcon();
    ASSERT_TRUE(icon);
    waitUntilStarted();
    HWND box = run->findWindow(wire::kAboutBoxClass, wire::kAboutBoxCaption);
    ASSERT_TRUE(box);
    for (int time = 1; time <= 2; ++time) {
        EXPECT_FALSE(::IsWindowVisible(box)) << time;
        choose(icon, {VK_DOWN, VK_RETURN});
        EXPECT_TRUE(e2e::waitUntil([&] { return ::IsWindowVisible(box) != FALSE; }, e2e::kPatienceMs))
            << time;
        EXPECT_EQ(run->findWindow(wire::kAboutBoxClass, wire::kAboutBoxCaption), box)
            << "the one box made at start";
        EXPECT_TRUE(::IsWindowEnabled(form)) << "not modal: its owner stays enabled";
        EXPECT_TRUE(request({0x10010000, 0, 0}).ok()) << "the server answers while the box shows";
        ::PostMessageW(box, WM_CLOSE, 0, 0);
        EXPECT_TRUE(e2e::waitUntil([&] { return !::IsWindowVisible(box); }, e2e::kPatienceMs)) << time;
    }
}

TEST_F(Tray, RefusedIconIsAddedAgainEveryFiveSecondsUntilTheShellTakesIt) {
    shell.refuseAdds(2);  // at set-up and at the first tick
    ASSERT_TRUE(start());
    ASSERT_TRUE(e2e::waitUntil([&] { return iconMessages(NIM_ADD).size() >= 3; }, e2e::kPatienceMs));
    // The server is watched for one more add as long as a further tick would take.
    (void)e2e::waitUntil([&] { return iconMessages(NIM_ADD).size() > 3; }, kRetryMs + 1500);
    const std::vector<simboard::TrayMessage> adds = iconMessages(NIM_ADD);
    ASSERT_EQ(adds.size(), 3u) << "no add after the accepted one";
    std::vector<std::uint64_t> retriesUs;
    for (std::size_t i = 0; i < adds.size(); ++i) {
        EXPECT_EQ(adds[i].accepted, i == 2) << i;
        EXPECT_EQ(adds[i].tip, u"Kelvane Server") << i;
        if (i > 0) retriesUs.push_back(adds[i].timeUs);
    }
    e2e::expectPeriodicTicks(retriesUs, adds[0].timeUs, kRetryMs);  // set after the first add failed
    trayEvent(run->findWindow(kelvane::kTrayIconWindowClass, nullptr), WM_RBUTTONUP);
    EXPECT_TRUE(waitForMenu()) << "the menu works once the icon is there";
}

TEST_F(Tray, ShellRestartBringsTheIconBack) {
    ASSERT_TRUE(start());
    HWND icon = waitForIcon();
    ASSERT_TRUE(icon);
    shell.forgetIcons();
    ::PostMessageW(HWND_BROADCAST, ::RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    ASSERT_TRUE(e2e::waitUntil([&] { return iconMessages(NIM_ADD).size() == 2; }, e2e::kPatienceMs));
    EXPECT_TRUE(iconMessages(NIM_ADD)[1].accepted);
    EXPECT_TRUE(shell.holds(win32::wordFromWindow(icon), 1));
}

TEST_F(Tray, BalloonClickStartsTheSuiteFromTheProgramFolderWithPageZero) {
    const std::uint64_t before = e2e::lastSeq();
    ASSERT_TRUE(start());
    HWND icon = waitForIcon();
    ASSERT_TRUE(icon);
    for (std::uint32_t shownHiddenTimedOut : {0x402u, 0x403u, 0x404u}) trayEvent(icon, shownHiddenTimedOut);
    trayEvent(icon, 0x405);
    ASSERT_TRUE(e2e::waitUntil([&] { return !suiteRuns(before).empty(); }, e2e::kPatienceMs));
    ASSERT_TRUE(request({0x10010000, 0, 0}).ok());
    const std::vector<Call> runs = suiteRuns(before);
    ASSERT_EQ(runs.size(), 1u) << "one run, for the click only";
    EXPECT_EQ(runs[0].entry, "-OPEN0");
    EXPECT_EQ(runs[0].result, 6);
}

// Without the suite nothing shows: no box of the shell's (a modal loop that a close could not end),
// and the debugger output says why.
TEST_F(Tray, BalloonClickWithoutTheSuiteShowsNothingAndTheDebuggerOutputSaysWhy) {
    e2e::DebugOutputMonitor monitor;
    ASSERT_TRUE(monitor.started()) << "another debug monitor runs in this prefix";
    layOut({.replaced = {{kelvane::kSuiteProgram, L""}}});
    ASSERT_TRUE(start());
    HWND icon = waitForIcon();
    ASSERT_TRUE(icon);
    trayEvent(icon, 0x405);
    const std::string said =
        "Cannot start " + win32::narrow(folder->path() + kelvane::kSuiteProgram) + " (error ";
    const auto saidWhy = [&] {
        for (const std::string& line : monitor.linesOf(run->processId()))
            if (line.starts_with(said)) return true;
        return false;
    };
    // The line is written once the start has failed, after any box that the start showed.
    ASSERT_TRUE(
        e2e::waitUntil([&] { return saidWhy() || run->findWindow(L"#32770", nullptr); }, e2e::kPatienceMs));
    EXPECT_EQ(run->findWindow(L"#32770", nullptr), nullptr) << "a box";
    EXPECT_TRUE(saidWhy());
}

// The connect icon is never shown: one that cannot be read is reported once the server runs, and
// nothing of the start-up waits for someone to close the report.
TEST_F(Tray, UnreadableConnectIconIsReportedOnceWhileStartUpGoesOnUnderIt) {
    const e2e::ScratchFile notAnIcon(L"connect.ico", "This file is not an icon.\r\n");
    // Missing, the file reports ERROR_FILE_NOT_FOUND, or ERROR_PATH_NOT_FOUND when resource\ is empty.
    const struct {
        bool present;
        const char* message;
    } cases[] = {{false, "Cannot open file \"%s\" (error %d)"},
                 {true, "The file \"%s\" is not a valid icon"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        run.reset();
        folder.reset();  // the next run's folder has the same name
        machine.reset();
        layOut({.skinFilesLeftOut = {L"connect.ico"}});
        if (c.present) folder->add(notAnIcon.path(), L"resource\\connect.ico");
        ASSERT_TRUE(start(/*waitForRegistration=*/false));
        std::string shown;
        HWND report = waitForMessageBox(shown);
        ASSERT_TRUE(report);
        // The report stays up: the registration, the default runs, requests and the menu go on.
        HWND icon = waitForIcon();
        ASSERT_TRUE(icon);
        ASSERT_TRUE(
            e2e::waitUntil([&] { return !callsTo("NuSysSvr_RegisterNotify").empty(); }, e2e::kPatienceMs));
        EXPECT_EQ(callsTo("NuSysSvr_RegisterNotify").at(0).result, 1);
        EXPECT_TRUE(request({0x10010000, 0, 0}).ok()) << "answered under the report";
        ASSERT_TRUE(e2e::waitUntil([&] { return defaultRuns() >= kDefaultRuns; }, e2e::kPatienceMs));
        trayEvent(icon, WM_RBUTTONUP);
        HWND menu = waitForMenu();
        ASSERT_TRUE(menu);
        closeMenu(menu);
        EXPECT_TRUE(::IsWindow(report)) << "the report was still up";

        std::string expected = c.message;
        expected.replace(expected.find("%s"), 2, win32::narrow(folder->path()) + "resource\\connect.ico");
        if (const std::size_t code = expected.find("%d"); code != std::string::npos)
            expected.replace(code, 2, shown.ends_with("(error 3)") ? "3" : "2");
        ASSERT_TRUE(dismissMessageBox(expected, "kelvane"));
        std::string text;
        EXPECT_EQ(e2e::waitForMessageBox(*run, text, e2e::kQuietMs), nullptr) << "reported once: " << text;
    }
}

// "Exit" closes after the menu call has returned; a close from outside (an installer, a tool that
// ends programs politely) while the menu is up must do the same, not free the tray under the call.
TEST_F(Tray, ACloseWhileTheMenuIsUpEndsTheMenuFirstAndClosesAsExitDoes) {
    ASSERT_TRUE(start());
    HWND icon = waitForIcon();
    ASSERT_TRUE(icon);
    trayEvent(icon, WM_RBUTTONUP);
    ASSERT_TRUE(waitForMenu());
    ::PostMessageW(form, WM_CLOSE, 0, 0);
    EXPECT_EQ(run->waitForExit(e2e::kPatienceMs), std::optional<DWORD>(0));
    const std::vector<simboard::TrayMessage> deletes = iconMessages(NIM_DELETE);
    ASSERT_EQ(deletes.size(), 1u);
    EXPECT_TRUE(deletes[0].accepted);
    EXPECT_FALSE(shell.holds(deletes[0].window, 1)) << "no icon left behind";
    // That the tray manager outlives its menu call is seen in the process: TrayManager_test.
}

// A failed assertion ends the process; the icon it added must not stay behind. Here the report is
// answered by a close, as an installer sends it to the main window.
TEST_F(Tray, AFailedAssertionDeletesTheIconBeforeTheProcessEnds) {
    layOut({.replaced = {{L"NuMultiLang.dll", L"standins\\variants\\NuMultiLang-no-NuGetLangName.dll"}}});
    ASSERT_TRUE(start(/*waitForRegistration=*/false));
    std::string text;
    HWND report = waitForMessageBox(text);
    ASSERT_TRUE(report);
    EXPECT_TRUE(text.starts_with("Assertion failed: m_pNuTranslateStr != NULL && m_pNuGetLangName != NULL"))
        << text;
    const std::vector<simboard::TrayMessage> adds = iconMessages(NIM_ADD);
    ASSERT_EQ(adds.size(), 1u) << "the menu's captions come after the icon";
    ASSERT_TRUE(adds[0].accepted);
    ::PostMessageW(form, WM_CLOSE, 0, 0);
    EXPECT_EQ(run->waitForExit(e2e::kPatienceMs), std::optional<DWORD>(3));
    const std::vector<simboard::TrayMessage> deletes = iconMessages(NIM_DELETE);
    ASSERT_EQ(deletes.size(), 1u);
    EXPECT_TRUE(deletes[0].accepted);
    EXPECT_FALSE(shell.holds(adds[0].window, 1)) << "no icon left behind";
}

}  // namespace
}  // namespace server_e2e
