#pragma once
// The description of one numbered item of the maker's back end (88 bytes, little-endian). An
// item's value is a step number; the quantity it stands for is base + step number x step size.

#include <bit>
#include <cstddef>
#include <cstdint>

namespace kelvane {

// base + stepNumber x stepSize in signed 32-bit arithmetic that wraps, as the back end computes it.
constexpr std::int32_t valueOfStep(std::int32_t stepNumber, std::int32_t stepSize, std::int32_t base) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(stepNumber) *
                                         static_cast<std::uint32_t>(stepSize) +
                                     static_cast<std::uint32_t>(base));
}

struct GgrpItemInfo {
    std::uint8_t carriedAlong[72] = {};  // not interpreted here
    std::int32_t defaultStep = 0;
    std::int32_t base = 0;  // the value of step number 0
    std::int32_t stepSize = 0;
    std::int32_t stepCount = 0;

    constexpr std::int32_t valueOf(std::int32_t stepNumber) const {
        return valueOfStep(stepNumber, stepSize, base);
    }
    constexpr std::int32_t maximum() const {
        return valueOf(static_cast<std::int32_t>(static_cast<std::uint32_t>(stepCount) - 1));
    }
    constexpr std::int32_t defaultValue() const { return valueOf(defaultStep); }
};

static_assert(std::endian::native == std::endian::little, "the back ends exchange little-endian records");
static_assert(sizeof(GgrpItemInfo) == 88);
static_assert(offsetof(GgrpItemInfo, defaultStep) == 72 && offsetof(GgrpItemInfo, base) == 76);
static_assert(offsetof(GgrpItemInfo, stepSize) == 80 && offsetof(GgrpItemInfo, stepCount) == 84);

}  // namespace kelvane
