// The skinned controls on a real form under the platform: messages as the system sends them, faces
// and pixels as they reach the screen.

#include <gtest/gtest.h>

#include <vector>

#include "skin/controls/GsButton.h"
#include "skin/controls/GsImage.h"

namespace skin {
namespace {

constexpr COLORREF kRaised = RGB(10, 20, 30), kSunken = RGB(40, 50, 60), kHovered = RGB(70, 80, 90);

class TestForm final : public SkinForm {
  public:
    TestForm() {
        create(L"SkinTestForm", L"", WS_POPUP | WS_CLIPCHILDREN, WS_EX_CONTROLPARENT, {0, 0, 300, 200});
        ::ShowWindow(hwnd(), SW_SHOWNOACTIVATE);
    }
    ~TestForm() override {
        freeComponents();
        destroy();
    }
};

// A button that keeps the face state of every paint.
class WatchedButton final : public GsButton {
  public:
    using GsButton::GsButton;
    void PaintState(Canvas& canvas) override {
        GsButton::PaintState(canvas);
        painted.push_back(lastPaintedState());
    }
    std::vector<int> painted;
};

// A 32-bit face of one colour with a transparent top left pixel.
void fillFace(Bitmap& face, COLORREF color, int width = 40, int height = 20) {
    face.SetSize(width, height);
    face.convertTo(PixelFormat::Bits32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            std::uint8_t* p = face.row(y) + x * 4;
            const bool corner = x == 0 && y == 0;
            p[0] = corner ? 0 : GetBValue(color);
            p[1] = corner ? 0 : GetGValue(color);
            p[2] = corner ? 0 : GetRValue(color);
            p[3] = corner ? 0 : 255;
        }
    face.Changed();
}

COLORREF pixelOf(HWND window, int x, int y) {
    ::UpdateWindow(window);
    HDC dc = ::GetDC(window);
    const COLORREF color = ::GetPixel(dc, x, y);
    ::ReleaseDC(window, dc);
    return color;
}

LPARAM at(int x, int y) { return MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y)); }

struct ButtonOnForm : ::testing::Test {
    void SetUp() override {
        background.SetSize(300, 200);  // blue rises with x, green with y
        for (int y = 0; y < 200; ++y)
            for (int x = 0; x < 300; ++x) {
                std::uint8_t* p = background.row(y) + x * 3;
                p[0] = static_cast<std::uint8_t>(x % 256), p[1] = static_cast<std::uint8_t>(y), p[2] = 100;
            }
        button.setBounds(20, 30, GsButton::kDefaultWidth, GsButton::kDefaultHeight);
        fillFace(button.Appearance().Raised(), kRaised);
        fillFace(button.Appearance().Sunken(), kSunken);
        fillFace(button.Appearance().Hovered(), kHovered);
        button.setInputBkgnd(&background);
        button.OnMouseEnter = [&] { ++enters; };
        button.OnMouseLeave = [&] { ++leaves; };
        button.OnClick = [&] { ++clicks; };
        ::ShowWindow(button.hwnd(), SW_SHOWNA);
        ::UpdateWindow(button.hwnd());
        button.painted.clear();
    }
    std::vector<int> paintsOf(UINT message, LPARAM lParam, WPARAM wParam = 0) {
        button.painted.clear();
        ::SendMessageW(button.hwnd(), message, wParam, lParam);
        return button.painted;
    }

    Bitmap background;
    TestForm form;
    WatchedButton& button = form.own(std::make_unique<WatchedButton>(form));
    int enters = 0, leaves = 0, clicks = 0;
};

using Paints = std::vector<int>;

