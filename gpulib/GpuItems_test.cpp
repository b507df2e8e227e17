#include "gpulib/GpuItems.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>

#include "gpulib/FakeBackends_test.h"

namespace kelvane {
namespace {

using testing::accessTo;
using testing::entryOf;
using testing::scaleOf;

struct Figures {
    std::int32_t value, min, max, defaultValue, step;
    bool available, supported;
    bool operator==(const Figures&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Figures& f) {
    return out << "value " << f.value << " min " << f.min << " max " << f.max << " default " << f.defaultValue
               << " step " << f.step << (f.available ? " available" : "")
               << (f.supported ? " supported" : "");
}

// The figures as the item holds them, without asking the back end again.
template <typename Item>
Figures figuresOf(Item&& item) {
    GpuOCItemBase& base = item;
    return {base.GpuOCItemBase::GetValue(),
            base.GetMin(),
            base.GetMax(),
            base.GetDefault(),
            base.GetStep(),
            base.IsAvailable(),
            base.IsSupported()};
}

constexpr Figures kNothingRead{0, 0, 0, 0, 0, false, false};

class LumbraVoltage : public ::testing::Test {
  protected:
    testing::LumbraBoard board;
    LumbraLibAccess lumbra = accessTo(board);

    void offerCoreVoltage(GgrpItemInfo scale, std::int32_t stepNumber) {
        board.items[GpuCoreVol::kItemId] = {.scale = scale, .stepNumber = stepNumber};
    }
};

TEST_F(LumbraVoltage, FiguresAreStepsOnTheItemsScale) {
    offerCoreVoltage(scaleOf(800, 25, 9, 4), 2);
    GpuCoreVol core(lumbra);
    EXPECT_EQ(core.GetName(), L"Core Voltage");
    EXPECT_EQ(figuresOf(core), (Figures{850, 800, 1000, 900, 25, true, true}));

    board.items[GpuSPVol::kItemId] = {.scale = scaleOf(-50, 10, 3, 0), .stepNumber = 1};
    GpuSPVol sidePort(lumbra);
    EXPECT_EQ(sidePort.GetName(), L"SidePort Voltage");
    EXPECT_EQ(figuresOf(sidePort), (Figures{-40, -50, -30, -50, 10, true, true}));
}

TEST_F(LumbraVoltage, SetValueSendsTheStepNumberTruncatedTowardZero) {
    offerCoreVoltage(scaleOf(800, 25, 9, 4), 2);
    GpuCoreVol core(lumbra);
    EXPECT_TRUE(core.SetValue(862));
    EXPECT_TRUE(core.SetValue(1000));
    EXPECT_TRUE(core.SetValue(790));  // -10 / 25
    using Sent = std::pair<std::uint32_t, std::int32_t>;
    EXPECT_EQ(
        board.setItems,
        (std::vector<Sent>{{GpuCoreVol::kItemId, 2}, {GpuCoreVol::kItemId, 8}, {GpuCoreVol::kItemId, 0}}));
    EXPECT_EQ(figuresOf(core).value, 850) << "the value is read back, not assumed";
}

TEST_F(LumbraVoltage, GetValueReadsTheStepAgainAndAFailedReadCountsAsStepZero) {
    offerCoreVoltage(scaleOf(800, 25, 9, 4), 2);
    GpuCoreVol core(lumbra);
    board.items[GpuCoreVol::kItemId].stepNumber = 6;
    EXPECT_EQ(core.GetValue(), 950);
    board.items[GpuCoreVol::kItemId].readable = false;
    EXPECT_EQ(core.GetValue(), 800);
}

TEST_F(LumbraVoltage, ItemWithoutScaleOrValueHasNoFiguresAndRefusesValues) {
    offerCoreVoltage(scaleOf(800, 25, 9, 4), 2);
    board.items[GpuCoreVol::kItemId].describable = false;
    GpuCoreVol undescribed(lumbra);
    EXPECT_EQ(figuresOf(undescribed), kNothingRead);

    board.items[GpuCoreVol::kItemId] = {.scale = scaleOf(800, 25, 9, 4), .readable = false};
    GpuCoreVol unreadable(lumbra);
    EXPECT_EQ(figuresOf(unreadable), kNothingRead);

    // Its step is 0: there is no step number for any value, and nothing is sent.
    EXPECT_FALSE(unreadable.SetValue(900));
    EXPECT_FALSE(undescribed.SetValue(0));
    EXPECT_TRUE(board.setItems.empty());
}

TEST_F(LumbraVoltage, ExtremeScalesWrapInsteadOfOverflowing) {
    offerCoreVoltage(scaleOf(INT_MAX, 1, 3, 0), 0);
    EXPECT_EQ(GpuCoreVol(lumbra).GetMax(), INT_MIN + 1) << "2 x 1 + INT_MAX, wrapped";

    offerCoreVoltage(scaleOf(INT_MAX, -1, 3, 0), 0);
    GpuCoreVol falling(lumbra);
    EXPECT_TRUE(falling.SetValue(-1));  // (-1 - INT_MAX) wraps to INT_MIN; INT_MIN / -1 must not trap
    EXPECT_EQ(board.setItems.back().second, INT_MIN);
}

TEST_F(LumbraVoltage, WithoutTheLibraryTheItemIsEmpty) {
    board.initResult = 0;
    GpuCoreVol core(lumbra);
    EXPECT_EQ(figuresOf(core), kNothingRead);
    EXPECT_EQ(core.GetValue(), 0);
}

// A block whose every byte differs, so that any byte moved or lost shows.
AmdClockInfo patternedBlock() {
    AmdClockInfo block;
    auto* bytes = reinterpret_cast<std::uint8_t*>(&block);
    for (std::size_t i = 0; i < sizeof block; ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + 3);
    block.core = entryOf(500, 300, 1200, 600, 5);
    block.memory = entryOf(900, 400, 1000, 800, 10);
    block.voltage = entryOf(1100, 900, 1300, 1000, 25);
    for (AmdClockEntry* e : {&block.core, &block.memory, &block.voltage})
        for (std::size_t i = 0; i < sizeof e->carriedAlong; ++i)
            e->carriedAlong[i] = static_cast<std::uint8_t>(i ^ 0x5A);
    return block;
}

class AmdClocks : public ::testing::Test {
  protected:
    testing::FakeRedcard redcard;
    testing::LumbraBoard board;
    LumbraLibAccess lumbra = accessTo(board);

