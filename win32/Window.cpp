#include "win32/Window.h"

#include <set>
#include <stdexcept>

#include "win32/Text.h"

namespace win32 {

namespace {

void registerClassOnce(const wchar_t* className) {
    static std::set<std::wstring> registered;
    if (registered.contains(className)) return;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = ::DefWindowProcW;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = className;
    if (!::RegisterClassExW(&wc)) throw std::runtime_error("RegisterClassEx failed for " + narrow(className));
    registered.insert(className);
}

}  // namespace

Window::~Window() {
    if (HWND w = m_window.get()) ::SetWindowLongPtrW(w, GWLP_USERDATA, 0);
}

void Window::create(const wchar_t* className, const wchar_t* title, DWORD style, DWORD exStyle,
                    const WindowPlacement& place, HWND parent) {
    registerClassOnce(className);
    HWND w = ::CreateWindowExW(exStyle, className, title, style, place.x, place.y, place.width, place.height,
                               parent, nullptr, ::GetModuleHandleW(nullptr), nullptr);
    if (!w) {
        throw std::runtime_error("CreateWindowEx failed for " + narrow(className) + " (error " +
                                 std::to_string(::GetLastError()) + ")");
    }
    m_window.reset(w);
    ::SetWindowLongPtrW(w, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    ::SetWindowLongPtrW(w, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Window::windowProc));
}

LRESULT Window::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return ::DefWindowProcW(hwnd(), message, wParam, lParam);
}

LRESULT CALLBACK Window::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<Window*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self) return ::DefWindowProcW(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        (void)self->m_window.release();
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
    return self->handleMessage(message, wParam, lParam);
}

Timer::Timer(HWND owner, UINT intervalMs, std::function<void()> onTick)
    : m_owner(owner), m_interval(intervalMs), m_onTick(std::move(onTick)) {}

Timer::~Timer() { setEnabled(false); }

void Timer::setEnabled(bool enabled) {
    if (enabled == m_enabled) return;
    const auto id = reinterpret_cast<UINT_PTR>(this);
    if (enabled) {
        if (!::SetTimer(m_owner, id, m_interval, &Timer::tick)) return;
    } else {
        ::KillTimer(m_owner, id);
    }
    m_enabled = enabled;
}

void CALLBACK Timer::tick(HWND, UINT, UINT_PTR id, DWORD) {
    auto* self = reinterpret_cast<Timer*>(id);
    if (self->m_enabled) self->m_onTick();
}

}  // namespace win32
