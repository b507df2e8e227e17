#pragma once
// The record that Pixread.dll's ReadPngEx fills and FreePngData releases: 32-bit fields, then a
// pointer to `height` row pointers. A row holds `width` pixels of 8-bit R, G, B, A (colour type 6)
// or R, G, B (any other colour type).

#include <cstddef>
#include <cstdint>

namespace skin {

inline constexpr std::uint32_t kPngColorTypeRgba = 6;

struct PngData {
    std::uint32_t width;
    std::uint32_t height;
    std::uint32_t bitDepth;  // not read: every row has 8-bit channels
    std::uint32_t colorType;
    // Not read: its meaning is the library's. So a width larger than the rows hold cannot be told from
    // the record; only one beyond the size limits (pngDataUsable) is refused.
    std::uint32_t libraryField;
    std::uint8_t** rows;
};
static_assert(offsetof(PngData, colorType) == 12);
static_assert(sizeof(void*) == 4 ? sizeof(PngData) == 24 && offsetof(PngData, rows) == 20
                                 : sizeof(PngData) == 32 && offsetof(PngData, rows) == 24);

}  // namespace skin
