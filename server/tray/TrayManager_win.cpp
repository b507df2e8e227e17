#include "server/tray/TrayManager.h"

#include <shellapi.h>

#include <optional>
#include <string>

#include "support/NuMultiLang.h"
#include "win32/Application.h"
#include "win32/DebugOutput.h"
#include "win32/Icons.h"
#include "win32/ModalLoop.h"
#include "win32/Text.h"

namespace kelvane {

namespace {

// Process-wide: a second popup must not start while the first one's menu loop runs.
bool g_menuUp = false;

}  // namespace

TTrayManager::TTrayManager(HWND mainWindow, std::function<void()> showAbout)
    : m_mainWindow(mainWindow),
      m_showAbout(std::move(showAbout)),
      m_retryTimer(mainWindow, kTrayRetryMs, [this] { RetryTimerTick(); }) {}

TTrayManager::~TTrayManager() { Teardown(); }

void TTrayManager::Setup() {
    m_pageNumber = 0;
    std::optional<std::string> iconProblem;
    try {
        m_connectIcon = win32::loadIconFile(win32::executableFolder() + kConnectIconFile);
    } catch (const std::exception& e) {
        iconProblem = e.what();
    }
    m_trayIcon = std::make_unique<TsTrayIconW>(m_mainWindow, kTrayIconId, kTrayCallbackMessage);
    m_trayIcon->setHint(kTrayHint);
    m_trayIcon->setBalloonTitle(L"");
    m_trayIcon->setBalloonText(L"");
    m_trayIcon->setBalloonIcon(TBalloonIconKind::biUser);
    m_trayIcon->setVisible(true);
    m_trayIcon->OnMouseUp = [this](TMouseButton button, POINT) { onMouseUp(button); };
    m_trayIcon->OnBalloon = [this](UINT code) { onBalloon(code); };
    m_trayIcon->OnShellRestart = [this] {
        if (!m_trayIcon->Visible()) restartRetry();
    };

    m_popupMenu.reset(::CreatePopupMenu());
    const wchar_t* const keys[] = {L"About", L"-", L"Exit"};
    for (UINT tag = 0; tag < std::size(keys); ++tag) {
        const std::wstring caption = NuTranslate(keys[tag]);
        if (caption == L"-")
            ::AppendMenuW(m_popupMenu.get(), MF_SEPARATOR, tag + 1, nullptr);
        else
            ::AppendMenuW(m_popupMenu.get(), MF_STRING, tag + 1, caption.c_str());
    }
    if (!m_trayIcon->Visible()) restartRetry();
    if (iconProblem) win32::showExceptionOnceRunning(win32::widen(*iconProblem));
}

void TTrayManager::Teardown() {
    m_retryTimer.setEnabled(false);
    m_popupMenu.reset();
    m_connectIcon.reset();
    m_trayIcon.reset();
}

void TTrayManager::restartRetry() {
    m_retryTimer.setEnabled(false);
    m_retryTimer.setEnabled(true);
}

void TTrayManager::RetryTimerTick() {
    m_retryTimer.setEnabled(false);
    m_trayIcon->setVisible(true);
    if (!m_trayIcon->Visible()) m_retryTimer.setEnabled(true);
}

void TTrayManager::onMouseUp(TMouseButton button) {
    if (g_menuUp || button != TMouseButton::mbRight || !m_popupMenu) return;
    g_menuUp = true;
    struct Lowered {
        ~Lowered() { g_menuUp = false; }
    } lowered;
    POINT at{};
    ::GetCursorPos(&at);
    onMenuPopup();
    // The menu closes on a click elsewhere only if its owner is in the foreground while it is up.
    ::SetForegroundWindow(m_mainWindow);
    UINT command = 0;
    {
        // A close that comes while the menu is up ends the menu, and waits until this call is over.
        const win32::ModalLoopScope loop;
        command = ::TrackPopupMenuEx(m_popupMenu.get(), TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, at.x,
                                     at.y, m_mainWindow, nullptr);
        ::PostMessageW(m_mainWindow, WM_NULL, 0, 0);
    }
    if (command != 0) onMenuClick(static_cast<TrayMenuTag>(command - 1));
}

void TTrayManager::onMenuPopup() {
    if (::IsIconic(m_mainWindow)) ::SetForegroundWindow(m_mainWindow);
}

void TTrayManager::onMenuClick(TrayMenuTag tag) {
    switch (tag) {
        case TrayMenuTag::About:
            if (m_showAbout) m_showAbout();
            break;
        case TrayMenuTag::Exit:
            // Posted: this runs inside the tray icon's own mouse-up, which must not be destroyed under it.
            ::PostMessageW(m_mainWindow, WM_CLOSE, 0, 0);
            break;
        case TrayMenuTag::Separator:
            break;
    }
}

void TTrayManager::onBalloon(UINT code) {
    if (code != kBalloonUserClick) return;
    const std::wstring program = win32::executableFolder() + kSuiteProgram;
    const std::wstring parameters = L"-OPEN" + std::to_wstring(m_pageNumber);
    SHELLEXECUTEINFOW start{};
    start.cbSize = sizeof start;
    // No box of the shell's when the suite cannot be started: a modal loop that is not ours, which
    // a close could not end. The debugger output says why.
    start.fMask = SEE_MASK_FLAG_NO_UI;
    start.lpVerb = L"open";
    start.lpFile = program.c_str();
    start.lpParameters = parameters.c_str();
    start.nShow = SW_SHOWNORMAL;
    if (::ShellExecuteExW(&start)) return;
    win32::queueDebugOutput(L"Cannot start " + program + L" (error " + std::to_wstring(::GetLastError()) +
                            L")");
    win32::writeQueuedDebugOutput();
}

}  // namespace kelvane
