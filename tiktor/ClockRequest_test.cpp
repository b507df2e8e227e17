#include "tiktor/ClockRequest.h"

#include <gtest/gtest.h>

namespace tiktor {
namespace {

constexpr std::uint32_t kBroadcast = 0xC123;  // registered message numbers lie in 0xC000..0xFFFF

TEST(ClockRequest, TaggedRequestsAskForAHundredTimesTheirLowHalf) {
    EXPECT_EQ(requestedClock(kBroadcast, kBroadcast, 0xA0000000u), 0u);
    EXPECT_EQ(requestedClock(kBroadcast, kBroadcast, 0xA0000001u), 100u);
    EXPECT_EQ(requestedClock(kBroadcast, kBroadcast, 0xA0000C8Au), 321000u);
    EXPECT_EQ(requestedClock(kBroadcast, kBroadcast, 0xA000FFFFu), 6553500u);
}

TEST(ClockRequest, NeighboursOfTheTaggedRangeAskForNothing) {
    for (std::uint32_t lParam :
         {0x9FFFFFFFu, 0xA0010000u, 0x0000A000u, 0x00000000u, 0xFFFFFFFFu, 0x20000005u}) {
        EXPECT_EQ(requestedClock(kBroadcast, kBroadcast, lParam), std::nullopt) << std::hex << lParam;
    }
}

TEST(ClockRequest, OnlyTheRegisteredMessageCarriesRequests) {
    EXPECT_EQ(requestedClock(kBroadcast + 1, kBroadcast, 0xA0000005u), std::nullopt);
    EXPECT_EQ(requestedClock(0x0400, kBroadcast, 0xA0000005u), std::nullopt);
    // Before registration (or when it failed) the number is 0, which is WM_NULL: no request either.
    EXPECT_EQ(requestedClock(0, 0, 0xA0000005u), std::nullopt);
}

}  // namespace
}  // namespace tiktor
