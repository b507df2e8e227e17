#pragma once
// A window object behind a registered class: messages reach handleMessage of the object that made it.

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
    virtual LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam);

private:
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    UniqueWindow m_window;
};

// A window timer: disabled until enabled; ticks come through the owner's message loop.
class Timer {
public:
    Timer(HWND owner, UINT intervalMs, std::function<void()> onTick);
    ~Timer();
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;

    void setEnabled(bool enabled);
    bool enabled() const noexcept { return m_enabled; }
    UINT interval() const noexcept { return m_interval; }

private:
    static void CALLBACK tick(HWND, UINT, UINT_PTR id, DWORD);
    HWND m_owner;
    UINT m_interval;
    std::function<void()> m_onTick;
    bool m_enabled = false;
};

}  // namespace win32
