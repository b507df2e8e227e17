#include "server/tray/TrayRules.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kelvane {
namespace {

using namespace tray_mouse;

TEST(TrayClickKind, MatchesItsMouseMessagesAndNoOthers) {
    const std::vector<std::uint32_t> all = {kMove,      kLeftDown,        kLeftUp,           kLeftDoubleClick,
                                            kRightDown, kRightUp,         kRightDoubleClick, kMiddleDown,
                                            kMiddleUp,  kBalloonUserClick};
    const struct {
        std::uint32_t kind;
        std::vector<std::uint32_t> matched;
    } cases[] = {
        {0, {kLeftDown}},
        {1, {kLeftDoubleClick, kRightDoubleClick}},
        {2, {kLeftDown, kRightDown, kMiddleDown}},
        {3, {kLeftUp, kRightUp, kMiddleUp}},
        {4, {kLeftUp}},
        {5, {kLeftDoubleClick}},
        {6, {kRightUp}},
        {7, {kRightDoubleClick}},
        {8, {}},
        {9, {}},
        {0xFFFFFFFF, {}},
    };
    for (const auto& c : cases) {
        std::vector<std::uint32_t> matched;
        for (std::uint32_t message : all)
            if (clickMatches(static_cast<TTrayClickKind>(c.kind), message)) matched.push_back(message);
        EXPECT_EQ(matched, c.matched) << "kind " << c.kind;
    }
}

TEST(BalloonIconKind, MapsToTheRecordsInfoFlags) {
    const std::uint32_t expected[][2] = {{0, 0}, {1, 3}, {2, 1}, {3, 2}, {4, 4}, {5, 0}, {0x80000000, 0}};
    for (const auto& [kind, flags] : expected)
        EXPECT_EQ(balloonInfoFlags(static_cast<TBalloonIconKind>(kind)), flags) << "kind " << kind;
}

TEST(NotifyRecordSize, FollowsTheShellVersionWithThe32BitLayout) {
    const struct {
        std::uint64_t version;
        std::uint32_t size;
    } cases[] = {
        {0, 152},  // no DllGetVersion, or it failed
        {packedShellVersion(4, 72), 152},
        {packedShellVersion(5, 0) - 1, 152},
        {packedShellVersion(5, 0), 936},
        {packedShellVersion(5, 82) | 0xFFFFFFFF, 936},  // build numbers do not count
        {packedShellVersion(6, 0), 952},
        {packedShellVersion(6, 1), 952},
        {packedShellVersion(10, 0), 952},
    };
    for (const auto& c : cases)
        EXPECT_EQ(notifyRecordSize(c.version, kNotifyRecordSizes32), c.size) << std::hex << c.version;
    EXPECT_EQ(kNotifyRecordSizes32.buffer, 956u) << "never a cbSize, only the buffer";
}

TEST(CopyIntoField, CutsAtTheFieldLessItsTerminator) {
    const struct {
        std::size_t fieldUnits;
        std::size_t textUnits;
        std::size_t kept;
    } cases[] = {
        {kTipUnits, 0, 0},
        {kTipUnits, 126, 126},
        {kTipUnits, 127, 127},
        {kTipUnits, 128, 127},
        {kTipUnits, 1000, 127},
        {kBalloonTitleUnits, 62, 62},
        {kBalloonTitleUnits, 63, 63},
        {kBalloonTitleUnits, 64, 63},
        {kBalloonTextUnits, 254, 254},
        {kBalloonTextUnits, 255, 255},
        {kBalloonTextUnits, 256, 255},
        {1, 5, 0},
    };
    for (const auto& c : cases) {
        const std::u16string text(c.textUnits, u'a');
        // One unit more than the field, to see that nothing is written past it.
        std::u16string field(c.fieldUnits + 1, u'#');
        EXPECT_EQ(copyIntoField(text, field.data(), c.fieldUnits), c.kept)
            << c.fieldUnits << "/" << c.textUnits;
        EXPECT_EQ(field.substr(0, c.kept), std::u16string(c.kept, u'a'));
        EXPECT_EQ(field[c.kept], u'\0');
        EXPECT_EQ(field[c.fieldUnits], u'#') << "written past the field";
    }
}

TEST(CopyIntoField, NeverKeepsHalfASurrogatePair) {
    // U+1F600 as a pair whose high half would be the last unit that fits a 4-unit field.
    const std::u16string text = u"ab\U0001F600c";
    char16_t field[4];
    EXPECT_EQ(copyIntoField(text, field, 4), 2u);
    EXPECT_EQ(std::u16string(field), u"ab");
    char16_t wider[5];
    EXPECT_EQ(copyIntoField(text, wider, 5), 4u) << "a whole pair that fits is kept";
    EXPECT_EQ(cutToField(text, 5), text.substr(0, 4));
}

}  // namespace
}  // namespace kelvane
