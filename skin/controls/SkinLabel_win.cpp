#include "skin/controls/SkinLabel.h"

#include <string>

#include "win32/Text.h"

namespace skin {

namespace {
constexpr UINT kLabelFormat = DT_LEFT | DT_EXPANDTABS | DT_NOPREFIX | DT_SINGLELINE;
}  // namespace

SkinLabel::SkinLabel(SkinForm& form) : m_form(form) {
    create(kClassName, L"", WS_CHILD, 0, {0, 0, 100, 16}, form.hwnd());
}

SkinLabel::~SkinLabel() { destroy(); }

void SkinLabel::setText(std::wstring_view text) {
    ::SetWindowTextW(hwnd(), std::wstring(text).c_str());
    fitToText();
}

void SkinLabel::setFont(const Font& font) {
    m_font = font;
    fitToText();
}

void SkinLabel::setPosition(int left, int top) {
    ::SetWindowPos(hwnd(), nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void SkinLabel::fitToText() {
    Bitmap scratch(1, 1, PixelFormat::Bits24);
    scratch.canvas().setFont(m_font);
    RECT extent{0, 0, 0, 0};
    scratch.canvas().DrawText(std::wstring_view(win32::windowText(hwnd())), extent,
                              kLabelFormat | DT_CALCRECT);
    ::SetWindowPos(hwnd(), nullptr, 0, 0, extent.right, extent.bottom,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    ::InvalidateRect(hwnd(), nullptr, FALSE);
}

LRESULT SkinLabel::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_ERASEBKGND:
            return 1;  // the paint covers the whole label
        case WM_NCHITTEST:
            return HTTRANSPARENT;  // clicks go to the form, as through a windowless label
        case WM_PAINT: {
            RECT client, frame;
            ::GetClientRect(hwnd(), &client);
            ::GetWindowRect(hwnd(), &frame);
            ::MapWindowPoints(nullptr, m_form.hwnd(), reinterpret_cast<POINT*>(&frame), 2);
            // Composed off screen: what lies beneath, then the text, then one copy to the window.
            Bitmap buffer(client.right, client.bottom, PixelFormat::Bits24);
            buffer.canvas().setBrushColor(m_form.color());
            buffer.canvas().FillRect(client);
            m_form.paintGraphics(buffer.canvas(), {frame.left, frame.top});
            buffer.canvas().setFont(m_font);
            RECT text = client;
            buffer.canvas().DrawText(std::wstring_view(win32::windowText(hwnd())), text, kLabelFormat);
            PAINTSTRUCT ps;
            HDC dc = ::BeginPaint(hwnd(), &ps);
            Canvas target(dc);
            target.CopyRect(client, buffer.canvas(), client);
            ::EndPaint(hwnd(), &ps);
            return 0;
        }
        default:
            return Window::handleMessage(message, wParam, lParam);
    }
}

}  // namespace skin
