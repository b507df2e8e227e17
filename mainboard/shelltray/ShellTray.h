#pragma once
// The board's notification area: a window of the shell tray's class ("Shell_TrayWnd"), made after
// wine's own and so found first by Shell_NotifyIconW in every process of the prefix. It keeps every
// icon message it receives, holds the icons it accepted, and refuses adds when told to, as a shell
// that is not ready would.

#include <windows.h>

#include <cstdint>
#include <future>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace simboard {

struct TrayMessage {
    std::uint32_t message;  // NIM_ADD, NIM_MODIFY, NIM_DELETE...
    std::uint32_t processId;
    std::uint32_t window;  // the icon's window (hWnd as a 32-bit word) and id
    std::uint32_t id;
    std::uint32_t flags;
    std::uint32_t callbackMessage;
    std::u16string tip;
    std::u16string balloonText;
    std::u16string balloonTitle;
    std::uint32_t balloonFlags;
    std::uint64_t timeUs;  // on the board's clock
    bool accepted;
};

class ShellTray {
  public:
    // Ready to answer when constructed; gone, with its window and thread, when destroyed.
    ShellTray();
    ~ShellTray();
    ShellTray(const ShellTray&) = delete;
    ShellTray& operator=(const ShellTray&) = delete;

    // The next count adds are refused (answered FALSE), whoever sends them.
    void refuseAdds(int count);
    // The shell restarts: it forgets every icon it held (programs hear "TaskbarCreated" from the caller).
    void forgetIcons();

    std::vector<TrayMessage> messages() const;
    bool holds(std::uint32_t window, std::uint32_t id) const;

  private:
    void run(std::promise<bool>& ready);
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT receive(HWND sender, const COPYDATASTRUCT& data);

    mutable std::mutex m_lock;
    std::vector<TrayMessage> m_messages;
    std::set<std::pair<std::uint32_t, std::uint32_t>> m_icons;  // window, id
    int m_refusals = 0;
    HWND m_window = nullptr;
    std::thread m_thread;
};

}  // namespace simboard
