#pragma once
// The records that the graphics back ends exchange with their callers, byte for byte as the back
// ends define them: little-endian, packed as the offsets below say.

#include <cstddef>
#include <cstdint>

namespace simboard {

// Greencard: one record of four entries, for the clocks and for the fan.
enum NvEntry : int { kNvCore, kNvMemory, kNvVoltage, kNvFan, kNvEntryCount };

struct NvClockEntry {
    std::int32_t current;
    std::int32_t minimum;
    std::int32_t maximum;
    std::int32_t defaultValue;
    std::int32_t passThrough;  // the back end's own word; callers hand it back untouched
    std::int32_t supported;    // non-zero: the entry can be read and set
};

struct NvClockInfo {
    NvClockEntry entries[kNvEntryCount];  // memory's current value is twice the clock's
};

static_assert(sizeof(NvClockEntry) == 24);
static_assert(sizeof(NvClockInfo) == 96);

// Redcard: one block of three entries; each entry carries bytes that only the back end reads.
enum AmdEntry : int { kAmdCore, kAmdMemory, kAmdVoltage, kAmdEntryCount };

inline constexpr std::size_t kAmdOpaqueBytes = 203;

struct AmdClockEntry {
    std::int32_t current;
    std::int32_t minimum;
    std::int32_t maximum;
    std::int32_t defaultValue;
    std::int32_t step;
    std::uint8_t supported;  // non-zero: the entry can be read and set
    std::uint8_t opaque[kAmdOpaqueBytes];
};

struct AmdClockInfo {
    AmdClockEntry entries[kAmdEntryCount];
};

static_assert(sizeof(AmdClockEntry) == 224);
static_assert(offsetof(AmdClockEntry, step) == 16);
static_assert(offsetof(AmdClockEntry, supported) == 20);
static_assert(sizeof(AmdClockInfo) == 672);

// Lumbra: what an item is, as steps from a base value.
inline constexpr std::size_t kGgrpOpaqueBytes = 72;

struct GgrpItemInfo {
    std::uint8_t opaque[kGgrpOpaqueBytes];
    std::int32_t defaultStep;
    std::int32_t base;  // the value of step 0
    std::int32_t step;
    std::int32_t stepCount;
};

static_assert(sizeof(GgrpItemInfo) == 88);
static_assert(offsetof(GgrpItemInfo, defaultStep) == 72);
static_assert(offsetof(GgrpItemInfo, stepCount) == 84);

}  // namespace simboard