TEST_F(ButtonOnForm, PointerAndPressPaintEachChangeOnceOverTheFormsBackground) {
    RECT r;
    ::GetWindowRect(button.hwnd(), &r);
    EXPECT_EQ(r.right - r.left, 40) << "sized to the Raised face";
    EXPECT_EQ(pixelOf(button.hwnd(), 5, 5), kRaised);
    EXPECT_EQ(pixelOf(button.hwnd(), 0, 0), RGB(100, 30, 20)) << "the background at (20, 30) shows through";

    EXPECT_EQ(paintsOf(WM_MOUSEMOVE, at(5, 5)), Paints{2});
    EXPECT_EQ(pixelOf(button.hwnd(), 5, 5), kHovered);
    EXPECT_EQ(paintsOf(WM_MOUSEMOVE, at(6, 6)), Paints{}) << "moving within paints nothing";
    EXPECT_EQ(enters, 1);

    EXPECT_EQ(paintsOf(WM_LBUTTONDOWN, at(6, 6), MK_LBUTTON), Paints{1});
    EXPECT_EQ(::GetCapture(), button.hwnd());
    EXPECT_EQ(pixelOf(button.hwnd(), 5, 5), kSunken);
    EXPECT_EQ(paintsOf(WM_MOUSEMOVE, at(-3, 6), MK_LBUTTON), Paints{0})
        << "dragged out: raised though pressed";
    EXPECT_EQ(leaves, 0) << "only the tracking's notice raises OnMouseLeave";
    EXPECT_EQ(paintsOf(WM_MOUSEMOVE, at(6, 6), MK_LBUTTON), Paints{1});
    EXPECT_EQ(enters, 2);

    ::ReleaseCapture();  // another window took the mouse: the press is over, without a click
    button.painted.clear();
    ::UpdateWindow(button.hwnd());
    EXPECT_EQ(button.painted, Paints{2}) << "invalidated, painted with the next update";
    EXPECT_EQ(paintsOf(WM_LBUTTONUP, at(6, 6)), Paints{}) << "nothing left to release";
    EXPECT_EQ(clicks, 0);

    form.setModalResult(-1);
    button.setModalResult(7);
    paintsOf(WM_LBUTTONDOWN, at(6, 6), MK_LBUTTON);
    EXPECT_EQ(paintsOf(WM_LBUTTONUP, at(39, 19)), Paints{2});
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(form.modalResult(), 7);
    paintsOf(WM_LBUTTONDOWN, at(6, 6), MK_LBUTTON);
    paintsOf(WM_LBUTTONUP, at(40, 6));
    EXPECT_EQ(clicks, 1) << "released outside: no click";
    EXPECT_EQ(::GetCapture(), nullptr);

    EXPECT_EQ(paintsOf(WM_MOUSELEAVE, 0), Paints{0});
    EXPECT_EQ(leaves, 1);
}

TEST_F(ButtonOnForm, FocusWinsOverKeysAndPressesAndShowsTheHoveredFace) {
    ::SetActiveWindow(form.hwnd());
    ::SetFocus(button.hwnd());
    ASSERT_EQ(::GetFocus(), button.hwnd());
    EXPECT_EQ(button.UpdateState(), 4);
    EXPECT_EQ(pixelOf(button.hwnd(), 5, 5), kHovered) << "Focused falls back to Hovered";
    EXPECT_EQ(paintsOf(WM_KEYDOWN, VK_SPACE, VK_SPACE), Paints{2});
    EXPECT_EQ(button.UpdateState(), 4) << "focus beats the key";
    paintsOf(WM_MOUSEMOVE, at(5, 5));
    paintsOf(WM_LBUTTONDOWN, at(5, 5), MK_LBUTTON);
    EXPECT_EQ(button.UpdateState(), 5) << "focus beats the press";
    paintsOf(WM_LBUTTONUP, at(50, 5));
    EXPECT_EQ(paintsOf(WM_KEYUP, VK_SPACE, VK_SPACE), Paints{2});
    EXPECT_EQ(clicks, 1) << "Space released on the button clicks it";

    ::EnableWindow(button.hwnd(), FALSE);
    EXPECT_EQ(button.UpdateState(), 3);
    EXPECT_EQ(pixelOf(button.hwnd(), 5, 5), kRaised) << "no Disabled face: Raised";
}

