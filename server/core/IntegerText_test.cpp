#include "server/core/IntegerText.h"

#include <gtest/gtest.h>

namespace kelvane {
namespace {

TEST(ParseInteger, DecimalAtAndAroundTheSignedLimits) {
    EXPECT_EQ(parseInteger(u"0"), 0);
    EXPECT_EQ(parseInteger(u"2147483647"), 2147483647);
    EXPECT_EQ(parseInteger(u"2147483648"), std::nullopt);
    EXPECT_EQ(parseInteger(u"-2147483648"), INT32_MIN);
    EXPECT_EQ(parseInteger(u"-2147483649"), std::nullopt);
    EXPECT_EQ(parseInteger(u"99999999999999999999"), std::nullopt) << "no overflow on long input";
    EXPECT_EQ(parseInteger(u"  +42"), 42) << "leading blanks and sign are accepted";
}

TEST(ParseInteger, HexadecimalAfterPrefixUsesAllThirtyTwoBits) {
    EXPECT_EQ(parseInteger(u"0x00001a2b"), 0x1a2b);
    EXPECT_EQ(parseInteger(u"0X1A2B"), 0x1a2b);
    EXPECT_EQ(parseInteger(u"$ff"), 255);
    EXPECT_EQ(parseInteger(u"0xFFFFFFFF"), -1);
    EXPECT_EQ(parseInteger(u"0x100000000"), std::nullopt);
    EXPECT_EQ(parseInteger(u"0x0000000000000001"), 1) << "leading zeros do not count against the range";
}

TEST(ParseInteger, RejectsWhatIsNotAWholeNumber) {
    for (const auto* text : {u"", u" ", u"0x", u"$", u"-", u"12a", u"1 2", u"1.5", u"abc", u"0xg", u"42 "})
        EXPECT_EQ(parseInteger(text), std::nullopt)
            << std::string(text, text + std::char_traits<char16_t>::length(text));
}

TEST(ParseInteger, ErrorMessageQuotesTheText) {
    EXPECT_EQ(conversionErrorMessage(u"abc"), u"'abc' is not a valid integer value");
}

TEST(TrimText, RemovesBlanksAndControlCharactersAtBothEndsOnly) {
    EXPECT_EQ(trimText(u" \t 44\r\n"), u"44");
    EXPECT_EQ(trimText(u"a b"), u"a b");
    EXPECT_EQ(trimText(u"\x01\x1f"), u"");
    // DEL and the C1 controls count too (found by the card-name fuzzer); a no-break space does not.
    EXPECT_EQ(trimText(u"\x7f\x80Vortex 880\x9f"), u"Vortex 880");
    EXPECT_EQ(trimText(u"\xa0"
                       u"880\x7e"),
              u"\xa0"
              u"880\x7e");
}

}  // namespace
}  // namespace kelvane
