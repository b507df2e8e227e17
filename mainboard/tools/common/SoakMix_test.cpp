#include "mainboard/tools/common/SoakMix.h"

#include <gtest/gtest.h>

#include <array>

namespace simboard {
namespace {

// The highest command of the information, read and set tables.
constexpr std::array<std::uint32_t, 3> kLastCommand = {7, 10, 7};

NvClockInfo someCard() {
    NvClockInfo c{};
    c.entries[kNvCore] = {1050, 300, 1200, 1050, 0, 1};
    c.entries[kNvMemory] = {1848, 405, 1100, 924, 0, 1};
    c.entries[kNvVoltage] = {1000, 800, 1138, 1000, 0, 1};
    c.entries[kNvFan] = {44, 30, 100, 44, 0, 1};
    return c;
}

// Every step is of the kind it says, and a run covers every kind.
TEST(SoakMix, EachKindSendsWhatItsNameSays) {
    SoakMix mix(7);
    std::array<int, kSoakKinds> seen{};
    for (int i = 0; i < 20000; ++i) {
        const SoakStep s = mix.next(someCard());
        ++seen[static_cast<std::size_t>(s.kind)];
        const std::uint32_t group = s.words[0] >> 28, command = (s.words[0] >> 16) & 0xF;
        const bool hasRow = group < 3 && command >= 1 && command <= kLastCommand[group];
        EXPECT_TRUE(wire::isRemoteNotification(wire::kRemoteNotifyWParam, s.lParam)) << "the answered one";
        EXPECT_EQ(s.flag == wire::kFlagRequestWaiting, s.kind != SoakKind::FlagError);
        EXPECT_NE(s.flag, 0u) << "a flag of 0 would leave nothing to wait for";
        switch (s.kind) {
            case SoakKind::Information:
            case SoakKind::Read:
            case SoakKind::Set:
                EXPECT_EQ(group, static_cast<std::uint32_t>(s.kind));
                EXPECT_TRUE(hasRow) << std::hex << s.words[0];
                break;
            case SoakKind::NoSuchGroup:
                EXPECT_GE(group, 3u);
                break;
            case SoakKind::NoSuchCommand:
                EXPECT_TRUE(group < 3 && !hasRow) << std::hex << s.words[0];
                break;
            case SoakKind::WrongNotification:
                EXPECT_FALSE(wire::isRemoteNotification(s.wrongWParam, s.wrongLParam));
                break;
            case SoakKind::FlagError:
                break;
        }
    }
    for (std::size_t k = 0; k < kSoakKinds; ++k)
        EXPECT_GT(seen[k], 1000) << soakKindName(static_cast<SoakKind>(k));
}

TEST(SoakMix, TheSameSeedRepeatsTheRun) {
    SoakMix a(2026), b(2026), c(2027);
    bool differs = false;
    for (int i = 0; i < 100; ++i) {
        const SoakStep x = a.next(someCard()), y = b.next(someCard()), z = c.next(someCard());
        EXPECT_EQ(x.words, y.words);
        EXPECT_EQ(x.flag, y.flag);
        differs = differs || x.words != z.words;
    }
    EXPECT_TRUE(differs);
}

}  // namespace
}  // namespace simboard
