#pragma once
// The card state record exchanged with the NVIDIA back end: 24 little-endian 32-bit words.

#include <bit>
#include <cstddef>
#include <cstdint>

namespace kelvane {

struct NvClockEntry {
    std::int32_t current = 0;
    std::int32_t minimum = 0;
    std::int32_t maximum = 0;
    std::int32_t defaultValue = 0;
    std::int32_t passThrough = 0;  // owned by the back end; carried along untouched
    std::int32_t supported = 0;    // settable when the low byte is non-zero

    bool isSupported() const { return (supported & 0xFF) != 0; }
};

struct NvClockInfo {
    NvClockEntry core;
    NvClockEntry memory;  // memory.current holds twice the remote side's value
    NvClockEntry voltage;
    NvClockEntry fan;  // only fan.current is used
};

static_assert(std::endian::native == std::endian::little, "the back ends exchange little-endian records");
static_assert(sizeof(NvClockEntry) == 24);
static_assert(sizeof(NvClockInfo) == 96);
static_assert(offsetof(NvClockInfo, memory) == 24);
static_assert(offsetof(NvClockInfo, voltage) == 48);
static_assert(offsetof(NvClockInfo, fan) == 72);

}  // namespace kelvane
