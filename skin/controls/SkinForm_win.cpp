#include "skin/controls/SkinForm.h"

#include <algorithm>

namespace skin {

GraphicControl::GraphicControl(SkinForm& form) : m_form(form) { form.m_graphics.push_back(this); }

GraphicControl::~GraphicControl() { std::erase(m_form.m_graphics, this); }

void GraphicControl::setBounds(int left, int top, int width, int height) {
    invalidate();
    m_bounds = {left, top, left + width, top + height};
    invalidate();
}

void GraphicControl::invalidate() {
    if (m_form.hwnd()) ::InvalidateRect(m_form.hwnd(), &m_bounds, FALSE);
}

SkinForm::~SkinForm() { freeComponents(); }

void SkinForm::freeComponents() noexcept {
    while (!m_components.empty()) m_components.pop_back();
}

void SkinForm::paintGraphics(Canvas& canvas, POINT origin) {
    POINT saved;
    for (GraphicControl* control : m_graphics) {
        const RECT& b = control->bounds();
        if (b.right <= b.left || b.bottom <= b.top) continue;
        ::SetViewportOrgEx(canvas.dc(), b.left - origin.x, b.top - origin.y, &saved);
        control->paint(canvas);
        ::SetViewportOrgEx(canvas.dc(), saved.x, saved.y, nullptr);
    }
}

void SkinForm::setClientSize(int width, int height) {
    RECT frame{0, 0, width, height};
    ::AdjustWindowRectEx(&frame, static_cast<DWORD>(::GetWindowLongPtrW(hwnd(), GWL_STYLE)), FALSE,
                         static_cast<DWORD>(::GetWindowLongPtrW(hwnd(), GWL_EXSTYLE)));
    ::SetWindowPos(hwnd(), nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void SkinForm::centerOnScreenOf(const RECT& place) {
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (!::GetMonitorInfoW(::MonitorFromRect(&place, MONITOR_DEFAULTTONEAREST), &monitor))
        monitor.rcMonitor = {0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    const RECT& screen = monitor.rcMonitor;
    RECT r;
    ::GetWindowRect(hwnd(), &r);
    const int x = screen.left + (screen.right - screen.left - (r.right - r.left)) / 2;
    const int y = screen.top + (screen.bottom - screen.top - (r.bottom - r.top)) / 2;
    ::SetWindowPos(hwnd(), nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void SkinForm::close() { ::ShowWindow(hwnd(), SW_HIDE); }

void SkinForm::show() {
    m_lastFocus = nullptr;
    ::ShowWindow(hwnd(), SW_SHOW);
    ::SetForegroundWindow(hwnd());
}

LRESULT SkinForm::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_ERASEBKGND: {
            RECT client;
            ::GetClientRect(hwnd(), &client);
            Canvas canvas(reinterpret_cast<HDC>(wParam));
            canvas.setBrushColor(m_color);
            canvas.FillRect(client);
            return 1;
        }
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = ::BeginPaint(hwnd(), &ps);
            Canvas canvas(dc);
            paintGraphics(canvas, {0, 0});
            ::EndPaint(hwnd(), &ps);
            return 0;
        }
        case WM_SHOWWINDOW:
            // A form that hides takes its controls from under the pointer: none stays hovered.
            if (!wParam)
                for (HWND child = ::GetWindow(hwnd(), GW_CHILD); child;
                     child = ::GetWindow(child, GW_HWNDNEXT))
                    ::SendMessageW(child, WM_MOUSELEAVE, 0, 0);
            return Window::handleMessage(message, wParam, lParam);
        case WM_CLOSE:
            close();
            return 0;
        case WM_COMMAND:
            // Enter and Esc in the form's keyboard handling (Enter only where no control takes it):
            // a secondary form closes as with its button.
            if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) close();
            return 0;
        case WM_ACTIVATE:
            // Focus goes back to where it was when the form was last left, or to the form itself.
            if (LOWORD(wParam) == WA_INACTIVE) {
                HWND focus = ::GetFocus();
                m_lastFocus = focus && ::IsChild(hwnd(), focus) ? focus : nullptr;
            } else {
                ::SetFocus(m_lastFocus && ::IsWindow(m_lastFocus) ? m_lastFocus : hwnd());
            }
            return 0;
        default:
            return Window::handleMessage(message, wParam, lParam);
    }
}

}  // namespace skin
