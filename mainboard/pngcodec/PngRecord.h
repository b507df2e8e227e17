#pragma once
// The record that the PNG library fills and frees, as the library states it: 32-bit fields, then a
// pointer to `height` row pointers. Each row holds `width` pixels of 8-bit R, G, B, A (colour type 6)
// or R, G, B (colour type 2).

#include <cstddef>
#include <cstdint>

namespace simboard {

inline constexpr std::uint32_t kPngColourRgb = 2;
inline constexpr std::uint32_t kPngColourRgba = 6;

struct PngRecord {
    std::uint32_t width;
    std::uint32_t height;
    std::uint32_t bitDepth;    // always 8: every image is delivered with 8-bit channels
    std::uint32_t colourType;  // kPngColourRgba or kPngColourRgb
    std::uint32_t rowBytes;    // width × 4 or width × 3
    std::uint8_t** rows;
};
static_assert(offsetof(PngRecord, colourType) == 12);
static_assert(sizeof(void*) == 4 ? sizeof(PngRecord) == 24 && offsetof(PngRecord, rows) == 20
                                 : sizeof(PngRecord) == 32 && offsetof(PngRecord, rows) == 24);

}  // namespace simboard
