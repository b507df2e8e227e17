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
    NvClockEntry memory;  // memory.current on the record's scale: recordMemory()
    NvClockEntry voltage;
    NvClockEntry fan;  // only fan.current is used
};

// The record holds the memory clock's current value at twice the scale of the remote link and of
// Info.ini. Halving is a shift of the unsigned value, so an odd record value loses its low bit.
constexpr std::int32_t recordMemory(std::uint32_t remoteValue) {
    return static_cast<std::int32_t>(2u * remoteValue);
}
constexpr std::uint32_t remoteMemory(std::int32_t recordValue) {
    return static_cast<std::uint32_t>(recordValue) >> 1;
}

static_assert(std::endian::native == std::endian::little, "the back ends exchange little-endian records");
static_assert(sizeof(NvClockEntry) == 24);
static_assert(sizeof(NvClockInfo) == 96);
static_assert(offsetof(NvClockInfo, memory) == 24);
static_assert(offsetof(NvClockInfo, voltage) == 48);
static_assert(offsetof(NvClockInfo, fan) == 72);

}  // namespace kelvane