    void SetUp() override {
        redcard.cards.resize(2);
        redcard.cards[0].clocks = patternedBlock();
        redcard.cards[1].clocks = patternedBlock();
    }
};

TEST_F(AmdClocks, EachClassTakesItsEntryOfTheBlock) {
    redcard.cards[1].integrated = true;
    GpuCoreClkAmd core(redcard, lumbra, 0);
    GpuMemoryClkAmd memory(redcard, 0);
    GpuVoltageAmd voltage(redcard, 0);
    EXPECT_EQ(figuresOf(core), (Figures{500, 300, 1200, 600, 5, true, true}));
    EXPECT_EQ(figuresOf(memory), (Figures{900, 400, 1000, 800, 10, true, true}));
    EXPECT_EQ(figuresOf(voltage), (Figures{1100, 900, 1300, 1000, 25, true, true}));
    EXPECT_EQ(core.GetName(), L"Core Clock");
    EXPECT_EQ(memory.GetName(), L"Memory Clock");
    EXPECT_EQ(voltage.GetName(), L"Voltage Clock");

    GpuSidePortClkAmd sidePort(redcard, lumbra, 1);  // integrated: the memory entry, Lumbra's range
    EXPECT_EQ(sidePort.GetName(), L"SidePort Clock");
    EXPECT_EQ(figuresOf(sidePort).value, 900);
}

TEST_F(AmdClocks, IntegratedClockRangesAreLumbrasInHundredths) {
    redcard.cards[0].integrated = true;
    board.items[GpuCoreClkAmd::kIntegratedRangeItem] = {.scale = scaleOf(20000, 100, 51, 10),
                                                        .stepNumber = 3};
    board.items[GpuSidePortClkAmd::kIntegratedRangeItem] = {.scale = scaleOf(-100, 250, 3, 1)};
    GpuCoreClkAmd core(redcard, lumbra, 0);
    EXPECT_EQ(figuresOf(core), (Figures{500, 200, 250, 210, 1, true, true})) << "the value stays the block's";
    GpuSidePortClkAmd sidePort(redcard, lumbra, 0);
    // Unsigned division: -100 is 4294967196, whose hundredth is 42949671.
    EXPECT_EQ(figuresOf(sidePort), (Figures{900, 42949671, 4, 1, 2, true, true}));
}

TEST_F(AmdClocks, IntegratedClockIsUnavailableWhileLumbraCannotReadItsItem) {
    redcard.cards[0].integrated = true;
    board.items[GpuCoreClkAmd::kIntegratedRangeItem] = {.supported = false,
                                                        .scale = scaleOf(20000, 100, 51, 10)};
    GpuCoreClkAmd unsupported(redcard, lumbra, 0);
    EXPECT_EQ(figuresOf(unsupported), (Figures{500, 200, 250, 210, 1, false, true}));

    board.items[GpuCoreClkAmd::kIntegratedRangeItem] = {.scale = scaleOf(20000, 100, 51, 10),
                                                        .readable = false};
    EXPECT_FALSE(GpuCoreClkAmd(redcard, lumbra, 0).IsAvailable());

    board.items.clear();  // no description either: the range is all zeros
    EXPECT_EQ(figuresOf(GpuCoreClkAmd(redcard, lumbra, 0)), (Figures{500, 0, 0, 0, 0, false, true}));
}

TEST_F(AmdClocks, DiscreteCardsDoNotAskLumbra) {
    GpuCoreClkAmd core(redcard, lumbra, 0);
    EXPECT_EQ(board.instancesMade, 0);
    EXPECT_TRUE(core.IsAvailable());
}

TEST_F(AmdClocks, UnsupportedEntryOrUnreadBlockGivesNoFigures) {
    redcard.cards[0].clocks.memory.supported = 0;
    GpuMemoryClkAmd memory(redcard, 0);
    EXPECT_FALSE(memory.IsSupported());
    EXPECT_EQ(memory.GetMax(), 0);
    EXPECT_EQ(figuresOf(memory), kNothingRead);

    redcard.cards[1].clocksReadable = false;
    EXPECT_EQ(figuresOf(GpuCoreClkAmd(redcard, lumbra, 1)), kNothingRead);
    EXPECT_EQ(std::count(redcard.calls.begin(), redcard.calls.end(), "Amd_IsIntegrated(1)"), 0);
}

TEST_F(AmdClocks, SettingChangesOnlyTheCurrentValueOfTheBlockJustRead) {
    GpuVoltageAmd voltage(redcard, 1);
    AmdClockInfo onCard = redcard.cards[1].clocks;
    onCard.core.current = 777;  // the card moved on since the item was made
    onCard.memory.carriedAlong[100] = 0xEE;
    redcard.cards[1].clocks = onCard;

    EXPECT_TRUE(voltage.SetValue(1150));
    ASSERT_EQ(redcard.sent.size(), 1u);
    AmdClockInfo expected = onCard;
    expected.voltage.current = 1150;
    EXPECT_EQ(std::memcmp(&redcard.sent[0], &expected, sizeof expected), 0);
    EXPECT_EQ(std::memcmp(&redcard.sent[0].core, &onCard.core, 2 * sizeof(AmdClockEntry)), 0)
        << "core and memory entries go back byte for byte";
    EXPECT_EQ(redcard.calls.back(), "Amd_SetGpuClockInfo(1)");

    EXPECT_EQ(voltage.GpuOCItemBase::GetValue(), 1100) << "SetValue does not assume success";
    EXPECT_EQ(voltage.GetValue(), 1150) << "GetValue reads the applied value back";
    redcard.setResult = false;
    EXPECT_FALSE(voltage.SetValue(1200)) << "the back end's answer is the item's";
}

TEST_F(AmdClocks, FailedReadKeepsThePreviousCopyOfTheBlock) {
    GpuCoreClkAmd core(redcard, lumbra, 0);
    redcard.cards[0].clocks.core.current = 650;
    EXPECT_EQ(core.GetValue(), 650);
    redcard.cards[0].clocksReadable = false;
    EXPECT_EQ(core.GetValue(), 650);
    core.SetValue(700);
    EXPECT_EQ(redcard.sent.back().core.current, 700);
    EXPECT_EQ(redcard.sent.back().memory.current, 900);
}

}  // namespace
}  // namespace kelvane
