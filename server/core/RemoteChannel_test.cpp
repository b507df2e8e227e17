#include "server/core/RemoteChannel.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "server/core/GreencardRoles_test.h"

namespace kelvane {
namespace {

using namespace wire;

struct Access {
    char op;  // 'r' or 'w'
    std::uint32_t id;
    std::uint32_t value;
    bool operator==(const Access&) const = default;
};

// Behaves like the ACPI bank (the data register reaches the selected word) and records every access.
class RecordingBus : public RegisterBus {
  public:
    std::uint32_t flag = 1;
    std::uint32_t selector = 0;
    std::uint32_t words[3] = {};
    std::vector<Access> accesses;

    std::uint32_t read(std::uint32_t id) override {
        std::uint32_t v = id == kFlagRegister ? flag : id == kDataRegister ? words[selector % 3] : selector;
        accesses.push_back({'r', id, v});
        return v;
    }
    void write(std::uint32_t id, std::uint32_t value) override {
        accesses.push_back({'w', id, value});
        if (id == kFlagRegister) flag = value;
        if (id == kSelectorRegister) selector = value;
        if (id == kDataRegister) words[selector % 3] = value;
    }
};

class RecordingLog : public LogSink {
  public:
    std::vector<std::string> lines;
    void addLine(std::string_view text) override { lines.emplace_back(text); }
};

struct BackendCall {
    std::string entry;
    std::uint32_t card;
    NvClockInfo record;
};

// A card that reports fixed values; applied records are remembered, not read back.
class FakeCard : public GreencardRoles {
  public:
    NvClockInfo reported{};
    std::vector<BackendCall> calls;

    void readFan(std::uint32_t card, NvClockInfo& r) override {
        calls.push_back({"readFan", card, r});
        r.fan.current = reported.fan.current;
    }
    void readClocks(std::uint32_t card, NvClockInfo& r) override {
        calls.push_back({"readClocks", card, r});
        r.core = reported.core;
        r.memory = reported.memory;
        r.voltage = reported.voltage;
    }
    void applyClocks(std::uint32_t card, const NvClockInfo& r) override {
        calls.push_back({"applyClocks", card, r});
    }
    void applyFan(std::uint32_t card, const NvClockInfo& r) override {
        calls.push_back({"applyFan", card, r});
    }

    std::vector<BackendCall> applied() const {
        std::vector<BackendCall> out;
        for (const auto& c : calls)
            if (c.entry.starts_with("apply")) out.push_back(c);
        return out;
    }
};

class FixedDatabase : public CardDatabase {
  public:
    std::int32_t model = 3;
    std::int32_t version = 1;
    std::vector<std::uint32_t> lookups;
    std::int32_t lookupModelId(std::uint32_t card) override {
        lookups.push_back(card);
        return model;
    }
    std::int32_t readVersion() override { return version; }
    ModelDefaults modelDefaults(std::int32_t) override { return {}; }
    void recordMaxVoltage(std::int32_t) override {}
};

NvClockEntry entry(std::int32_t current, std::int32_t min, std::int32_t max, std::int32_t def,
                   bool supported) {
    return {current, min, max, def, 0x5A5A, supported ? 1 : 0};
}

class ChannelTest : public ::testing::Test {
  protected:
    RecordingBus bus;
    RecordingLog log;
    CardState cards;
    FakeCard card;
    FixedDatabase database;
    std::vector<std::uint32_t> fanShown;
    RemoteChannel channel{
        {bus, log, cards, &card, &database, [this](std::uint32_t f) { fanShown.push_back(f); }}};

    void activate() {
        cards.greencardActive = true;
        cards.cardCount = 4;
        card.reported.core = entry(705, 300, 1200, 700, true);
        card.reported.memory = entry(1848, 400, 2000, 924, true);
        card.reported.voltage = entry(1050, 800, 1138, 1075, true);
        card.reported.fan.current = 40;
    }

