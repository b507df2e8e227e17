#pragma once
// The clock-information block that the AMD back end fills for a card and takes back whole: three
// little-endian entries of 224 bytes (core clock, memory clock, voltage).

#include <bit>
#include <cstddef>
#include <cstdint>

namespace kelvane {

struct AmdClockEntry {
    std::int32_t current = 0;
    std::int32_t minimum = 0;
    std::int32_t maximum = 0;
    std::int32_t defaultValue = 0;
    std::int32_t step = 0;
    std::uint8_t supported = 0;           // non-zero when the entry is supported
    std::uint8_t carriedAlong[203] = {};  // the back end's own; written back as read

    bool isSupported() const { return supported != 0; }
};

struct AmdClockInfo {
    AmdClockEntry core;
    AmdClockEntry memory;  // on integrated cards the SidePort memory clock
    AmdClockEntry voltage;
};

static_assert(std::endian::native == std::endian::little, "the back ends exchange little-endian records");
static_assert(sizeof(AmdClockEntry) == 224);
static_assert(offsetof(AmdClockEntry, minimum) == 4 && offsetof(AmdClockEntry, maximum) == 8);
static_assert(offsetof(AmdClockEntry, defaultValue) == 12 && offsetof(AmdClockEntry, step) == 16);
static_assert(offsetof(AmdClockEntry, supported) == 20 && offsetof(AmdClockEntry, carriedAlong) == 21);
static_assert(sizeof(AmdClockInfo) == 672);
static_assert(offsetof(AmdClockInfo, memory) == 224 && offsetof(AmdClockInfo, voltage) == 448);

}  // namespace kelvane
