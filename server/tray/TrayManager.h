#pragma once
// The server's tray: its icon with the product's name (Kelvane Server) as its tip, the menu "About" /
// separator / "Exit" on a right click, the add retried every 5 seconds until the shell accepts it, and the
// suite started when the user clicks a balloon.

#include <windows.h>

#include <functional>
#include <memory>

#include "Version.h"
#include "server/tray/TrayIcon.h"
#include "win32/Handles.h"
#include "win32/Window.h"

namespace kelvane {

inline constexpr UINT kTrayIconId = 1;
inline constexpr UINT kTrayCallbackMessage = WM_USER + 0x5A;  // 1114
inline constexpr wchar_t kTrayHint[] = L"" KV_PRODUCT_NAME;
inline constexpr UINT kTrayRetryMs = 5000;
inline constexpr wchar_t kConnectIconFile[] = L"resource\\connect.ico";
inline constexpr wchar_t kSuiteProgram[] = L"Tunedeck II.exe";

// The menu items' tags: the menu command of an item is its tag + 1 (0 is "nothing chosen").
enum class TrayMenuTag : UINT { About = 0, Separator = 1, Exit = 2 };

class TTrayManager {
  public:
    // mainWindow: owner of the retry timer and the menu, closed by "Exit". showAbout: what "About" does.
    TTrayManager(HWND mainWindow, std::function<void()> showAbout);
    ~TTrayManager();
    TTrayManager(const TTrayManager&) = delete;
    TTrayManager& operator=(const TTrayManager&) = delete;

    // The icon, its texts, the first add and the menu. A connect icon that cannot be read is reported
    // once the message loop runs: it is never shown, and start-up must not wait for the report.
    void Setup();
    // Stops the retry and frees the menu, the connect icon and the tray icon (which leaves the
    // notification area). Safe to call again.
    void Teardown();

    TsTrayIconW* trayIcon() const noexcept { return m_trayIcon.get(); }
    HMENU popupMenu() const noexcept { return m_popupMenu.get(); }
    bool retrying() const noexcept { return m_retryTimer.enabled(); }

  private:
    void restartRetry();
    void RetryTimerTick();
    void onMouseUp(TMouseButton button);
    void onMenuPopup();
    void onMenuClick(TrayMenuTag tag);
    void onBalloon(UINT code);

    HWND m_mainWindow;
    std::function<void()> m_showAbout;
    std::unique_ptr<TsTrayIconW> m_trayIcon;
    win32::UniqueIcon m_connectIcon;
    win32::UniqueMenu m_popupMenu;
    win32::Timer m_retryTimer;
    int m_pageNumber = 0;
};

}  // namespace kelvane