    RemoteAnswer request(std::uint32_t w0, std::uint32_t w1 = 0, std::uint32_t w2 = 0) {
        return channel.processRequest(w0, w1, w2);
    }
    static std::uint32_t word0(std::uint32_t group, std::uint32_t command, std::uint32_t low = 0,
                               std::uint32_t cardIndex = 0) {
        return group << 28 | cardIndex << 24 | command << 16 | low;
    }
    bool answered(const RemoteAnswer& a, std::uint32_t a0, std::uint32_t a1, std::uint32_t a2) {
        return a.words[0] == a0 && a.words[1] == a1 && a.words[2] == a2;
    }
};

TEST_F(ChannelTest, NotificationWithOtherWParamOrLParamTouchesNoRegister) {
    for (auto [w, l] :
         {std::pair{0x54u, 0xA0020000u}, {0x54u, 0xECu}, {0x55u, 0xEDu}, {0x55u, 0xA0020001u}, {0u, 0u}})
        channel.onNotification(w, l);
    EXPECT_TRUE(bus.accesses.empty());
    EXPECT_TRUE(log.lines.empty());
}

TEST_F(ChannelTest, FlagOtherThanOneGetsTheErrorAnswerAndNothingElse) {
    for (std::uint32_t flag : {0u, 2u, 0xFFFFFFFFu}) {
        bus.accesses.clear();
        log.lines.clear();
        bus.flag = flag;
        channel.onNotification(0x55, 0xEC);
        const std::vector<Access> expected = {{'r', kFlagRegister, flag},
                                              {'w', kSelectorRegister, 0},
                                              {'w', kDataRegister, kFlagErrorWord},
                                              {'w', kFlagRegister, 0}};
        EXPECT_EQ(bus.accesses, expected) << "flag " << flag;
        EXPECT_EQ(log.lines, (std::vector<std::string>{"Get Notify....", "Flag err..."}));
    }
}

TEST_F(ChannelTest, WaitingRequestIsReadWordByWordAnsweredAndFlagClearedLast) {
    bus.words[0] = 0x10030000;  // read memory current: no back end, so nothing filled
    bus.words[1] = 77;
    bus.words[2] = 4000000000u;
    channel.onNotification(0x55, 0xA0020000);
    const std::vector<Access> expected = {
        {'r', kFlagRegister, 1},           {'w', kSelectorRegister, 0}, {'r', kDataRegister, 0x10030000},
        {'w', kSelectorRegister, 1},       {'r', kDataRegister, 77},    {'w', kSelectorRegister, 2},
        {'r', kDataRegister, 4000000000u}, {'w', kSelectorRegister, 0}, {'w', kDataRegister, 0},
        {'w', kSelectorRegister, 1},       {'w', kDataRegister, 0},     {'w', kSelectorRegister, 2},
        {'w', kDataRegister, 0},           {'w', kFlagRegister, 0}};
    EXPECT_EQ(bus.accesses, expected);
    const std::vector<std::string> lines = {
        "Get Notify....", "fun == 0x01", "data -->0", "268632064", "data -->1", "77",        "data -->2",
        "4000000000",     "Data--->",    "0",         "Data1--->", "0",         "Data2--->", "0"};
    EXPECT_EQ(log.lines, lines);
    EXPECT_TRUE(card.calls.empty()) << "an inactive back end is never called";
}

TEST_F(ChannelTest, WithoutBackEndSetAnswersOneAndNothingElseIsFilled) {
    cards.cardCount = 4;
    EXPECT_TRUE(answered(request(0x20070320, 0x0384044C, 0x002C0000), 1, 0, 0));
    EXPECT_TRUE(answered(request(word0(0, 1)), 0, 0, 0));
    EXPECT_TRUE(answered(request(word0(1, 10)), 0, 0, 0));
    EXPECT_TRUE(card.calls.empty());
    EXPECT_FALSE(channel.voltageLatch());
    EXPECT_TRUE(fanShown.empty());
}

TEST_F(ChannelTest, EveryRequestRefreshesFanThenClocksOfCardZeroFirst) {
    activate();
    request(word0(0, 1));
    ASSERT_EQ(card.calls.size(), 2u);
    EXPECT_EQ(card.calls[0].entry, "readFan");
    EXPECT_EQ(card.calls[1].entry, "readClocks");
    EXPECT_EQ(card.calls[0].card, 0u);
    EXPECT_EQ(card.calls[1].card, 0u);
}

TEST_F(ChannelTest, InformationCommands) {
    activate();
    EXPECT_TRUE(answered(request(word0(0, 1)), 4, 0, 0));
    EXPECT_TRUE(answered(request(word0(0, 2, 0, 9)), 3, 0, 0));
    EXPECT_EQ(database.lookups.back(), 9u) << "command 2 asks for the card index of word 0";
    EXPECT_TRUE(answered(request(word0(0, 3)), 1, 0, 0));
    EXPECT_TRUE(answered(request(word0(0, 4)), 0, 0, 0));
    EXPECT_TRUE(answered(request(word0(0, 5)), 4, 0, 0));
    EXPECT_TRUE(answered(request(word0(0, 6)), 1, 0, 0));
    EXPECT_TRUE(answered(request(word0(0, 7)), 0x41030110, 0, 0));
    for (std::uint32_t command : {0u, 8u, 9u, 15u})
        EXPECT_TRUE(answered(request(word0(0, command)), 0, 0, 0)) << command;
}

TEST_F(ChannelTest, BoardInfoPartsAreAddedNotMasked) {
    activate();
    database.model = 0x1FF;  // wider than its byte: spills into the "1" field above it
    database.version = 0x102;
    const std::uint32_t expected = 4u * (1u << 28) + (1u << 24) + 0x1FFu * 65536u + 0x102u * 256u + 16u;
    EXPECT_TRUE(answered(request(word0(0, 7)), expected, 0, 0));
}

TEST_F(ChannelTest, ReadCommandsFillTheirOwnWordFromTheRefreshedRecord) {
    activate();
    EXPECT_TRUE(answered(request(word0(1, 1)), 705, 0, 0));
    EXPECT_TRUE(answered(request(word0(1, 2)), 0x04B0012C, 0, 0));
    EXPECT_TRUE(answered(request(word0(1, 3)), 0, 924, 0));
    EXPECT_TRUE(answered(request(word0(1, 4)), 0, 2000u * 65536 + 400, 0));
    EXPECT_TRUE(answered(request(word0(1, 5)), 700, 0, 0));
    EXPECT_TRUE(answered(request(word0(1, 6)), 0, 924, 0));
    EXPECT_TRUE(answered(request(word0(1, 7)), 0, 0, 1050));
    EXPECT_TRUE(answered(request(word0(1, 8)), 0, 0, 1138u * 65536 + 800));
    EXPECT_TRUE(answered(request(word0(1, 9)), 0, 0, 1075));
    EXPECT_TRUE(answered(request(word0(1, 10)), 705, 924u * 65536 + 1050, 40u * 65536));
    for (std::uint32_t command : {0u, 11u, 12u, 15u})
        EXPECT_TRUE(answered(request(word0(1, command)), 0, 0, 0)) << command;
}

TEST_F(ChannelTest, ReadLogsItsRowTextBeforeTheAnswer) {
    activate();
    request(word0(1, 8));
    ASSERT_GE(log.lines.size(), 7u);
    EXPECT_EQ(log.lines[0], "[Vol] Range---T");
    EXPECT_EQ(log.lines[1], "Data--->");
}

TEST_F(ChannelTest, MemoryCurrentIsHalvedAsUnsignedShift) {
    activate();
    card.reported.memory.current = -2;  // 0xFFFFFFFE
    EXPECT_TRUE(answered(request(word0(1, 3)), 0, 0x7FFFFFFF, 0));
}

TEST_F(ChannelTest, SetAllAppliesToEveryCardInOrderAndLatchesTheVoltage) {
    activate();
    card.calls.clear();
    EXPECT_TRUE(answered(request(0x20070320, 0x0384044C, 0x002C0000), 1, 0, 0));
    const auto applied = card.applied();
    ASSERT_EQ(applied.size(), 8u);
    for (std::uint32_t i = 0; i < 4; ++i) {
        EXPECT_EQ(applied[2 * std::size_t{i}].entry, "applyClocks");
        EXPECT_EQ(applied[2 * std::size_t{i} + 1].entry, "applyFan");
        for (const auto& call : {applied[2 * std::size_t{i}], applied[2 * std::size_t{i} + 1]}) {
            EXPECT_EQ(call.card, i);
            EXPECT_EQ(call.record.core.current, 800);
            EXPECT_EQ(call.record.memory.current, 1800);
            EXPECT_EQ(call.record.voltage.current, 1100);
            EXPECT_EQ(call.record.fan.current, 44);
            EXPECT_EQ(call.record.core.passThrough, 0x5A5A) << "words the channel does not own pass through";
        }
    }
    EXPECT_TRUE(channel.voltageLatch());
    EXPECT_EQ(channel.lastSetVoltage(), 1100);
    EXPECT_EQ(fanShown, (std::vector<std::uint32_t>{44, 44, 44, 44}));

    // The card keeps reporting its own voltage, but the latched set value is what command 10 reports.
    const auto all = request(word0(1, 10));
    EXPECT_EQ(all.words[1] & 0xFFFF, 1100u);
    EXPECT_EQ(all.words[1] >> 16, 924u);
}

TEST_F(ChannelTest, VoltageLatchIsSetOnlyByAPositiveVoltageAndNeverCleared) {
    activate();
    request(0x20070000, 0x00000000, 0);
    EXPECT_FALSE(channel.voltageLatch()) << "voltage 0 does not latch";
    EXPECT_EQ(request(word0(1, 10)).words[1] & 0xFFFF, 1050u) << "unlatched: the card's own voltage";
    request(0x20070000, 0x00000500, 0);
    EXPECT_TRUE(channel.voltageLatch());
    request(0x20070000, 0x00000000, 0);
    EXPECT_TRUE(channel.voltageLatch());
    EXPECT_EQ(request(word0(1, 10)).words[1] & 0xFFFF, 0u) << "latched: the last set value, even 0";
}

TEST_F(ChannelTest, SingleCardSetsApplyToCardZeroOnlyWhenSupported) {
    activate();
    card.calls.clear();
    request(word0(2, 1, 650));
    request(word0(2, 2), 1000u << 16);
    request(word0(2, 3), 990);
    auto applied = card.applied();
    ASSERT_EQ(applied.size(), 3u);
    for (const auto& call : applied) EXPECT_EQ(call.card, 0u);
    EXPECT_EQ(applied[0].record.core.current, 650);
    EXPECT_EQ(applied[1].record.memory.current, 2000);
    EXPECT_EQ(applied[2].record.voltage.current, 990);

    card.reported.core.supported = 0x100;  // only the low byte counts
    card.reported.memory.supported = 0;
    card.reported.voltage.supported = 0;
    card.calls.clear();
    EXPECT_TRUE(answered(request(word0(2, 1, 650)), 1, 0, 0));
    EXPECT_TRUE(answered(request(word0(2, 2), 1000u << 16), 1, 0, 0));
    EXPECT_TRUE(answered(request(word0(2, 3), 990), 1, 0, 0));
    EXPECT_TRUE(card.applied().empty());
}

TEST_F(ChannelTest, EveryCardSetsIgnoreTheSupportedFlag) {
    activate();
    card.reported.core.supported = 0;
    card.calls.clear();
    request(word0(2, 4, 640));
    request(word0(2, 5), 950u << 16);
    request(word0(2, 6), 1010);
    const auto applied = card.applied();
    ASSERT_EQ(applied.size(), 12u);
    for (std::size_t i = 0; i < applied.size(); ++i) {
        EXPECT_EQ(applied[i].entry, "applyClocks");
        EXPECT_EQ(applied[i].card, i % 4);
    }
    EXPECT_EQ(applied[0].record.core.current, 640);
    EXPECT_EQ(applied[4].record.memory.current, 1900);
    EXPECT_EQ(applied[8].record.voltage.current, 1010);
}

TEST_F(ChannelTest, UnknownSetCommandsAndGroupsApplyNothing) {
    activate();
    card.calls.clear();
    for (std::uint32_t command : {0u, 8u, 11u, 15u})
        EXPECT_TRUE(answered(request(word0(2, command, 500)), 1, 0, 0)) << command;
    for (std::uint32_t group : {3u, 7u, 15u})
        EXPECT_TRUE(answered(request(word0(group, 1)), 0, 0, 0)) << group;
    EXPECT_TRUE(card.applied().empty());
}

TEST_F(ChannelTest, ZeroCardCountVisitsNoCard) {
    activate();
    cards.cardCount = 0;
    card.calls.clear();
    request(0x20070320, 0x0384044C, 0x002C0000);
    EXPECT_TRUE(card.applied().empty());
    EXPECT_FALSE(channel.voltageLatch());
}

}  // namespace
}  // namespace kelvane
