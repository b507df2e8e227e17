#include "win32/Window.h"

#include <set>
#include <stdexcept>

#include "win32/Application.h"
#include "win32/ModalLoop.h"
#include "win32/Text.h"

namespace win32 {

namespace {

// The timers alive on the user-interface thread: a WM_TIMER id is run only if it is one of them.
std::set<const Timer*>& liveTimers() {
    static std::set<const Timer*> timers;
    return timers;
}

}  // namespace

void Window::registerClassOnce(const wchar_t* className) {
    static std::set<std::wstring> registered;
    if (registered.contains(className)) return;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &Window::windowProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = className;
    if (!::RegisterClassExW(&wc)) throw std::runtime_error("RegisterClassEx failed for " + narrow(className));
    registered.insert(className);
}

Window::~Window() { destroy(); }

void Window::destroy() noexcept {
    if (HWND w = m_window.get()) ::SetWindowLongPtrW(w, GWLP_USERDATA, 0);
    m_window.reset();
}

void Window::create(const wchar_t* className, const wchar_t* title, DWORD style, DWORD exStyle,
                    const WindowPlacement& place, HWND parent) {
    registerClassOnce(className);
    // The object is attached at WM_NCCREATE (windowProc), before any other message of the window.
    HWND w = ::CreateWindowExW(exStyle, className, title, style, place.x, place.y, place.width, place.height,
                               parent, nullptr, ::GetModuleHandleW(nullptr), this);
    if (!w) {
        throw std::runtime_error("CreateWindowEx failed for " + narrow(className) + " (error " +
                                 std::to_string(::GetLastError()) + ")");
    }
}

LRESULT Window::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_TIMER && Timer::tick(hwnd(), wParam)) return 0;
    return ::DefWindowProcW(hwnd(), message, wParam, lParam);
}

LRESULT CALLBACK Window::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* created = static_cast<Window*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        created->m_window.reset(window);
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(created));
    }
    auto* self = reinterpret_cast<Window*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self) return ::DefWindowProcW(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        (void)self->m_window.release();
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
    if (assertionHasFailed()) {
        // The program is ending: the report's own loop still hands out the messages, and none may
        // act any more (the remote side then times out as with a server that has ended). A close
        // answers the report, after which the process ends.
        if (message == WM_CLOSE) {
            closeAfterModalLoops(window);
            return 0;
        }
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
    try {
        return self->handleMessage(message, wParam, lParam);
    } catch (const std::exception& e) {
        // Through user32 it would end the process at once, without the clean-up of its windows and
        // its icon: reported here, it ends only the handler. A paint that failed is not asked for
        // again (and reported again) while the report is up.
        if (message == WM_PAINT) ::ValidateRect(window, nullptr);
        reportException(e);
        return 0;
    }
}

Timer::Timer(HWND owner, UINT intervalMs, std::function<void()> onTick)
    : m_owner(owner), m_interval(intervalMs), m_onTick(std::move(onTick)) {
    liveTimers().insert(this);
}

Timer::~Timer() {
    setEnabled(false);
    liveTimers().erase(this);
}

void Timer::setEnabled(bool enabled) {
    if (enabled == m_enabled) return;
    const auto id = reinterpret_cast<UINT_PTR>(this);
    if (enabled) {
        if (!::SetTimer(m_owner, id, m_interval, nullptr)) return;
    } else {
        ::KillTimer(m_owner, id);
    }
    m_enabled = enabled;
}

bool Timer::tick(HWND owner, WPARAM id) {
    const auto* timer = reinterpret_cast<const Timer*>(id);
    if (!liveTimers().contains(timer) || timer->m_owner != owner) return false;
    if (timer->m_enabled) timer->m_onTick();
    return true;
}

}  // namespace win32
