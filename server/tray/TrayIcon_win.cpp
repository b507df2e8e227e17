#include "server/tray/TrayIcon.h"

#include <shlwapi.h>

#include <cstddef>

#include "win32/Application.h"
#include "win32/Dpi.h"
#include "win32/Icons.h"
#include "win32/ModalLoop.h"

namespace kelvane {

// The record as the shell reads it at 32 bits: 956 bytes, of which each shell generation reads a part.
#if !defined(_WIN64)
static_assert(sizeof(NOTIFYICONDATAW) == kNotifyRecordSizes32.buffer);
static_assert(offsetof(NOTIFYICONDATAW, hWnd) == 4);
static_assert(offsetof(NOTIFYICONDATAW, uID) == 8);
static_assert(offsetof(NOTIFYICONDATAW, uFlags) == 12);
static_assert(offsetof(NOTIFYICONDATAW, uCallbackMessage) == 16);
static_assert(offsetof(NOTIFYICONDATAW, hIcon) == 20);
static_assert(offsetof(NOTIFYICONDATAW, szTip) == 24);
static_assert(offsetof(NOTIFYICONDATAW, dwState) == 280);
static_assert(offsetof(NOTIFYICONDATAW, dwStateMask) == 284);
static_assert(offsetof(NOTIFYICONDATAW, szInfo) == 288);
static_assert(offsetof(NOTIFYICONDATAW, uTimeout) == 800);
static_assert(offsetof(NOTIFYICONDATAW, szInfoTitle) == 804);
static_assert(offsetof(NOTIFYICONDATAW, dwInfoFlags) == 932);
static_assert(offsetof(NOTIFYICONDATAW, guidItem) == 936);
static_assert(offsetof(NOTIFYICONDATAW, hBalloonIcon) == 952);
static_assert(NOTIFYICONDATAW_V3_SIZE == kNotifyRecordSizes32.version6);
static_assert(NOTIFYICONDATAW_V2_SIZE == kNotifyRecordSizes32.version5);
static_assert(NOTIFYICONDATAW_V1_SIZE == kNotifyRecordSizes32.version4);
#endif
static_assert(sizeof(wchar_t) == sizeof(char16_t));
static_assert(std::size(NOTIFYICONDATAW{}.szTip) == kTipUnits);
static_assert(std::size(NOTIFYICONDATAW{}.szInfoTitle) == kBalloonTitleUnits);
static_assert(std::size(NOTIFYICONDATAW{}.szInfo) == kBalloonTextUnits);

namespace {

std::u16string_view asU16(std::wstring_view text) {
    return {reinterpret_cast<const char16_t*>(text.data()), text.size()};
}

template <std::size_t N>
void copyIntoField(std::wstring_view text, wchar_t (&field)[N]) {
    kelvane::copyIntoField(asU16(text), reinterpret_cast<char16_t*>(field), N);
}

// The application's icon in the frame the notification area shows at the DPI.
win32::UniqueIcon smallApplicationIcon(int dpi) {
    return win32::copyApplicationIcon(win32::systemMetricForDpi(SM_CXSMICON, dpi));
}

// The shell announces a restart to every top-level window with this registered message.
UINT taskbarCreatedMessage() {
    static const UINT message = ::RegisterWindowMessageW(L"TaskbarCreated");
    return message;
}

}  // namespace

std::uint64_t shellLibraryVersion(const wchar_t* library) {
    win32::UniqueModule module(::LoadLibraryW(library));
    if (!module) return 0;
    const auto getVersion = reinterpret_cast<HRESULT(CALLBACK*)(DLLVERSIONINFO*)>(
        reinterpret_cast<void*>(::GetProcAddress(module.get(), "DllGetVersion")));
    DLLVERSIONINFO info{};
    info.cbSize = sizeof info;
    if (!getVersion || getVersion(&info) < 0) return 0;
    return packedShellVersion(info.dwMajorVersion, info.dwMinorVersion);
}

NotifyRecordSizes platformNotifyRecordSizes() {
    return {sizeof(NOTIFYICONDATAW), NOTIFYICONDATAW_V3_SIZE, NOTIFYICONDATAW_V2_SIZE,
            NOTIFYICONDATAW_V1_SIZE};
}

TsTrayIconW::TsTrayIconW(HWND owner, UINT iconId, UINT callbackMessage)
    : m_owner(owner), m_callbackMessage(callbackMessage) {
    // Top-level, never shown: only a top-level window hears the shell's restart broadcast.
    create(kTrayIconWindowClass, L"", WS_POPUP, 0, {0, 0, 0, 0});
    // A server with more rights than the shell (started elevated) would not hear the shell's restart
    // through the system's message filter: the announcement is let through.
    ::ChangeWindowMessageFilterEx(hwnd(), taskbarCreatedMessage(), MSGFLT_ALLOW, nullptr);
    m_data.record = std::make_unique<NOTIFYICONDATAW>();
    NOTIFYICONDATAW& r = *m_data.record;
    r.cbSize = notifyRecordSize(shellLibraryVersion(L"shell32.dll"), platformNotifyRecordSizes());
    r.hWnd = hwnd();
    r.uID = iconId;
    r.uCallbackMessage = callbackMessage;
    m_icon = smallApplicationIcon(win32::windowDpi(hwnd()));
    r.hIcon = m_icon.get();
}

TsTrayIconW::~TsTrayIconW() {
    deleteShownIcon();
    destroy();
}

void TsTrayIconW::deleteShownIcon() {
    if (m_data.shown) send(NIM_DELETE, false);
}

BOOL TsTrayIconW::send(DWORD message, bool withBalloon) {
    NOTIFYICONDATAW& r = *m_data.record;
    r.uFlags = NIF_MESSAGE | NIF_INFO;
    if (r.hIcon) r.uFlags |= NIF_ICON;
    if (r.szTip[0]) r.uFlags |= NIF_TIP;
    // Every send but a balloon's empties the balloon text, which takes a shown balloon away.
    if (withBalloon)
        kelvane::copyIntoField(m_data.balloonText, reinterpret_cast<char16_t*>(r.szInfo), kBalloonTextUnits);
    else
        r.szInfo[0] = L'\0';
    return ::Shell_NotifyIconW(message, &r);
}

void TsTrayIconW::add() { m_data.shown = send(NIM_ADD, false) == 1; }

void TsTrayIconW::modify(bool withBalloon) {
    if (m_data.shown) send(NIM_MODIFY, withBalloon);
}

void TsTrayIconW::setVisible(bool visible) {
    if (visible == m_data.shown) return;
    if (visible)
        add();
    else if (send(NIM_DELETE, false))
        m_data.shown = false;  // a failed delete leaves the icon counted as shown
}

void TsTrayIconW::setHint(std::wstring_view text) {
    copyIntoField(text, m_data.record->szTip);
    modify(false);
}

void TsTrayIconW::setBalloonTitle(std::wstring_view text) { copyIntoField(text, m_data.record->szInfoTitle); }

void TsTrayIconW::setBalloonText(std::wstring_view text) {
    m_data.balloonText = cutToField(asU16(text), kBalloonTextUnits);
}

void TsTrayIconW::setBalloonIcon(TBalloonIconKind kind) {
    m_data.record->dwInfoFlags = balloonInfoFlags(kind);
}

void TsTrayIconW::setIcon(win32::UniqueIcon icon) {
    m_icon = std::move(icon);
    m_data.record->hIcon = m_icon.get();  // the old handle is gone with its owner
    modify(false);
}

void TsTrayIconW::Minimize() {
    ::ShowWindow(m_owner, SW_MINIMIZE);
    ::ShowWindow(m_owner, SW_HIDE);
    if (OnMinimize) OnMinimize();
}

void TsTrayIconW::Restore() {
    ::ShowWindow(m_owner, SW_RESTORE);
    ::SetForegroundWindow(m_owner);
    if (OnRestore) OnRestore();
}

void TsTrayIconW::PopupAt(int x, int y) {
    if (!m_popupMenu) return;
    ::SetForegroundWindow(m_owner);
    const win32::ModalLoopScope loop;
    ::TrackPopupMenu(m_popupMenu, TPM_LEFTALIGN | TPM_RIGHTBUTTON, x, y, 0, m_owner, nullptr);
    ::PostMessageW(m_owner, WM_NULL, 0, 0);  // so that the next click elsewhere closes the menu
}

void TsTrayIconW::ShowBalloon() { modify(true); }

void TsTrayIconW::HideBalloon() { modify(false); }

LRESULT TsTrayIconW::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == m_callbackMessage) {
        onCallback(static_cast<std::uint32_t>(lParam));
        return 0;
    }
    if (message == WM_QUERYENDSESSION) return 1;
    if (message == WM_DPICHANGED) {
        setIcon(smallApplicationIcon(win32::dpiOfChange(wParam)));
        return 0;
    }
    // A tool that ends programs politely closes every top-level window: the program closes as
    // its owner's close does it, and this window stays until then.
    if (message == WM_CLOSE) {
        ::PostMessageW(m_owner, WM_CLOSE, 0, 0);
        return 0;
    }
    if (message == taskbarCreatedMessage()) {
        // The new shell holds no icon; writing Visible would send nothing while the flag is set.
        if (m_data.shown) add();
        if (OnShellRestart) OnShellRestart();
        return 0;
    }
    return win32::Window::handleMessage(message, wParam, lParam);
}

