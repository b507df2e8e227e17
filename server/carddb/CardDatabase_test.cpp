#include "server/carddb/CardDatabase.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "server/core/DefaultLoader.h"
#include "server/core/GreencardRoles_test.h"

namespace kelvane {
namespace {

std::string ascii(std::u16string_view text) { return std::string(text.begin(), text.end()); }

// An INI file held in memory that records every access in order. Matching is exact here: the
// platform's own matching rules are tested against real files under Windows.
class RecordingProfile : public ProfileFile {
  public:
    std::map<std::pair<std::string, std::string>, std::int32_t> values;
    std::vector<std::string> accesses;

    std::int32_t readInt(std::u16string_view section, std::u16string_view key,
                         std::int32_t fallback) override {
        accesses.push_back("read [" + ascii(section) + "] " + ascii(key));
        const auto found = values.find({ascii(section), ascii(key)});
        return found == values.end() ? fallback : found->second;
    }
    void writeString(std::u16string_view section, std::u16string_view key,
                     std::u16string_view value) override {
        accesses.push_back("write [" + ascii(section) + "] " + ascii(key) + "=" + ascii(value));
    }
};

class FixedNames : public CardNameSource {
  public:
    std::vector<std::u16string> names{u"Kelvane Vortex 880"};
    std::u16string cardName(std::uint32_t card) override { return card < names.size() ? names[card] : u""; }
};

class RecordingCard : public GreencardRoles {
  public:
    std::vector<std::pair<std::string, std::uint32_t>> calls;
    std::vector<NvClockInfo> records;
    void applyClocks(std::uint32_t card, const NvClockInfo& r) override {
        calls.push_back({"applyClocks", card});
        records.push_back(r);
    }
    void applyFan(std::uint32_t card, const NvClockInfo& r) override {
        calls.push_back({"applyFan", card});
        records.push_back(r);
    }
};

class CardDatabaseTest : public ::testing::Test {
  protected:
    RecordingProfile file;
    FixedNames names;
    RecordingCard card;
    InfoIniDatabase database{file, names};
    CardState cards{{}, 4, true};
};

TEST(ModelSection, AnyModelIdGivesItsOwnSection) {
    EXPECT_EQ(modelSection(3), u"3_NV");
    EXPECT_EQ(modelSection(0), u"0_NV");
    EXPECT_EQ(modelSection(999999), u"999999_NV");
    EXPECT_EQ(modelSection(1234567), u"1234567_NV") << "more than six digits is not cut or overflowed";
    EXPECT_EQ(modelSection(-2147483647 - 1), u"-2147483648_NV");
}

TEST_F(CardDatabaseTest, ModelIdIsTheCardNamesValueInNameNvWithZeroForUnlisted) {
    file.values[{"Name_NV", "Kelvane Vortex 880"}] = 3;
    EXPECT_EQ(database.lookupModelId(0), 3);
    EXPECT_EQ(database.lookupModelId(1), 0) << "a name that is not listed is model 0";
}

TEST_F(CardDatabaseTest, VersionDefaultsToOne) {
    EXPECT_EQ(database.readVersion(), 1);
    file.values[{"Version", "Ver"}] = 7;
    EXPECT_EQ(database.readVersion(), 7);
}

TEST_F(CardDatabaseTest, DefaultsOfTheModelReachEveryCardReadAgainForEach) {
    file.values[{"Name_NV", "Kelvane Vortex 880"}] = 3;
    file.values[{"3_NV", "core_def"}] = 800;
    file.values[{"3_NV", "vcore_max "}] = 1200;
    cards.record.core.maximum = 1500;  // words the defaults do not set keep their values
    cards.record.fan.passThrough = 9;
    loadDefaults(cards, card, database);

    ASSERT_EQ(card.calls.size(), 8u);
    for (std::uint32_t i = 0; i < 4; ++i) {
        EXPECT_EQ(card.calls[2 * std::size_t{i}], (std::pair<std::string, std::uint32_t>{"applyClocks", i}));
        EXPECT_EQ(card.calls[2 * std::size_t{i} + 1], (std::pair<std::string, std::uint32_t>{"applyFan", i}));
    }
    for (const NvClockInfo& r : card.records) {
        EXPECT_EQ(r.core.current, 800);
        EXPECT_EQ(r.memory.current, 1848) << "memory is doubled in the record";
        EXPECT_EQ(r.voltage.current, 1075);
        EXPECT_EQ(r.fan.current, 44);
        EXPECT_EQ(r.core.maximum, 1500);
        EXPECT_EQ(r.fan.passThrough, 9);
    }
    const std::vector<std::string> expectedStart = {"read [Name_NV] Kelvane Vortex 880",
                                                    "read [3_NV] vcore_max ",
                                                    "write [Voltage] Large=1200",
                                                    "read [3_NV] core_def",
                                                    "read [3_NV] memory_def",
                                                    "read [3_NV] vcore_def",
                                                    "read [3_NV] fan_def"};
    ASSERT_EQ(file.accesses.size(), 3u + 4u * 4u) << "the four defaults are read once per card";
    EXPECT_EQ(std::vector<std::string>(file.accesses.begin(), file.accesses.begin() + 7), expectedStart);
}

TEST_F(CardDatabaseTest, UnlistedCardUsesModelZeroSectionAndBuiltInDefaults) {
    names.names = {u"Unknown Card"};
    cards.cardCount = 1;
    loadDefaults(cards, card, database);
    EXPECT_EQ(file.accesses[1], "read [0_NV] vcore_max ");
    EXPECT_EQ(file.accesses[2], "write [Voltage] Large=1138");
    ASSERT_EQ(card.records.size(), 2u);
    EXPECT_EQ(card.records[0].core.current, 700);
    EXPECT_EQ(card.records[0].memory.current, 1848);
    EXPECT_EQ(card.records[0].voltage.current, 1075);
    EXPECT_EQ(card.records[0].fan.current, 44);
}

TEST_F(CardDatabaseTest, InactiveBackEndNeitherReadsNorWritesTheFile) {
    cards.greencardActive = false;
    loadDefaults(cards, card, database);
    EXPECT_TRUE(file.accesses.empty());
    EXPECT_TRUE(card.calls.empty());
}

}  // namespace
}  // namespace kelvane
