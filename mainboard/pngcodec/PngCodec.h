#pragma once
// The PNG library's work without the platform: decode a PNG pulled through a read function into a
// record with row pointers, allocate and free such records, encode one back to PNG bytes.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "mainboard/pngcodec/PngRecord.h"

namespace simboard {

// Fills `buffer` with up to `count` bytes; returns how many it filled, 0 at the end, negative on error.
using PngPull = std::function<std::int32_t(std::uint8_t* buffer, std::int32_t count)>;

// Limits of what the library accepts: a file of at most 64 MiB, sides of at most 16384 pixels and
// at most 2^24 pixels (64 MiB of RGBA) in all, so that a small hostile file cannot demand gigabytes.
inline constexpr std::size_t kPngMaxFileBytes = std::size_t{64} << 20;
inline constexpr std::uint32_t kPngMaxSide = 16384;
inline constexpr std::uint64_t kPngMaxPixels = std::uint64_t{1} << 24;

// Decodes a PNG into `record` (RGBA rows when the image has alpha, else RGB rows). On failure the
// record is zeroed and `why` says what went wrong.
bool decodePng(const PngPull& pull, PngRecord& record, std::string& why);

// A record of the given size with zeroed rows; false (record zeroed) for a bad size or colour type.
bool allocatePng(std::uint32_t width, std::uint32_t height, std::uint32_t colourType, PngRecord& record);

// Frees what decodePng or allocatePng put in the record and zeroes it; a zeroed record is left alone.
void freePng(PngRecord& record);

// The record as PNG bytes; empty when the record is not one of ours in shape (no rows, bad sizes).
std::vector<std::uint8_t> encodePng(const PngRecord& record);

}  // namespace simboard
