#include "mainboard/pngcodec/PngCodec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace simboard {
namespace {

// A pull over bytes in memory that hands out at most `step` bytes a call, as a file stream may.
PngPull pullFrom(const std::vector<std::uint8_t>& bytes, std::int32_t step) {
    return [&bytes, step, at = std::size_t{0}](std::uint8_t* buffer, std::int32_t count) mutable {
        const auto n = std::min<std::size_t>(
            {bytes.size() - at, static_cast<std::size_t>(count), static_cast<std::size_t>(step)});
        std::memcpy(buffer, bytes.data() + at, n);
        at += n;
        return static_cast<std::int32_t>(n);
    };
}

struct Owned {  // frees the record at the end of a test
    PngRecord record{};
    ~Owned() { freePng(record); }
};

std::vector<std::uint8_t> samplePng(std::uint32_t colourType, std::uint32_t width, std::uint32_t height) {
    Owned image;
    EXPECT_TRUE(allocatePng(width, height, colourType, image.record));
    for (std::uint32_t y = 0; y < height; ++y)
        for (std::uint32_t i = 0; i < image.record.rowBytes; ++i)
            image.record.rows[y][i] = static_cast<std::uint8_t>(y * 31 + i * 7);
    return encodePng(image.record);
}

TEST(PngCodec, RgbAndRgbaImagesComeBackPixelForPixelHoweverTheStreamIsCut) {
    for (const std::uint32_t colourType : {kPngColourRgb, kPngColourRgba}) {
        const auto png = samplePng(colourType, 5, 3);
        ASSERT_FALSE(png.empty());
        for (const std::int32_t step : {1, 7, 1 << 20}) {
            Owned decoded;
            std::string why;
            ASSERT_TRUE(decodePng(pullFrom(png, step), decoded.record, why)) << why;
            const PngRecord& r = decoded.record;
            EXPECT_EQ(r.width, 5u);
            EXPECT_EQ(r.height, 3u);
            EXPECT_EQ(r.bitDepth, 8u);
            EXPECT_EQ(r.colourType, colourType);
            EXPECT_EQ(r.rowBytes, colourType == kPngColourRgba ? 20u : 15u);
            for (std::uint32_t y = 0; y < 3; ++y)
                for (std::uint32_t i = 0; i < r.rowBytes; ++i)
                    ASSERT_EQ(r.rows[y][i], static_cast<std::uint8_t>(y * 31 + i * 7)) << y << "," << i;
        }
    }
}

TEST(PngCodec, GreyImagesAreDeliveredAsRgbOrRgba) {
    // 2 x 1 pixels of grey 102, without and with alpha 128 (colour types 0 and 4), made with ImageMagick.
    const std::vector<std::uint8_t> grey = {
        0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a, 0x00, 0x00, 0x00, 0x0d, 0x49, 0x48, 0x44, 0x52, 0x00,
        0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x01, 0x08, 0x00, 0x00, 0x00, 0x00, 0xd1, 0x49, 0x20, 0x56, 0x00,
        0x00, 0x00, 0x0b, 0x49, 0x44, 0x41, 0x54, 0x08, 0xd7, 0x63, 0x4c, 0x63, 0x00, 0x00, 0x00, 0xd2, 0x00,
        0x68, 0x07, 0xc1, 0x7f, 0xb8, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4e, 0x44, 0xae, 0x42, 0x60, 0x82};
    const std::vector<std::uint8_t> greyAlpha = {
        0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a, 0x00, 0x00, 0x00, 0x0d, 0x49, 0x48,
        0x44, 0x52, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x01, 0x08, 0x04, 0x00, 0x00,
        0x00, 0x5e, 0x2b, 0xb7, 0x01, 0x00, 0x00, 0x00, 0x0d, 0x49, 0x44, 0x41, 0x54, 0x08,
        0xd7, 0x63, 0x4c, 0x6b, 0x60, 0x60, 0x00, 0x00, 0x03, 0x22, 0x00, 0xe8, 0x7f, 0xa6,
        0xf2, 0xee, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4e, 0x44, 0xae, 0x42, 0x60, 0x82};
    std::string why;
    Owned rgb;
    ASSERT_TRUE(decodePng(pullFrom(grey, 1 << 20), rgb.record, why)) << why;
    EXPECT_EQ(rgb.record.colourType, kPngColourRgb);
    EXPECT_EQ(std::vector<std::uint8_t>(rgb.record.rows[0], rgb.record.rows[0] + 6),
              (std::vector<std::uint8_t>{102, 102, 102, 102, 102, 102}));
    Owned rgba;
    ASSERT_TRUE(decodePng(pullFrom(greyAlpha, 1 << 20), rgba.record, why)) << why;
    EXPECT_EQ(rgba.record.colourType, kPngColourRgba);
    EXPECT_EQ(std::vector<std::uint8_t>(rgba.record.rows[0], rgba.record.rows[0] + 8),
              (std::vector<std::uint8_t>{102, 102, 102, 128, 102, 102, 102, 128}));
}

// A test of its own (a process of its own under CTest): the decoder keeps its last reason, so the
// stream must be the first to fail in the process.
TEST(PngCodec, ADamagedDataStreamTheDecoderGivesNoReasonForStillFailsWithOne) {
    // A 2 x 2 grey image whose data stream is damaged so that the decoder fails without a reason
    // (found by the fuzzer: the reason was taken from a null pointer).
    const std::vector<std::uint8_t> reasonless = {
        0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a, 0x00, 0x00, 0x00, 0x0d, 0x49, 0x48, 0x44,
        0x52, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x02, 0x08, 0x04, 0x00, 0x00, 0x00, 0xd8,
        0xbf, 0xc5, 0xaf, 0x00, 0x00, 0x00, 0x12, 0x49, 0x44, 0x41, 0x54, 0x08, 0xd7, 0x27, 0x4c,
        0x73, 0x60, 0x60, 0x60, 0x62, 0x60, 0x60, 0x60, 0x00, 0x00, 0x05, 0xb4, 0x00, 0xaa, 0x64,
        0xab, 0x35, 0xb8, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4e, 0x44, 0xae, 0x42, 0x60, 0x82};
    PngRecord record{};
    std::string why;
    EXPECT_FALSE(decodePng(pullFrom(reasonless, 1 << 20), record, why));
    EXPECT_EQ(why, "the image cannot be decoded: the decoder gives no reason");
    EXPECT_EQ(record.rows, nullptr);
}

TEST(PngCodec, HostileStreamsFailWithAReasonAndLeaveTheRecordEmpty) {
    const auto png = samplePng(kPngColourRgb, 4, 4);
    std::vector<std::uint8_t> truncated(png.begin(),
                                        png.begin() + static_cast<std::ptrdiff_t>(png.size() / 2));
    const std::vector<std::uint8_t> notPng = {'G', 'I', 'F', '8', '9', 'a', 0, 0};
    // The same image claiming a 2 GiB data chunk, and claiming 8192 x 8192 pixels (the header's
    // fields at their offsets: width 16, height 20, first chunk after the header's 33).
    auto hugeChunk = png, hugeImage = png;
    const std::uint8_t twoGiB[] = {0x7f, 0xff, 0xff, 0xff}, side[] = {0, 0, 0x20, 0};
    std::copy(std::begin(twoGiB), std::end(twoGiB), hugeChunk.begin() + 33);
    std::copy(std::begin(side), std::end(side), hugeImage.begin() + 16);
    std::copy(std::begin(side), std::end(side), hugeImage.begin() + 20);
    struct Case {
        const char* what;
        PngPull pull;
        const char* reason;
    };
    const Case cases[] = {
        {"a negative count", [](std::uint8_t*, std::int32_t) { return -1; }, "returned -1"},
        {"more than asked", [](std::uint8_t*, std::int32_t count) { return count + 1; }, "returned"},
        {"an endless stream",
         [](std::uint8_t* b, std::int32_t count) {
             std::memset(b, 0, count);
             return count;
         },
         "larger than 64 MiB"},
        {"an empty stream", [](std::uint8_t*, std::int32_t) { return 0; }, "not a PNG"},
        {"half a PNG", pullFrom(truncated, 1 << 20), "cannot be decoded"},
        {"another format", pullFrom(notPng, 1 << 20), "not a PNG"},
        {"a chunk longer than the file", pullFrom(hugeChunk, 1 << 20), "a chunk claims 2147483647 bytes"},
        {"too many pixels", pullFrom(hugeImage, 1 << 20), "more than 16777216"},
    };
    for (const Case& c : cases) {
        PngRecord record{1, 1, 8, 6, 4, nullptr};
        std::string why;
        EXPECT_FALSE(decodePng(c.pull, record, why)) << c.what;
        EXPECT_NE(why.find(c.reason), std::string::npos) << c.what << ": " << why;
        EXPECT_EQ(record.rows, nullptr) << c.what;
        EXPECT_EQ(record.width, 0u) << c.what;
    }
}

TEST(PngCodec, AllocationTakesSidesUpToTheLimitAndOnlyTheTwoColourTypes) {
    struct Case {
        std::uint32_t width, height, colourType;
        bool allocated;
    };
    const Case cases[] = {
        {1, 1, kPngColourRgb, true},
        {kPngMaxSide, 1, kPngColourRgba, true},
        {1, kPngMaxSide, kPngColourRgb, true},
        {kPngMaxSide + 1, 1, kPngColourRgb, false},
        {1, kPngMaxSide + 1, kPngColourRgb, false},
        {0, 1, kPngColourRgb, false},
        {1, 1, 3, false},
        {1, 1, 0, false},
        {4096, 4096, kPngColourRgba, true},
        {4097, 4096, kPngColourRgba, false},
    };
    for (const Case& c : cases) {
        Owned image;
        EXPECT_EQ(allocatePng(c.width, c.height, c.colourType, image.record), c.allocated)
            << c.width << " x " << c.height << " type " << c.colourType;
        EXPECT_EQ(image.record.rows != nullptr, c.allocated);
    }
    EXPECT_TRUE(encodePng(PngRecord{}).empty());
}

}  // namespace
}  // namespace simboard
