#pragma once
// A window object behind a registered class: every message from WM_NCCREATE on reaches handleMessage
// of the object that made it, timer ticks included. An exception that a handler lets out is shown by
// the application's exception display and ends only that handler.

#include <windows.h>

#include <functional>
#include <string>

#include "win32/Handles.h"

namespace win32 {

struct WindowPlacement {
    int x = CW_USEDEFAULT;
    int y = CW_USEDEFAULT;
    int width = CW_USEDEFAULT;
    int height = CW_USEDEFAULT;
};

class Window {
  public:
    Window() = default;
    virtual ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    HWND hwnd() const noexcept { return m_window.get(); }

  protected:
    // Registers className once per process (arrow cursor, button-face background) and creates the window.
    void create(const wchar_t* className, const wchar_t* title, DWORD style, DWORD exStyle,
                const WindowPlacement& place, HWND parent = nullptr);
    // Detaches the object and destroys the window. A derived class calls it from its destructor, so
    // that no message reaches it once its members start to go.
    void destroy() noexcept;
    // The default handling: the ticks of the window's timers, everything else to DefWindowProc. What
    // it throws is reported (showException) and the message answered 0.
    virtual LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam);

  private:
    static void registerClassOnce(const wchar_t* className);
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    UniqueWindow m_window;
};

// A window timer: disabled until enabled. Its ticks come as WM_TIMER to the owner window, whose
// handleMessage runs them (through Window::handleMessage), inside whatever it wraps around them.
class Timer {
  public:
    Timer(HWND owner, UINT intervalMs, std::function<void()> onTick);
    ~Timer();
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;

    void setEnabled(bool enabled);
    bool enabled() const noexcept { return m_enabled; }
    // The interval from the next time it is enabled.
    void setInterval(UINT intervalMs) noexcept { m_interval = intervalMs; }
    UINT interval() const noexcept { return m_interval; }

    // Runs the tick of the owner's timer with this WM_TIMER id; false when no live timer has it.
    static bool tick(HWND owner, WPARAM id);

  private:
    HWND m_owner;
    UINT m_interval;
    std::function<void()> m_onTick;
    bool m_enabled = false;
};

}  // namespace win32
