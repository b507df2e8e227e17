#include "skin/paint/TextPainter.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>

namespace skin {
namespace {

using Bgra = std::array<std::uint8_t, 4>;

Bgra pixel(const Image& image, int x, int y) {
    Bgra p{0, 0, 0, 0};
    std::copy_n(image.row(y) + x * bytesPerPixel(image.format()), bytesPerPixel(image.format()), p.begin());
    return p;
}

// The smallest rectangle holding every pixel for which the test holds (empty when none does).
template <typename Test>
RECT extentOf(const Image& image, Test test) {
    RECT extent{image.width(), image.height(), 0, 0};
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (test(pixel(image, x, y))) {
                extent.left = std::min<LONG>(extent.left, x);
                extent.top = std::min<LONG>(extent.top, y);
                extent.right = std::max<LONG>(extent.right, x + 1);
                extent.bottom = std::max<LONG>(extent.bottom, y + 1);
            }
    return extent;
}

Font captionFont(COLORREF color) {
    Font font = Font::platformDefault();
    font.name = L"Tahoma";
    font.height = -24;
    font.bold = true;
    font.color = color;
    return font;
}

TEST(SkinBitmap, RowsAreTopDownGdiPixelsAndChangesAreAnnounced) {
    Bitmap bitmap(4, 3, PixelFormat::Bits32);
    int changes = 0;
    bitmap.setOnChange([&] { ++changes; });
    bitmap.canvas().setBrushColor(RGB(10, 20, 30));
    bitmap.canvas().FillRect({1, 2, 2, 3});
    EXPECT_EQ(pixel(bitmap, 1, 2)[0], 30);  // blue first
    EXPECT_EQ(pixel(bitmap, 1, 2)[2], 10);
    EXPECT_EQ(pixel(bitmap, 0, 0)[2], 0);

    bitmap.convertTo(PixelFormat::Bits24);
    EXPECT_EQ(pixel(bitmap, 1, 2), (Bgra{30, 20, 10, 0}));
    Bitmap copy;
    EXPECT_TRUE(copy.empty());
    copy.Assign(bitmap);
    EXPECT_EQ(copy.format(), PixelFormat::Bits24);
    EXPECT_EQ(pixel(copy, 1, 2), (Bgra{30, 20, 10, 0}));
    bitmap.SetSize(0, 0);
    EXPECT_TRUE(bitmap.empty());
    EXPECT_EQ(changes, 2);
}

TEST(CanvasLayers, BlendThroughATemporaryCopyAndCopyLayersWithTheirAlpha) {
    Bitmap target(3, 1, PixelFormat::Bits24);
    target.canvas().setBrushColor(RGB(100, 100, 100));
    target.canvas().FillRect({0, 0, 3, 1});
    Bitmap layer(2, 1, PixelFormat::Bits32);
    std::copy_n(Bgra{200, 200, 200, 128}.begin(), 4, layer.row(0));
    BlendLayerOnCanvas(target.canvas(), {1, 0, 3, 1}, layer, {0, 0}, 128);
    EXPECT_EQ(pixel(target, 0, 0), (Bgra{100, 100, 100, 0}));  // outside the rectangle
    EXPECT_EQ(pixel(target, 1, 0), (Bgra{100, 100, 100, 0}));  // 200 * 0.2519... + 100 * 0.498...
    EXPECT_EQ(pixel(target, 2, 0), (Bgra{100, 100, 100, 0}));  // A 0 keeps the destination

    Bitmap copy(2, 1, PixelFormat::Bits32);
    CopyLayerToCanvas(copy.canvas(), {1, 0, 2, 1}, layer, {0, 0});
    EXPECT_EQ(pixel(copy, 1, 0), (Bgra{200, 200, 200, 128}));
    EXPECT_EQ(pixel(copy, 0, 0), (Bgra{0, 0, 0, 0}));
}

TEST(TextPainter, LayerRouteGivesTheFontColourWithTheGlyphsCoverageAsAlpha) {
    Bitmap layer(120, 40, PixelFormat::Bits32);
    layer.canvas().setFont(captionFont(RGB(0, 128, 255)));
    TextPainter plain;
    plain.DrawOnBitmap(layer, std::wstring_view(L"Kelvane"), {0, 0, 120, 40}, DT_SINGLELINE, true);
    bool opaque = false, partial = false;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 120; ++x) {
            const Bgra p = pixel(layer, x, y);
            if (p[3] == 0)
                ASSERT_EQ(p, (Bgra{0, 0, 0, 0})) << x << "," << y;
            else
                ASSERT_EQ((Bgra{p[0], p[1], p[2], 0}), (Bgra{255, 128, 0, 0})) << x << "," << y;
            opaque |= p[3] == 255;
            partial |= p[3] > 0 && p[3] < 255;
        }
    EXPECT_TRUE(opaque);
    EXPECT_TRUE(partial);  // anti-aliased edges
    EXPECT_EQ(layer.canvas().font().color, RGB(0, 128, 255));
}

TEST(TextPainter, MeasuringGrowsByTheHaloAndOffsetsButNeverAnEmptyText) {
    Bitmap bitmap;
    bitmap.canvas().setFont(captionFont(0));
    OuterGlowTextPainter painter;
    RECT plain{0, 0, 0, 0};
    TextPainter().MeasureText(bitmap.canvas(), std::string_view("Caption"), plain, DT_SINGLELINE);
    ASSERT_GT(plain.right, 0);
    ASSERT_GT(plain.bottom, 0);
    painter.setRadius(4);
    painter.setRadiation(3, 1);
    RECT narrow{0, 0, 0, 0}, wide{0, 0, 0, 0}, empty{5, 5, 5, 5};
    painter.MeasureText(bitmap.canvas(), std::string_view("Caption"), narrow, DT_SINGLELINE);
    painter.MeasureText(bitmap.canvas(), std::wstring_view(L"Caption"), wide, DT_SINGLELINE);
    EXPECT_EQ(narrow.right, plain.right + 8 + 3);
    EXPECT_EQ(narrow.bottom, plain.bottom + 8 + 1);
    EXPECT_EQ(wide.right, narrow.right);
    painter.MeasureText(bitmap.canvas(), std::wstring_view(L""), empty, DT_SINGLELINE);
    EXPECT_EQ(empty.right, 5);
    EXPECT_EQ(empty.bottom, 5 + plain.bottom);  // one line high, no width: not grown
}

// One caption through every route of the outer glow: the halo is in the glow colour, reaches up to
// the radius past the glyphs, moves with the radiation offsets, and the text stays in its colour.
TEST(OuterGlowTextPainter, HaloSurroundsTheTextInTheGlowColourOnEveryRoute) {
    constexpr int kRadius = 4;
    const RECT rect{10, 5, 170, 55};
    OuterGlowTextPainter painter;
    painter.setRadius(kRadius);
    painter.setGlowColor(RGB(0, 0, 255));
    const auto isText = [](const Bgra& p) { return p[2] < 60 && p[0] < 60; };  // dark red-less, blue-less
    const auto isHalo = [](const Bgra& p) { return p[0] > p[2] + 20; };        // bluer than red

    Bitmap normal(180, 60, PixelFormat::Bits24);
    normal.canvas().setBrushColor(RGB(255, 255, 255));
    normal.canvas().FillRect({0, 0, 180, 60});
    normal.canvas().setFont(captionFont(RGB(0, 0, 0)));
    painter.DrawOnBitmap(normal, std::string_view("Kelvane"), rect, DT_SINGLELINE | DT_VCENTER, false);
    const RECT text = extentOf(normal, isText), halo = extentOf(normal, isHalo);
    ASSERT_LT(text.left, text.right);
    EXPECT_GE(text.left, rect.left + kRadius);
    EXPECT_LT(halo.left, text.left);
    EXPECT_GE(halo.left, text.left - kRadius);
    EXPECT_GT(halo.right, text.right);
    EXPECT_LE(halo.right, text.right + kRadius);

    Bitmap canvasTarget(180, 60, PixelFormat::Bits24);
    canvasTarget.canvas().setBrushColor(RGB(255, 255, 255));
    canvasTarget.canvas().FillRect({0, 0, 180, 60});
    canvasTarget.canvas().setFont(captionFont(RGB(0, 0, 0)));
    painter.DrawOnCanvas(canvasTarget.canvas(), std::wstring_view(L"Kelvane"), rect,
                         DT_SINGLELINE | DT_VCENTER, false);
    for (int y = 0; y < 60; ++y)
        ASSERT_EQ(std::memcmp(canvasTarget.row(y), normal.row(y), 180 * 3), 0) << "row " << y;

    painter.setRadiation(6, 0);
    Bitmap layer(180, 60, PixelFormat::Bits32);
    layer.canvas().setFont(captionFont(RGB(0, 0, 0)));
    painter.DrawOnBitmap(layer, std::string_view("Kelvane"), {0, 0, 160, 50}, DT_SINGLELINE | DT_VCENTER,
                         true);
    const RECT glyphs = extentOf(layer, [](const Bgra& p) { return p[3] > 128 && p[0] == 0; });
    const RECT glowLayer = extentOf(layer, [](const Bgra& p) { return p[3] > 0 && p[0] == 255; });
    ASSERT_LT(glyphs.left, glyphs.right);
    EXPECT_GE(glyphs.left, kRadius);
    EXPECT_GT(glowLayer.right, glyphs.right + 6);  // the halo moved right by the offset
    EXPECT_EQ(pixel(layer, 175, 55), (Bgra{0, 0, 0, 0}));

    Bitmap copied(180, 60, PixelFormat::Bits32);
    copied.canvas().setFont(captionFont(RGB(0, 0, 0)));
    painter.DrawOnCanvas(copied.canvas(), std::wstring_view(L"Kelvane"), {0, 0, 160, 50},
                         DT_SINGLELINE | DT_VCENTER, true);
    for (int y = 0; y < 50; ++y)
        ASSERT_EQ(std::memcmp(copied.row(y), layer.row(y), 160 * 4), 0) << "row " << y;
}

}  // namespace
}  // namespace skin
