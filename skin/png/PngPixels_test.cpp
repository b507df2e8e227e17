#include "skin/png/PngPixels.h"

#include <gtest/gtest.h>

#include <vector>

namespace skin {
namespace {

// A record over rows of our own.
struct Record {
    std::vector<std::vector<std::uint8_t>> rowBytes;
    std::vector<std::uint8_t*> rows;
    PngData data{};

    Record(std::uint32_t colorType, std::vector<std::vector<std::uint8_t>> pixelRows)
        : rowBytes(std::move(pixelRows)) {
        for (auto& r : rowBytes) rows.push_back(r.data());
        const std::size_t step = colorType == kPngColorTypeRgba ? 4 : 3;
        data = {static_cast<std::uint32_t>(rowBytes[0].size() / step),
                static_cast<std::uint32_t>(rows.size()),
                8,
                colorType,
                static_cast<std::uint32_t>(rowBytes[0].size()),
                rows.data()};
    }
};

std::vector<std::uint8_t> pixelsOf(const Image& image) {
    std::vector<std::uint8_t> bytes;
    for (int y = 0; y < image.height(); ++y)
        bytes.insert(
            bytes.end(), image.row(y),
            image.row(y) + static_cast<std::ptrdiff_t>(image.width()) * bytesPerPixel(image.format()));
    return bytes;
}

TEST(CopyPngPixels, ReversesColourAndTakesAlphaAsTheTargetHoldsIt) {
    const struct {
        const char* what;
        std::uint32_t colorType;
        std::vector<std::uint8_t> source;  // one row
        PixelFormat target;
        std::vector<std::uint8_t> expected;
    } cases[] = {
        {"RGB into 32 bits: alpha 255",
         2,
         {10, 20, 30, 40, 50, 60},
         PixelFormat::Bits32,
         {30, 20, 10, 255, 60, 50, 40, 255}},
        {"RGBA: alpha 0 is black, alpha 1 and 255 keep colour",
         kPngColorTypeRgba,
         {10, 20, 30, 0, 11, 21, 31, 1, 12, 22, 32, 255},
         PixelFormat::Bits32,
         {0, 0, 0, 0, 31, 21, 11, 1, 32, 22, 12, 255}},
        {"RGBA into 24 bits: no alpha, colour kept",
         kPngColorTypeRgba,
         {10, 20, 30, 0, 11, 21, 31, 9},
         PixelFormat::Bits24,
         {30, 20, 10, 31, 21, 11}},
        {"RGB into 24 bits", 2, {1, 2, 3}, PixelFormat::Bits24, {3, 2, 1}},
    };
    for (const auto& c : cases) {
        Record record(c.colorType, {c.source, c.source});
        PixelBuffer image(static_cast<int>(record.data.width), 2, c.target);
        copyPngPixels(record.data, image);
        std::vector<std::uint8_t> twoRows = c.expected;
        twoRows.insert(twoRows.end(), c.expected.begin(), c.expected.end());
        EXPECT_EQ(pixelsOf(image), twoRows) << c.what;
    }
}

TEST(PngDataUsable, RefusesMissingRowsAndSizesBeyondTheLimitWhateverTheLibrarysField) {
    Record record(kPngColorTypeRgba, {{1, 2, 3, 4}, {5, 6, 7, 8}});
    EXPECT_TRUE(pngDataUsable(record.data));

    const std::uint32_t side = 1u << 13;  // side · side · 4 = 2^28, the limit
    std::vector<std::uint8_t*> manyRows(side + 1, record.rows[0]);
    const struct {
        const char* what;
        std::uint8_t** rows;
        std::uint32_t width, height;
        bool usable;
    } cases[] = {
        {"no row array", nullptr, 1, 2, false},
        {"no width", record.rows.data(), 0, 2, false},
        {"no height", record.rows.data(), 1, 0, false},
        {"at the limit", manyRows.data(), side, side, true},
        {"one row above the limit", manyRows.data(), side, side + 1, false},
        {"width × height × 4 overflows 32 bits", manyRows.data(), 0x10000, 0x4000, false},
        {"each side beyond the limit, product overflows 64 bits", manyRows.data(), 0xFFFFFFFF, 0xFFFFFFFF,
         false},
    };
    // The field at offset 16 is the library's: 0, the row bytes or anything else changes nothing.
    for (const std::uint32_t libraryField : {0u, 1u, 8u, 0xFFFFFFFFu}) {
        for (const auto& c : cases) {
            PngData data = record.data;
            data.width = c.width;
            data.height = c.height;
            data.rows = c.rows;
            data.libraryField = libraryField;
            EXPECT_EQ(pngDataUsable(data), c.usable) << c.what << ", field " << libraryField;
        }
    }

    record.rows[1] = nullptr;
    EXPECT_FALSE(pngDataUsable(record.data)) << "a missing row";
}

}  // namespace
}  // namespace skin
