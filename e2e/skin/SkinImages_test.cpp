// Skin images loaded through Pixread.dll as the About box loads them: real PNG files, written by the
// board's encoder, into skin bitmaps.

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "e2e/support/Harness.h"
#include "mainboard/pngcodec/PngCodec.h"
#include "skin/png/PngReader.h"
#include "win32/Application.h"
#include "win32/Text.h"

namespace skin_e2e {
namespace {

using skin::Bitmap;
using skin::PixelFormat;

// A PNG file of width × 1 pixels (R, G, B[, A] each), written by the board's encoder.
e2e::ScratchFile pngFile(const wchar_t* name, std::uint32_t colourType,
                         const std::vector<std::uint8_t>& row) {
    simboard::PngRecord record{};
    const std::uint32_t step = colourType == simboard::kPngColourRgba ? 4 : 3;
    EXPECT_TRUE(simboard::allocatePng(static_cast<std::uint32_t>(row.size()) / step, 1, colourType, record));
    std::copy(row.begin(), row.end(), record.rows[0]);
    const std::vector<std::uint8_t> png = simboard::encodePng(record);
    simboard::freePng(record);
    return e2e::ScratchFile(name, std::string(png.begin(), png.end()));
}

std::vector<std::uint8_t> rowOf(const Bitmap& bitmap) {
    return {bitmap.row(0), bitmap.row(0) + bitmap.width() * skin::bytesPerPixel(bitmap.format())};
}

std::vector<std::string> pixreadCalls(std::uint64_t after) {
    std::vector<std::string> entries;
    for (const e2e::Call& c : e2e::callsOf(::GetCurrentProcessId(), after))
        if (c.library == "Pixread") entries.push_back(c.entry + (c.result ? "" : " failed"));
    return entries;
}

TEST(LoadPngFile, GivesA32BitBitmapWithStraightColourAndBlackWhereTransparent) {
    const struct {
        const char* what;
        std::uint32_t colourType;
        std::vector<std::uint8_t> source;
        std::vector<std::uint8_t> expected;
    } cases[] = {
        {"RGB: alpha 255",
         simboard::kPngColourRgb,
         {10, 20, 30, 40, 50, 60},
         {30, 20, 10, 255, 60, 50, 40, 255}},
        {"RGBA: alpha 0 black, alpha 1 keeps colour",
         simboard::kPngColourRgba,
         {10, 20, 30, 0, 11, 21, 31, 1, 12, 22, 32, 200},
         {0, 0, 0, 0, 31, 21, 11, 1, 32, 22, 12, 200}},
    };
    for (const auto& c : cases) {
        const e2e::ScratchFile file = pngFile(L"face.png", c.colourType, c.source);
        Bitmap bitmap(7, 5, PixelFormat::Bits24);
        int changes = 0;
        bitmap.setOnChange([&] { ++changes; });
        const std::uint64_t before = e2e::lastSeq();
        EXPECT_TRUE(skin::LoadPngFile(file.path(), bitmap)) << c.what;
        EXPECT_EQ(bitmap.format(), PixelFormat::Bits32) << c.what;
        EXPECT_EQ(bitmap.width(), static_cast<int>(c.expected.size() / 4)) << c.what;
        EXPECT_EQ(bitmap.height(), 1) << c.what;
        EXPECT_EQ(rowOf(bitmap), c.expected) << c.what;
        EXPECT_EQ(changes, 2) << c.what << ": made 32-bit, then loaded";
        EXPECT_EQ(pixreadCalls(before), (std::vector<std::string>{"ReadPngEx", "FreePngData"})) << c.what;
    }
}

TEST(LoadPngFile, MissingFileThrowsTheOpenErrorAndLoadsNothing) {
    const std::wstring path = win32::executableFolder() + L"no-such-face.png";
    Bitmap bitmap(3, 2, PixelFormat::Bits32);
    const std::uint64_t before = e2e::lastSeq();
    ::SetLastError(0xdeadbeef);
    try {
        (void)skin::LoadPngFile(path, bitmap);
        ADD_FAILURE() << "no exception";
    } catch (const win32::FileOpenError& e) {
        EXPECT_EQ(e.error(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
        EXPECT_EQ(e.path(), path);
    }
    EXPECT_EQ(bitmap.width(), 3);
    EXPECT_TRUE(pixreadCalls(before).empty());
}

// A failed read filled no record: the library is not asked to free one.
TEST(ReadToBitmap, UndecodableFileKeepsTheBitmapAndFreesNoRecord) {
    const e2e::ScratchFile file(L"not-a.png", "This is no PNG file.\r\n");
    Bitmap bitmap(2, 1, PixelFormat::Bits32);
    bitmap.row(0)[0] = 77;
    win32::FileReader stream(file.path());
    const std::uint64_t before = e2e::lastSeq();
    EXPECT_FALSE(skin::PngReader::Instance().ReadToBitmap(stream, bitmap));
    EXPECT_EQ(bitmap.width(), 2);
    EXPECT_EQ(bitmap.row(0)[0], 77);
    EXPECT_EQ(pixreadCalls(before), (std::vector<std::string>{"ReadPngEx failed"}));
}

TEST(ReadToBitmap, BitmapThatIsNot32BitGetsColourOnly) {
    const e2e::ScratchFile file =
        pngFile(L"rgba.png", simboard::kPngColourRgba, {10, 20, 30, 0, 11, 21, 31, 1});
    Bitmap bitmap(1, 1, PixelFormat::Bits24);
    win32::FileReader stream(file.path());
    EXPECT_TRUE(skin::PngReader::Instance().ReadToBitmap(stream, bitmap));
    EXPECT_EQ(bitmap.format(), PixelFormat::Bits24);
    EXPECT_EQ(rowOf(bitmap), (std::vector<std::uint8_t>{30, 20, 10, 31, 21, 11}));
}

TEST(ReadToBitmap, LibraryLackingReadPngExOrFreePngDataReadsNothing) {
    const e2e::ScratchFile file = pngFile(L"rgb.png", simboard::kPngColourRgb, {1, 2, 3});
    for (const wchar_t* variant : {L"Pixread-no-ReadPngEx.dll", L"Pixread-no-FreePngData.dll"}) {
        skin::PngReader reader(e2e::builtFile(L"standins\\variants\\" + std::wstring(variant)));
        Bitmap bitmap(4, 4, PixelFormat::Bits32);
        win32::FileReader stream(file.path());
        const std::uint64_t before = e2e::lastSeq();
        EXPECT_FALSE(reader.ReadToBitmap(stream, bitmap)) << win32::narrow(variant);
        EXPECT_EQ(bitmap.width(), 4);
        EXPECT_TRUE(pixreadCalls(before).empty())
            << win32::narrow(variant) << ": nothing to free what it read";
    }
}

TEST(ReadPngBytes, FillsTheRequestUpToTheFilesEndAndRefusesNegativeCounts) {
    const e2e::ScratchFile file(L"bytes.bin", std::string(100, 'x'));
    const struct {
        std::int32_t count;
        std::int32_t read;
    } cases[] = {{-1, 0}, {INT32_MIN, 0}, {0, 0}, {99, 99}, {1, 1}, {1000, 0}};
    win32::FileReader stream(file.path());
    std::vector<char> buffer(1000);
    for (const auto& c : cases)
        EXPECT_EQ(skin::readPngBytes(&stream, buffer.data(), c.count), c.read) << "count " << c.count;
    win32::FileReader again(file.path());
    EXPECT_EQ(skin::readPngBytes(&again, buffer.data(), 1000), 100) << "the whole file, then its end";
}

}  // namespace
}  // namespace skin_e2e
