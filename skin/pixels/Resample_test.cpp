#include "skin/pixels/Resample.h"

#include <gtest/gtest.h>

#include <array>

namespace skin {
namespace {

using Bgra = std::array<std::uint8_t, 4>;

Bgra pixel(const Image& image, int x, int y) {
    Bgra p{0, 0, 0, 0};
    std::copy_n(image.row(y) + static_cast<std::ptrdiff_t>(x) * bytesPerPixel(image.format()),
                bytesPerPixel(image.format()), p.begin());
    return p;
}

void setPixel(Image& image, int x, int y, Bgra p) {
    std::copy_n(p.begin(), bytesPerPixel(image.format()),
                image.row(y) + static_cast<std::ptrdiff_t>(x) * bytesPerPixel(image.format()));
}

TEST(ResampleImage, AFlatImageStaysFlatAtEverySizeUpAndDown) {
    const Bgra colour{10, 120, 250, 200};
    for (const auto format : {PixelFormat::Bits24, PixelFormat::Bits32}) {
        PixelBuffer source(7, 5, format);
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 7; ++x) setPixel(source, x, y, colour);
        for (const auto& [w, h] : {std::pair{14, 10}, {11, 8}, {3, 2}, {1, 1}, {7, 5}, {20, 1}}) {
            PixelBuffer target(w, h, format);
            resampleImage(source, target);
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    Bgra expected = colour;
                    if (format == PixelFormat::Bits24) expected[3] = 0;
                    ASSERT_EQ(pixel(target, x, y), expected) << w << "x" << h << " at " << x << "," << y;
                }
        }
    }
}

TEST(ResampleImage, ReducingMixesEverySourcePixelAndEnlargingRunsBetweenNeighbours) {
    PixelBuffer checker(2, 2, PixelFormat::Bits24);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 2; ++x) {
            const std::uint8_t v = (x + y) % 2 ? 200 : 0;
            setPixel(checker, x, y, {v, v, v, 0});
        }
    PixelBuffer one(1, 1, PixelFormat::Bits24);
    resampleImage(checker, one);
    EXPECT_EQ(pixel(one, 0, 0)[0], 100) << "the four pixels alike";

    // Two flat halves, dark and light: each half keeps its side of the middle, mirrored.
    PixelBuffer halves(8, 2, PixelFormat::Bits24);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 8; ++x) setPixel(halves, x, y, {std::uint8_t(x < 4 ? 0 : 200), 0, 0, 0});
    PixelBuffer half(4, 1, PixelFormat::Bits24);
    resampleImage(halves, half);
    EXPECT_EQ(pixel(half, 0, 0)[0], 0);
    EXPECT_LT(pixel(half, 1, 0)[0], 100);
    EXPECT_EQ(pixel(half, 1, 0)[0] + pixel(half, 2, 0)[0], 200);
    EXPECT_EQ(pixel(half, 3, 0)[0], 200);

    PixelBuffer row(2, 1, PixelFormat::Bits24), doubled(4, 1, PixelFormat::Bits24);
    setPixel(row, 0, 0, {0, 0, 0, 0});
    setPixel(row, 1, 0, {200, 200, 200, 0});
    resampleImage(row, doubled);
    EXPECT_EQ(pixel(doubled, 0, 0)[0], 0) << "the edge pixel stands in beyond the edge";
    EXPECT_EQ(pixel(doubled, 1, 0)[0], 50) << "a quarter of the way to the next pixel";
    EXPECT_EQ(pixel(doubled, 2, 0)[0], 150);
    EXPECT_EQ(pixel(doubled, 3, 0)[0], 200);
}

TEST(ResampleImage, TransparentNeighboursLendNoColourAndAFullyTransparentResultIsBlack) {
    // An opaque red pixel beside transparent ones that hold a colour they must not show.
    PixelBuffer source(4, 1, PixelFormat::Bits32);
    setPixel(source, 0, 0, {0, 0, 255, 255});
    for (int x = 1; x < 4; ++x) setPixel(source, x, 0, {255, 255, 0, 0});
    PixelBuffer target(2, 1, PixelFormat::Bits32);
    resampleImage(source, target);
    EXPECT_EQ(pixel(target, 0, 0), (Bgra{0, 0, 255, 128})) << "red at half cover, no blue mixed in";
    EXPECT_EQ(pixel(target, 1, 0), (Bgra{0, 0, 0, 0}));
}

TEST(ResampleImage, EqualSizesCopyEveryByteAndAnEmptyImageLeavesTheTargetAlone) {
    PixelBuffer source(3, 2, PixelFormat::Bits32);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            setPixel(source, x, y,
                     {static_cast<std::uint8_t>(x * 70), 9, static_cast<std::uint8_t>(y + 1), 77});
    PixelBuffer copy(3, 2, PixelFormat::Bits32);
    resampleImage(source, copy);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) EXPECT_EQ(pixel(copy, x, y), pixel(source, x, y));

    PixelBuffer target(2, 2, PixelFormat::Bits32);
    setPixel(target, 1, 1, {1, 2, 3, 4});
    resampleImage(PixelBuffer(0, 0, PixelFormat::Bits32), target);
    EXPECT_EQ(pixel(target, 1, 1), (Bgra{1, 2, 3, 4}));
}

}  // namespace
}  // namespace skin
