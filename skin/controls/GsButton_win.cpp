#include "skin/controls/GsButton.h"

#include <windowsx.h>

#include "win32/Text.h"

namespace skin {

namespace {

bool isButtonKey(WPARAM key) { return key == VK_SPACE || key == VK_RETURN; }

}  // namespace

// --- GsCustomControl ---

GsCustomControl::GsCustomControl(SkinForm& form, DWORD extraStyle) : m_form(form) {
    create(kClassName, L"", WS_CHILD | WS_TABSTOP | WS_CLIPSIBLINGS | extraStyle, 0,
           {0, 0, GsButton::kDefaultWidth, GsButton::kDefaultHeight}, form.hwnd());
}

GsCustomControl::~GsCustomControl() { destroy(); }

void GsCustomControl::setInputBkgnd(const Bitmap* background) {
    if (background == m_inputBkgnd) return;
    m_inputBkgnd = background;
    repaintNow();
}

void GsCustomControl::setFont(const Font& font) {
    m_font = font;
    ::InvalidateRect(hwnd(), nullptr, FALSE);
}

std::wstring GsCustomControl::Caption() const { return win32::windowText(hwnd()); }

void GsCustomControl::setCaption(std::wstring_view caption) {
    ::SetWindowTextW(hwnd(), std::wstring(caption).c_str());
}

RECT GsCustomControl::boundsInForm() const {
    RECT r;
    ::GetWindowRect(hwnd(), &r);
    ::MapWindowPoints(nullptr, m_form.hwnd(), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

void GsCustomControl::setBounds(int left, int top, int width, int height) {
    ::SetWindowPos(hwnd(), nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

bool GsCustomControl::IsInside(int x, int y) const {
    RECT client;
    ::GetClientRect(hwnd(), &client);
    return x >= 0 && x < client.right && y >= 0 && y < client.bottom;
}

void GsCustomControl::repaintNow() {
    ::RedrawWindow(hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
}

void GsCustomControl::armTracking() {
    TRACKMOUSEEVENT tracking{sizeof tracking, TME_LEAVE | (m_repeated ? TME_HOVER : 0u), hwnd(),
                             HOVER_DEFAULT};
    ::TrackMouseEvent(&tracking);
}

void GsCustomControl::react(const InputReaction& reaction) {
    if (reaction.armTracking) armTracking();
    if (reaction.paint) repaintNow();
    if (reaction.raiseEnter && OnMouseEnter) OnMouseEnter();
    if (reaction.raiseLeave && OnMouseLeave) OnMouseLeave();
}

void GsCustomControl::mouseDown(MouseButton button) {
    react(m_input.mouseDown(button));
    if (button == MouseButton::Left) ::SetCapture(hwnd());
}

LRESULT GsCustomControl::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    const int x = GET_X_LPARAM(lParam), y = GET_Y_LPARAM(lParam);
    switch (message) {
        case WM_ERASEBKGND:
            return 1;  // the paint covers the whole control
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = ::BeginPaint(hwnd(), &ps);
            {
                Canvas canvas(dc);
                paint(canvas);
            }
            ::EndPaint(hwnd(), &ps);
            return 0;
        }
        case WM_LBUTTONDOWN:
            mouseDown(MouseButton::Left);
            return 0;
        case WM_RBUTTONDOWN:
            mouseDown(MouseButton::Right);
            return 0;
        case WM_MBUTTONDOWN:
            mouseDown(MouseButton::Middle);
            return 0;
        case WM_LBUTTONUP: {
            const bool pressed = m_input.mousePressed();
            react(m_input.mouseUp(MouseButton::Left));
            if (::GetCapture() == hwnd()) ::ReleaseCapture();
            if (pressed && IsInside(x, y)) click();
            return 0;
        }
        case WM_MOUSEMOVE:
            react(m_input.mouseMove(IsInside(x, y)));
            return 0;
        case WM_MOUSELEAVE:
            react(m_input.mouseLeave());
            return 0;
        case WM_MOUSEHOVER: {
            // Only with Repeated: a button held over the control presses again once per hover time.
            MouseButton held;
            if (heldButton(static_cast<std::uint32_t>(wParam), held)) mouseDown(held);
            armTracking();
            return 0;
        }
        case WM_KEYDOWN:
            react(m_input.keyDown(static_cast<unsigned>(wParam)));
            return 0;
        case WM_KEYUP: {
            const bool pressed = m_input.keyPressed();
            react(m_input.keyUp(static_cast<unsigned>(wParam)));
            if (pressed && !m_input.keyPressed()) click();
            return 0;
        }
        case WM_GETDLGCODE: {
            // Space and Enter are the button's own, not the form's; Tab and Esc stay the form's.
            const auto* msg = reinterpret_cast<const MSG*>(lParam);
            const bool buttonKey =
                msg && (msg->message == WM_KEYDOWN || msg->message == WM_KEYUP || msg->message == WM_CHAR) &&
                isButtonKey(msg->wParam);
            return DLGC_BUTTON | (buttonKey ? DLGC_WANTMESSAGE : 0);
        }
        case WM_SETFOCUS:
        case WM_KILLFOCUS:
            repaintNow();
            break;
        case WM_CAPTURECHANGED:
            m_input.captureLost();
            ::InvalidateRect(hwnd(), nullptr, FALSE);
            break;
        case WM_ENABLE:
        case WM_SETTEXT: {
            const LRESULT result = Window::handleMessage(message, wParam, lParam);
            ::InvalidateRect(hwnd(), nullptr, FALSE);
            return result;
        }
        default:
            break;
    }
    return Window::handleMessage(message, wParam, lParam);
}

// --- GsCustomButton ---

GsCustomButton::GsCustomButton(SkinForm& form) : GsCustomControl(form, 0) {}

void GsCustomButton::setWordWrap(bool on) {
    if (on == m_wordWrap) return;
    m_wordWrap = on;
    ::InvalidateRect(hwnd(), nullptr, FALSE);
}

void GsCustomButton::setAlignment(TextAlignment alignment) {
    if (alignment == m_alignment) return;
    m_alignment = alignment;
    ::InvalidateRect(hwnd(), nullptr, FALSE);
}

void GsCustomButton::setLayout(TextLayout layout) {
    if (layout == m_layout) return;
    m_layout = layout;
    ::InvalidateRect(hwnd(), nullptr, FALSE);
}

void GsCustomButton::DrawCaption(Bitmap& bitmap, int state) {
    RECT rect;
    ::GetClientRect(hwnd(), &rect);
    rect.left += m_textMargins.Left();
    rect.top += m_textMargins.Top();
    rect.right -= m_textMargins.Right();
    rect.bottom -= m_textMargins.Bottom();
    const UINT format = captionFormat(m_alignment, m_layout, m_wordWrap);
    Font font = this->font();
    if (!enabled()) font.color = ::GetSysColor(COLOR_GRAYTEXT);
    bitmap.canvas().setFont(font);
    TextPainter& painter = GetTextPainter(state);
    const std::wstring caption = Caption();
    if (m_wordWrap && m_layout != TextLayout::Top) {
        RECT measured = rect;
        painter.MeasureText(bitmap.canvas(), std::wstring_view(caption), measured, format);
        rect.top +=
            wrappedCaptionShift(m_layout, m_wordWrap, measured.bottom - measured.top, rect.bottom - rect.top);
    }
    painter.DrawOnBitmap(bitmap, std::wstring_view(caption), rect, format, false);
}

void GsCustomButton::ComposeAndPaint(Bitmap& bitmap, int state, Canvas& canvas) {
    if (bitmap.format() == PixelFormat::Bits32 && InputBkgnd()) {
        const RECT place = boundsInForm();
        Bitmap composed(place.right - place.left, place.bottom - place.top, PixelFormat::Bits24);
        CopyLayerToCanvas(composed.canvas(), {0, 0, bitmap.width(), bitmap.height()}, *InputBkgnd(),
                          {place.left, place.top});
        BlendLayerWhole(composed, bitmap, 255);
        bitmap.Assign(composed);
    }
    if (!Caption().empty()) DrawCaption(bitmap, state);
    const RECT whole{0, 0, bitmap.width(), bitmap.height()};
    canvas.CopyRect(whole, bitmap.canvas(), whole);
}

// --- GsButton ---

GsButton::GsButton(SkinForm& form)
    : GsCustomButton(form), m_appearance([this](GsPersistent&, int state) { appearanceChanged(state); }) {}

GsButton::~GsButton() { destroy(); }

void GsButton::setFont(const Font& font) {
    GsCustomControl::setFont(font);
    m_textEffect.Raised().setFont(font);
}

int GsButton::UpdateState() {
    m_state = buttonFaceState(enabled(), focused(), input());
    return m_state;
}

void GsButton::PaintState(Canvas& canvas) {
    const int state = UpdateState();
    const auto [image, resolved] = m_appearance.ImageFor(state);
    Bitmap face;
    if (image->empty()) {
        // No face to show (its file was missing): a plain one, so the button stays usable.
        RECT client;
        ::GetClientRect(hwnd(), &client);
        face.SetSize(client.right, client.bottom);
        face.canvas().setBrushColor(::GetSysColor(COLOR_BTNSHADOW));
        face.canvas().FillRect(client);
    } else {
        face.Assign(*image);
    }
    ComposeAndPaint(face, resolved, canvas);
    m_lastPaintedState = resolved;
}

void GsButton::GetImageSize(int& width, int& height) {
    width = m_appearance.Raised().width();
    height = m_appearance.Raised().height();
}

TextPainter& GsButton::GetTextPainter(int state) { return m_textEffect.PainterFor(state); }

void GsButton::click() {
    m_form.setModalResult(m_modalResult);
    if (OnClick) OnClick();
}

void GsButton::appearanceChanged(int state) {
    if (state == ControlState::Raised) {
        int width = 0, height = 0;
        GetImageSize(width, height);
        const RECT place = boundsInForm();
        if (width > 0 && height > 0 &&
            (width != place.right - place.left || height != place.bottom - place.top))
            setBounds(place.left, place.top, width, height);
    }
    if (state == m_lastPaintedState) ::InvalidateRect(hwnd(), nullptr, FALSE);
}

}  // namespace skin
