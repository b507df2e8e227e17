#include "skin/pixels/Layer.h"

#include <gtest/gtest.h>

#include <array>

namespace skin {
namespace {

using Bgra = std::array<std::uint8_t, 4>;

PixelBuffer filled(int width, int height, PixelFormat format, Bgra colour) {
    PixelBuffer image(width, height, format);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            std::copy_n(colour.begin(), bytesPerPixel(format),
                        image.row(y) + static_cast<std::ptrdiff_t>(x) * bytesPerPixel(format));
    return image;
}

Bgra pixel(const Image& image, int x, int y) {
    Bgra p{0, 0, 0, 0};
    std::copy_n(image.row(y) + static_cast<std::ptrdiff_t>(x) * bytesPerPixel(image.format()),
                bytesPerPixel(image.format()), p.begin());
    return p;
}

TEST(BlendLayer, ChannelArithmeticTruncatesAndKeepsTheDestinationWeightWhateverTheOpacity) {
    struct Case {
        std::uint8_t source, alpha, opacity, destination, expected;
    };
    const Case cases[] = {
        {200, 255, 255, 100, 200},  // opaque layer replaces exactly
        {30, 255, 255, 0, 30},     {80, 255, 255, 7, 80},
        {200, 0, 255, 100, 100},    // transparent layer leaves the destination
        {200, 128, 128, 100, 100},  // s * 0.2519... + d * 0.498...
        {255, 128, 128, 0, 64},    {0, 128, 128, 255, 127},
        {255, 128, 128, 255, 191}, {200, 255, 0, 100, 0},  // opacity darkens rather than fades
        {200, 255, 128, 100, 100}, {10, 1, 255, 250, 249},
    };
    for (const Case& c : cases) {
        PixelBuffer destination =
            filled(1, 1, PixelFormat::Bits24, {c.destination, c.destination, c.destination, 0});
        const PixelBuffer layer = filled(1, 1, PixelFormat::Bits32, {c.source, c.source, c.source, c.alpha});
        BlendLayerWhole(destination, layer, c.opacity);
        EXPECT_EQ(pixel(destination, 0, 0), (Bgra{c.expected, c.expected, c.expected, 0}))
            << "s " << +c.source << " A " << +c.alpha << " opacity " << +c.opacity << " d " << +c.destination;
    }
}

TEST(BlendLayer, TurnsA32BitDestinationInto24BitKeepingItsColours) {
    PixelBuffer destination = filled(3, 2, PixelFormat::Bits32, {1, 2, 3, 4});
    const PixelBuffer layer = filled(1, 1, PixelFormat::Bits32, {9, 8, 7, 255});
    BlendLayer(destination, {1, 1, 2, 2}, layer, {0, 0}, 255);
    ASSERT_EQ(destination.format(), PixelFormat::Bits24);
    EXPECT_EQ(pixel(destination, 1, 1), (Bgra{9, 8, 7, 0}));
    EXPECT_EQ(pixel(destination, 0, 0), (Bgra{1, 2, 3, 0}));
    EXPECT_EQ(pixel(destination, 2, 1), (Bgra{1, 2, 3, 0}));
}

TEST(BlendLayer, ALayerSmallerThanTheDestinationIsNeverReadPastItsRows) {
    // A 6 x 4 control with a 2 x 3 Hovered face: only the face's pixels change.
    PixelBuffer destination = filled(6, 4, PixelFormat::Bits24, {50, 50, 50, 0});
    const PixelBuffer face = filled(2, 3, PixelFormat::Bits32, {200, 200, 200, 255});
    BlendLayerWhole(destination, face, 255);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x)
            EXPECT_EQ(pixel(destination, x, y)[0], x < 2 && y < 3 ? 200 : 50) << x << "," << y;
}

TEST(ClipLayerPlacement, KeepsEveryPixelInsideBothImagesAndPairedWithItsLayerPixel) {
    const PixelBuffer destination(10, 8, PixelFormat::Bits24);
    const PixelBuffer layer(4, 5, PixelFormat::Bits32);
    struct Case {
        Rect rect;
        Point point;
        Rect clipped;
        Point clippedPoint;
    };
    const Case cases[] = {
        {{0, 0, 4, 5}, {0, 0}, {0, 0, 4, 5}, {0, 0}},      // layer exactly fits
        {{0, 0, 10, 8}, {0, 0}, {0, 0, 4, 5}, {0, 0}},     // limited to the layer
        {{8, 6, 12, 11}, {0, 0}, {8, 6, 10, 8}, {0, 0}},   // limited to the destination
        {{-1, -2, 3, 3}, {0, 0}, {0, 0, 3, 3}, {1, 2}},    // negative edges move the point
        {{2, 2, 9, 9}, {-1, -1}, {3, 3, 7, 8}, {0, 0}},    // negative point moves the edges
        {{0, 0, 10, 8}, {3, 4}, {0, 0, 1, 1}, {3, 4}},     // one layer pixel left past the point
        {{0, 0, 10, 8}, {4, 0}, {0, 0, 0, 5}, {4, 0}},     // none left: empty
        {{11, 0, 14, 3}, {0, 0}, {11, 0, 11, 3}, {0, 0}},  // outside the destination: empty
    };
    for (const Case& c : cases) {
        const LayerPlacement place = ClipLayerPlacement(c.rect, c.point, destination, layer);
        EXPECT_EQ(place.rect, c.clipped) << c.rect.left << "," << c.rect.top << " point " << c.point.x;
        EXPECT_EQ(place.layerPoint.x, c.clippedPoint.x);
        EXPECT_EQ(place.layerPoint.y, c.clippedPoint.y);
    }
}

TEST(OverlayLayer, ReplacesWholePixelsWhereTheLayerIsCoveredOnly) {
    PixelBuffer background = filled(3, 1, PixelFormat::Bits32, {1, 1, 1, 1});
    PixelBuffer layer = filled(5, 1, PixelFormat::Bits32, {7, 8, 9, 30});
    layer.row(0)[4 + 3] = 0;  // the second layer pixel is transparent
    OverlayLayer(background, {0, 0, 5, 1}, layer, {0, 0});
    EXPECT_EQ(pixel(background, 0, 0), (Bgra{7, 8, 9, 30}));
    EXPECT_EQ(pixel(background, 1, 0), (Bgra{1, 1, 1, 1}));
    EXPECT_EQ(pixel(background, 2, 0), (Bgra{7, 8, 9, 30}));
}

TEST(LayerAssertions, ReportTheEstablishedWordingWithOurFileAndLine) {
    PixelBuffer opaque(2, 2, PixelFormat::Bits24), layer(2, 2, PixelFormat::Bits32);
    EXPECT_DEATH(BlendLayerWhole(layer, opaque, 255),
                 "Assertion failed: src->PixelFormat == pf32bit, file skin/pixels/Layer.cpp, line [0-9]+");
    EXPECT_DEATH(OverlayLayer(opaque, {0, 0, 2, 2}, layer, {0, 0}),
                 "Assertion failed: backgnd->PixelFormat == pf32bit && layer->PixelFormat == pf32bit, file "
                 "skin/pixels/Layer.cpp");
}

TEST(CoverageFromLuminance, WeighsChannelsAndRoundsInBothFormats) {
    for (PixelFormat format : {PixelFormat::Bits24, PixelFormat::Bits32}) {
        PixelBuffer image(5, 1, format);
        const Bgra colours[] = {
            {255, 255, 255, 0}, {0, 0, 0, 255}, {0, 0, 255, 0}, {0, 255, 0, 0}, {255, 0, 0, 0}};
        for (int x = 0; x < 5; ++x)
            std::copy_n(colours[x].begin(), bytesPerPixel(format),
                        image.row(0) + static_cast<std::ptrdiff_t>(x) * bytesPerPixel(format));
        const IntensityMatrix coverage =
            CoverageFromLuminance(image, {0, 0, 6, 2});  // one column and row outside
        ASSERT_EQ(coverage.rows(), 2);
        ASSERT_EQ(coverage.columns(), 6);
        const std::int32_t expected[] = {255, 0, 76, 150, 29, 0};
        for (int x = 0; x < 6; ++x) EXPECT_EQ(coverage.at(0, x), expected[x]) << x;
        EXPECT_EQ(coverage.at(1, 0), 0);
    }
}

TEST(ApplyAlpha, LimitsValuesBlacksOutTransparencyAndGivesA24BitImageItsOwnAlpha) {
    PixelBuffer image = filled(4, 1, PixelFormat::Bits24, {10, 20, 30, 0});
    IntensityMatrix matrix(1, 3);
    matrix.at(0, 0) = 300;
    matrix.at(0, 1) = 0;
    matrix.at(0, 2) = 128;
    ApplyAlpha(image, {0, 0, 3, 1}, matrix);
    ASSERT_EQ(image.format(), PixelFormat::Bits32);
    EXPECT_EQ(pixel(image, 0, 0), (Bgra{10, 20, 30, 255}));
    EXPECT_EQ(pixel(image, 1, 0), (Bgra{0, 0, 0, 0}));
    EXPECT_EQ(pixel(image, 2, 0), (Bgra{10, 20, 30, 128}));
    EXPECT_EQ(pixel(image, 3, 0), (Bgra{10, 20, 30, 255}));  // outside the rectangle: opaque as before
    ApplyAlpha(image, {2, 0, 8, 4}, matrix);                 // larger than image and matrix
    EXPECT_EQ(pixel(image, 3, 0), (Bgra{0, 0, 0, 0}));
}

}  // namespace
}  // namespace skin
