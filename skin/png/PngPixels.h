#pragma once
// A decoded PNG record's rows as skin pixels.

#include <cstdint>

#include "skin/pixels/Image.h"
#include "skin/png/PngData.h"

namespace skin {

// The largest skin image taken: 2^28 bytes of 32-bit pixels (64 Mi pixels).
inline constexpr std::uint64_t kMaxPngImageBytes = std::uint64_t{1} << 28;

// Whether the record can become an image: a width and a height, every row pointer there, and
// width × height × 4 bytes within kMaxPngImageBytes. The rows are taken to hold the width's pixels:
// the record says nothing else of their length.
bool pngDataUsable(const PngData& data);

// The record's pixels into an image of the record's size (a usable record): B, G, R from the
// source's R, G, B; in a 32-bit image, A is the source's alpha (B = G = R = 0 where it is 0) or 255
// for a source without alpha.
void copyPngPixels(const PngData& data, Image& image);

}  // namespace skin
