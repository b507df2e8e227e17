#include "skin/controls/SkinScale.h"

#include <gtest/gtest.h>

namespace skin {
namespace {

// The About box's places and sizes at 100 %, 125 %, 150 %, 175 % and 200 %.
TEST(SkinScale, DesignValuesScaleAsMulDivRoundsThem) {
    struct Case {
        int value;
        int at96, at120, at144, at168, at192;
    };
    const Case cases[] = {
        {245, 245, 306, 368, 429, 490},  // the button's left: 306.25, 367.5, 428.75
        {166, 166, 208, 249, 291, 332},  // its top: 207.5, 290.5
        {150, 150, 188, 225, 263, 300},  // the labels' left: 187.5, 262.5
        {75, 75, 94, 113, 131, 150},     // the first label's top: 93.75, 112.5, 131.25
        {95, 95, 119, 143, 166, 190},    // 118.75, 142.5, 166.25
        {115, 115, 144, 173, 201, 230},  // 143.75, 172.5, 201.25
        {410, 410, 513, 615, 718, 820},  // the design width: 512.5, 717.5
        {293, 293, 366, 440, 513, 586},  // the design height: 366.25, 439.5, 512.75
        {16, 16, 20, 24, 28, 32},        // the font height
        {1, 1, 1, 2, 2, 2},              // the pressed caption's offset: 1.25, 1.5, 1.75
        {0, 0, 0, 0, 0, 0},              // margins
        {-11, -11, -14, -17, -19, -22},  // a character height: -13.75, -16.5, -19.25
    };
    for (const Case& c : cases) {
        EXPECT_EQ(scaledToDpi(c.value, 96), c.at96) << c.value;
        EXPECT_EQ(scaledToDpi(c.value, 120), c.at120) << c.value;
        EXPECT_EQ(scaledToDpi(c.value, 144), c.at144) << c.value;
        EXPECT_EQ(scaledToDpi(c.value, 168), c.at168) << c.value;
        EXPECT_EQ(scaledToDpi(c.value, 192), c.at192) << c.value;
    }
}

TEST(SkinScale, TakesTheSmallestSetAtOrAboveTheScaleElseTheDesignSet) {
    struct Case {
        int dpi;
        const wchar_t* file;
    };
    const Case cases[] = {
        {72, L"C:\\p\\resource\\popup_bg08.png"},       {96, L"C:\\p\\resource\\popup_bg08.png"},
        {97, L"C:\\p\\resource\\popup_bg08@1.5x.png"},  {120, L"C:\\p\\resource\\popup_bg08@1.5x.png"},
        {144, L"C:\\p\\resource\\popup_bg08@1.5x.png"}, {145, L"C:\\p\\resource\\popup_bg08@2x.png"},
        {168, L"C:\\p\\resource\\popup_bg08@2x.png"},   {192, L"C:\\p\\resource\\popup_bg08@2x.png"},
        {193, L"C:\\p\\resource\\popup_bg08.png"},      {480, L"C:\\p\\resource\\popup_bg08.png"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(skinFileOfSet(L"C:\\p\\resource\\popup_bg08.png", skinSetFor(c.dpi)), c.file) << c.dpi;
    EXPECT_EQ(skinFileOfSet(L"a.ico", skinSetFor(192)), L"a.ico@2x") << "no .png: the suffix at the end";
    EXPECT_EQ(skinFileOfSet(L".png", skinSetFor(144)), L"@1.5x.png");
}

TEST(SkinScale, ImagesOfEachSetComeOutAtTheSizeOfTheirDesignSizeScaled) {
    struct Case {
        ImageSize loaded;
        int setDpi = 0, dpi = 0;
        ImageSize expected;
    };
    const Case cases[] = {
        {{400, 240}, 96, 96, {400, 240}},   {{600, 360}, 144, 120, {500, 300}},
        {{600, 360}, 144, 144, {600, 360}}, {{800, 480}, 192, 168, {700, 420}},
        {{800, 480}, 192, 192, {800, 480}}, {{400, 240}, 96, 192, {800, 480}},  // the 2x set missing
        {{168, 51}, 144, 120, {140, 43}},   {{224, 68}, 192, 168, {196, 60}},   // the face: 42.5, 59.5
        {{112, 34}, 96, 144, {168, 51}},    {{0, 0}, 96, 192, {0, 0}},
    };
    for (const Case& c : cases) {
        const SkinSet* set = nullptr;
        for (const SkinSet& s : skinSets())
            if (s.dpi == c.setDpi) set = &s;
        ASSERT_TRUE(set) << c.setDpi;
        EXPECT_EQ(sizeAtDpi(c.loaded, *set, c.dpi), c.expected)
            << c.loaded.width << "x" << c.loaded.height << " of the set for " << c.setDpi << " at " << c.dpi;
    }
}

}  // namespace
}  // namespace skin
