#include "mainboard/machine/BoardText.h"

#include <gtest/gtest.h>

namespace simboard {
namespace {

TEST(ParseNumber, DecimalAndHexWithinThirtyTwoBits) {
    EXPECT_EQ(parseNumber("0xA0020000"), 0xA0020000u);
    EXPECT_EQ(parseNumber("4294967295"), 4294967295u);
    EXPECT_EQ(parseNumber("4294967296"), std::nullopt);
    EXPECT_EQ(parseNumber("0x"), std::nullopt);
    EXPECT_EQ(parseNumber("12x"), std::nullopt);
    EXPECT_EQ(parseNumber("-1"), std::nullopt);
}

}  // namespace
}  // namespace simboard
