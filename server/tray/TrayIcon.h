#pragma once
// TsTrayIconW: one icon in the notification area, kept through Shell_NotifyIconW. It adds, modifies
// and deletes the icon, keeps its tip and balloon texts, and turns the shell's callback messages,
// which arrive at a hidden window of its own, into mouse, click and balloon events.

#include <windows.h>

#include <shellapi.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "server/tray/TrayRules.h"
#include "win32/Application.h"
#include "win32/Handles.h"
#include "win32/Window.h"

namespace kelvane {

inline constexpr wchar_t kTrayIconWindowClass[] = L"TsTrayIconW";

// The version of a shell library through its DllGetVersion (packedShellVersion), or 0 when the
// library, the export or the call fails.
std::uint64_t shellLibraryVersion(const wchar_t* library);

// The notify record's sizes on this platform (the 32-bit figures of kNotifyRecordSizes32 there).
NotifyRecordSizes platformNotifyRecordSizes();

enum class TMouseButton { mbLeft, mbRight, mbMiddle };

class TsTrayIconW final : public win32::Window {
  public:
    // owner: the application's main window (Minimize, Restore and PopupAt act on it). The icon is a
    // copy of the application's icon in the small-icon size of the display's DPI, made again when the
    // DPI changes; the record's size follows the shell's version.
    TsTrayIconW(HWND owner, UINT iconId, UINT callbackMessage);
    ~TsTrayIconW() override;  // deletes the icon from the notification area if shown (so does a
                              // failed assertion while it lives)

    // The shown flag: true while the shell holds the icon. Writing true adds it, false deletes it;
    // writing the current value sends nothing.
    bool Visible() const noexcept { return m_data.shown; }
    void setVisible(bool visible);

    // Texts longer than their fields (127, 63, 255 characters) are cut.
    void setHint(std::wstring_view text);          // re-sent at once, without a balloon
    void setBalloonTitle(std::wstring_view text);  // sent with the next balloon
    void setBalloonText(std::wstring_view text);   // sent with the next balloon
    void setBalloonIcon(TBalloonIconKind kind);    // sent with the next balloon

    // The icon shown: a change re-sends the record with the new icon.
    HICON icon() const noexcept { return m_icon.get(); }
    void setIcon(win32::UniqueIcon icon);

    void setPopupMenu(HMENU menu) noexcept { m_popupMenu = menu; }  // not owned
    void SetRestoreOn(TTrayClickKind kind) noexcept { m_restoreOn = kind; }
    void setPopupOn(TTrayClickKind kind) noexcept { m_popupOn = kind; }

    void Minimize();
    void Restore();
    void PopupAt(int x, int y);
    void ShowBalloon();  // both only while the icon is shown
    void HideBalloon();

    // Events; the mouse events carry the cursor position in screen pixels at the time they are raised.
    std::function<void()> OnMinimize, OnRestore, OnClick, OnDblClick;
    std::function<void(POINT)> OnMouseMove;
    std::function<void(TMouseButton, POINT)> OnMouseDown, OnMouseUp;
    std::function<void(UINT code)> OnBalloon;
    // After the shell restarted and the icon was added anew (Visible tells whether it took).
    std::function<void()> OnShellRestart;

    const NOTIFYICONDATAW& record() const noexcept { return *m_data.record; }

  private:
    // The shell record, the balloon text kept apart from it, and the shown flag.
    struct TrayNotifyData {
        std::unique_ptr<NOTIFYICONDATAW> record;  // zero-filled at creation
        std::u16string balloonText;
        bool shown = false;
    };

    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void deleteShownIcon();
    void onCallback(std::uint32_t event);
    BOOL send(DWORD message, bool withBalloon);
    void add();
    void modify(bool withBalloon);

    HWND m_owner;
    UINT m_callbackMessage;
    TrayNotifyData m_data;
    win32::UniqueIcon m_icon;
    HMENU m_popupMenu = nullptr;
    TTrayClickKind m_restoreOn = TTrayClickKind::ckNone;
    TTrayClickKind m_popupOn = TTrayClickKind::ckNone;
    // A failed assertion ends the process without destructors: the icon must not stay behind.
    win32::FatalExitCleanup m_fatalExitCleanup{[this] { deleteShownIcon(); }};
};

}  // namespace kelvane