TEST_F(ButtonOnForm, RaisedChangeResizesAndUnchangedSettingsDoNotRepaint) {
    Bitmap bigger;
    fillFace(bigger, kRaised, 52, 23);
    button.Appearance().setRaised(bigger);
    RECT r;
    ::GetWindowRect(button.hwnd(), &r);
    EXPECT_EQ(r.right - r.left, 52);
    EXPECT_EQ(r.bottom - r.top, 23);
    ::ValidateRect(button.hwnd(), nullptr);
    button.setWordWrap(false);
    button.setLayout(TextLayout::Center);
    EXPECT_FALSE(::GetUpdateRect(button.hwnd(), nullptr, FALSE));
    button.setWordWrap(true);
    EXPECT_TRUE(::GetUpdateRect(button.hwnd(), nullptr, FALSE));
}

// The rows of the button where the white caption shows.
std::pair<int, int> captionRows(HWND button, int height) {
    int first = -1, last = -1;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < 60; ++x)
            if (GetRValue(pixelOf(button, x, y)) > 128) {
                if (first < 0) first = y;
                last = y;
                break;
            }
    return {first, last};
}

TEST_F(ButtonOnForm, SingleLineCaptionStaysCentredWhateverTheLayoutAndWrappedTextFollowsIt) {
    Bitmap tall;
    fillFace(tall, RGB(0, 0, 0), 60, 90);
    button.Appearance().setRaised(tall);
    Font white = button.font();
    white.color = RGB(255, 255, 255);
    white.height = 16;
    button.setFont(white);
    button.setCaption(L"X");
    button.setLayout(TextLayout::Bottom);
    const auto [top, bottom] = captionRows(button.hwnd(), 90);
    ASSERT_GE(top, 0) << "no caption drawn";
    EXPECT_NEAR((top + bottom) / 2, 45, 4) << "single line, bottom layout: still centred";
    button.setWordWrap(true);
    EXPECT_GT(captionRows(button.hwnd(), 90).first, 70) << "wrapped, bottom layout: at the bottom";
    button.setLayout(TextLayout::Top);
    EXPECT_LT(captionRows(button.hwnd(), 90).second, 20) << "wrapped, top layout: at the top";
}

TEST(GsImageOnForm, StretchesA24BitPictureAndBlendsA32BitOneAtItsOwnSize) {
    TestForm form;
    form.setColor(RGB(0, 0, 200));
    GsImage& image = form.own(std::make_unique<GsImage>(form));
    image.setBounds(10, 10, 40, 40);
    image.setAlphaChannel(true);
    Bitmap red(10, 10, PixelFormat::Bits24);
    red.canvas().setBrushColor(RGB(255, 0, 0));
    red.canvas().FillRect({0, 0, 10, 10});
    image.setPicture(red);
    ::InvalidateRect(form.hwnd(), nullptr, TRUE);
    EXPECT_EQ(pixelOf(form.hwnd(), 45, 45), RGB(255, 0, 0)) << "24-bit: stretched over the whole image";

    Bitmap halfGreen;
    fillFace(halfGreen, RGB(0, 255, 0), 10, 10);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x) halfGreen.row(y)[x * 4 + 3] = 128;
    image.setPicture(halfGreen);
    ::InvalidateRect(form.hwnd(), nullptr, TRUE);
    EXPECT_EQ(pixelOf(form.hwnd(), 45, 45), RGB(0, 0, 200)) << "32-bit: not stretched";
    const COLORREF blended = pixelOf(form.hwnd(), 15, 15);
    EXPECT_NEAR(GetGValue(blended), 128, 2);
    EXPECT_NEAR(GetBValue(blended), 99, 2);
    image.setAutoSize(true);
    image.setPicture(red);
    EXPECT_EQ(image.width(), 10) << "auto-size follows the picture";
}

}  // namespace
}  // namespace skin
