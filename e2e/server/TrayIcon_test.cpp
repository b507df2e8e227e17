// The tray icon component in this process, against the board's notification area.

#include "server/tray/TrayIcon.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mainboard/shelltray/ShellTray.h"
#include "win32/Handles.h"
#include "win32/WindowWord.h"

namespace kelvane {
namespace {

constexpr UINT kCallback = WM_USER + 0x5A;

class TrayIcon : public ::testing::Test {
  protected:
    std::vector<simboard::TrayMessage> sent() const {
        std::vector<simboard::TrayMessage> mine;
        for (const simboard::TrayMessage& m : shell.messages())
            if (m.window == win32::wordFromWindow(icon->hwnd())) mine.push_back(m);
        return mine;
    }
    std::vector<std::uint32_t> sentKinds() const {
        std::vector<std::uint32_t> kinds;
        for (const simboard::TrayMessage& m : sent()) kinds.push_back(m.message);
        return kinds;
    }

    simboard::ShellTray shell;
    win32::UniqueWindow owner{
        ::CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr)};
    std::unique_ptr<TsTrayIconW> icon = std::make_unique<TsTrayIconW>(owner.get(), 7, kCallback);
};

TEST_F(TrayIcon, ShellVersionChoosesTheRecordSize) {
    EXPECT_GE(shellLibraryVersion(L"shell32.dll"), packedShellVersion(6, 0));
    EXPECT_EQ(shellLibraryVersion(L"kernel32.dll"), 0u) << "a library without DllGetVersion";
    EXPECT_EQ(shellLibraryVersion(L"no-such-library.dll"), 0u);
    // The record is the platform's; the figures are the 32-bit layout's in the 32-bit build.
    const NotifyRecordSizes sizes = platformNotifyRecordSizes();
    if constexpr (sizeof(void*) == 4) {
        EXPECT_EQ(sizes.buffer, 956u);
        EXPECT_EQ(icon->record().cbSize, 952u) << "shell32 6.0 or later";
    } else {
        EXPECT_EQ(sizes.buffer, sizeof(NOTIFYICONDATAW));
        EXPECT_EQ(icon->record().cbSize, static_cast<DWORD>(NOTIFYICONDATAW_V3_SIZE));
    }
    EXPECT_EQ(icon->record().uID, 7u);
    EXPECT_EQ(icon->record().uCallbackMessage, kCallback);
    EXPECT_NE(icon->icon(), nullptr) << "a copy of the application's icon";
    EXPECT_EQ(icon->record().hIcon, icon->icon());
}

TEST_F(TrayIcon, VisibleSendsOnlyWhenItChangesAndFollowsTheShellsAnswer) {
    shell.refuseAdds(1);
    icon->setVisible(true);
    EXPECT_FALSE(icon->Visible()) << "refused";
    icon->ShowBalloon();  // nothing while not shown
    icon->setHint(L"tip");
    icon->setVisible(true);
    EXPECT_TRUE(icon->Visible());
    icon->setVisible(true);
    icon->setVisible(false);
    EXPECT_FALSE(icon->Visible());
    icon->setVisible(false);
    icon->HideBalloon();
    EXPECT_EQ(sentKinds(), (std::vector<std::uint32_t>{NIM_ADD, NIM_ADD, NIM_DELETE}));

    icon->setVisible(true);
    const HWND window = icon->hwnd();
    icon.reset();
    EXPECT_FALSE(shell.holds(win32::wordFromWindow(window), 7)) << "the icon leaves with the component";
}

TEST_F(TrayIcon, TextsAreCutToTheirFieldsAndTheBalloonGoesOnlyWithShowBalloon) {
    icon->setVisible(true);
    icon->setHint(std::wstring(200, L't'));
    icon->setBalloonTitle(std::wstring(64, L'T'));
    icon->setBalloonText(std::wstring(300, L'b'));
    icon->setBalloonIcon(TBalloonIconKind::biWarning);
    icon->ShowBalloon();
    icon->HideBalloon();
    const std::vector<simboard::TrayMessage> m = sent();
    ASSERT_EQ(m.size(), 4u);  // add, hint, show, hide
    EXPECT_EQ(m[0].flags, static_cast<std::uint32_t>(NIF_MESSAGE | NIF_ICON | NIF_INFO)) << "no tip yet";
    EXPECT_EQ(m[1].message, static_cast<std::uint32_t>(NIM_MODIFY));
    EXPECT_EQ(m[1].tip, std::u16string(127, u't'));
    EXPECT_EQ(m[1].flags, static_cast<std::uint32_t>(NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_INFO));
    EXPECT_EQ(m[1].balloonText, u"");
    EXPECT_EQ(m[2].balloonText, std::u16string(255, u'b'));
    EXPECT_EQ(m[2].balloonTitle, std::u16string(63, u'T'));
    EXPECT_EQ(m[2].balloonFlags, 2u) << "NIIF_WARNING";
    EXPECT_EQ(m[3].balloonText, u"");
    EXPECT_EQ(m[3].balloonTitle, std::u16string(63, u'T')) << "the title stays; the text is what shows";
}

TEST_F(TrayIcon, CallbackMessagesBecomeEventsAndNothingElseDoes) {
    std::vector<std::string> events;
    const auto name = [](TMouseButton b) { return b == TMouseButton::mbLeft ? "left" : "right"; };
    icon->OnMouseMove = [&](POINT) { events.push_back("move"); };
    icon->OnMouseDown = [&](TMouseButton b, POINT) { events.push_back(std::string("down ") + name(b)); };
    icon->OnMouseUp = [&](TMouseButton b, POINT) { events.push_back(std::string("up ") + name(b)); };
    icon->OnClick = [&] { events.push_back("click"); };
    icon->OnDblClick = [&] { events.push_back("double"); };
    icon->OnBalloon = [&](UINT code) { events.push_back("balloon " + std::to_string(code)); };
    const struct {
        UINT message;
        LPARAM lParam;
        std::vector<std::string> events;
    } cases[] = {
        {kCallback, WM_MOUSEMOVE, {"move"}},
        {kCallback, WM_LBUTTONDOWN, {"down left"}},
        {kCallback, WM_RBUTTONDOWN, {"down right"}},
        {kCallback, WM_LBUTTONUP, {"up left", "click"}},
        {kCallback, WM_RBUTTONUP, {"up right"}},
        {kCallback, WM_LBUTTONDBLCLK, {"double"}},
        {kCallback, WM_RBUTTONDBLCLK, {}},
        {kCallback, WM_MBUTTONUP, {}},
        {kCallback, WM_CONTEXTMENU, {}},
        {kCallback, 0x401, {}},
        {kCallback, 0x402, {"balloon 1026"}},
        {kCallback, 0x405, {"balloon 1029"}},
        {kCallback, 0x406, {}},
        {WM_USER + 1, WM_LBUTTONUP, {}},  // another message's lParam means nothing
        {WM_NULL, WM_RBUTTONUP, {}},
    };
    for (const auto& c : cases) {
        events.clear();
        ::SendMessageW(icon->hwnd(), c.message, 0, c.lParam);
        EXPECT_EQ(events, c.events) << std::hex << c.message << " " << c.lParam;
    }
    events.clear();
    EXPECT_EQ(::SendMessageW(icon->hwnd(), WM_QUERYENDSESSION, 0, WM_LBUTTONUP), 1);
    EXPECT_TRUE(events.empty());
}

TEST_F(TrayIcon, ClickKindsRestoreTheOwner) {
    int restored = 0;
    icon->OnRestore = [&] { ++restored; };
    icon->SetRestoreOn(TTrayClickKind::ckDoubleClick);
    ::SendMessageW(icon->hwnd(), kCallback, 0, WM_LBUTTONUP);
    EXPECT_EQ(restored, 0);
    ::SendMessageW(icon->hwnd(), kCallback, 0, WM_RBUTTONDBLCLK);
    EXPECT_EQ(restored, 1);
    EXPECT_TRUE(::IsWindowVisible(owner.get()));
    icon->Minimize();
    EXPECT_FALSE(::IsWindowVisible(owner.get()));
}

TEST_F(TrayIcon, ShellRestartAddsAShownIconAgain) {
    int restarts = 0;
    icon->OnShellRestart = [&] { ++restarts; };
    const UINT taskbarCreated = ::RegisterWindowMessageW(L"TaskbarCreated");
    ::SendMessageW(icon->hwnd(), taskbarCreated, 0, 0);
    EXPECT_TRUE(sent().empty()) << "an icon not shown is the retry's business";
    icon->setVisible(true);
    shell.forgetIcons();
    ::SendMessageW(icon->hwnd(), taskbarCreated, 0, 0);
    EXPECT_EQ(sentKinds(), (std::vector<std::uint32_t>{NIM_ADD, NIM_ADD}));
    EXPECT_TRUE(icon->Visible());
    EXPECT_EQ(restarts, 2);
}

}  // namespace
}  // namespace kelvane