// Only the callback message's lParam is read: the window is top-level and hears broadcasts, whose
// lParam means something else.
void TsTrayIconW::onCallback(std::uint32_t event) {
    using namespace tray_mouse;
    const auto cursor = [] {
        POINT at{};
        ::GetCursorPos(&at);
        return at;
    };
    if (clickMatches(m_restoreOn, event)) Restore();
    if (clickMatches(m_popupOn, event)) {
        const POINT at = cursor();
        PopupAt(at.x, at.y);
    }
    switch (event) {
        case kMove:
            if (OnMouseMove) OnMouseMove(cursor());
            break;
        case kLeftDown:
        case kRightDown:
            if (OnMouseDown)
                OnMouseDown(event == kLeftDown ? TMouseButton::mbLeft : TMouseButton::mbRight, cursor());
            break;
        case kLeftUp:
            if (OnMouseUp) OnMouseUp(TMouseButton::mbLeft, cursor());
            if (OnClick) OnClick();
            break;
        case kRightUp:
            if (OnMouseUp) OnMouseUp(TMouseButton::mbRight, cursor());
            break;
        case kLeftDoubleClick:
            if (OnDblClick) OnDblClick();
            break;
        default:
            if (event >= kBalloonShow && event <= kBalloonUserClick && OnBalloon) OnBalloon(event);
            break;
    }
}

}  // namespace kelvane
