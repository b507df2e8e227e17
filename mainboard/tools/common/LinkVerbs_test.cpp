#include "mainboard/tools/common/LinkVerbs.h"

#include <gtest/gtest.h>

#include <set>

namespace simboard {
namespace {

TEST(LinkVerbs, EveryTableRowHasOneVerbAndNamesAreUnique) {
    std::set<std::pair<std::uint32_t, std::uint32_t>> commands;
    std::set<std::pair<std::string_view, std::string_view>> names;
    for (const LinkVerb& v : linkVerbs()) {
        EXPECT_TRUE(commands.insert({v.groupNumber, v.command}).second) << v.name;
        EXPECT_TRUE(names.insert({v.group, v.name}).second) << v.name;
    }
    EXPECT_EQ(commands.size(), 7u + 10u + 7u);
}

TEST(LinkVerbs, SetAllBuildsTheWordsOfTheWireFormat) {
    const LinkVerb* all = findVerb("set", "all");
    ASSERT_NE(all, nullptr);
    const Words w = buildRequest(*all, {.core = 800, .memory = 900, .voltage = 1100, .fan = 44});
    EXPECT_EQ(w, (Words{0x20070320, 0x0384044C, 0x002C0000}));
    EXPECT_EQ(describeRequest(w), "set all core 800, memory 900, voltage 1100, fan 44");
}

TEST(LinkVerbs, ValuesAreCutToTheirFieldsNotSpilledIntoNeighbours) {
    const Words w = buildRequest(*findVerb("info", "model"), {.cardIndex = 0x1F, .core = 0x12345});
    EXPECT_EQ(w[0], 0x0F022345u);
}

TEST(LinkVerbs, AnswersAreDecodedByShape) {
    EXPECT_EQ(describeAnswer(*findVerb("read", "core-range"), {0x04B0012C, 0, 0}), "min 300, max 1200");
    EXPECT_EQ(describeAnswer(*findVerb("read", "mem"), {0, 924, 0}), "924");
    EXPECT_EQ(describeAnswer(*findVerb("info", "board"), {0x41030110, 0, 0}), "cards 4, model 3, version 1");
    EXPECT_EQ(describeAnswer(*findVerb("read", "all"), {800, 900u << 16 | 1100, 44u << 16}),
              "core 800, memory 900, voltage 1100, fan 44");
}

TEST(LinkVerbs, UnknownCommandsAreNamedAsSuch) {
    EXPECT_EQ(describeRequest({0x300F0000, 0, 0}), "group 3, command 15 (no such command)");
    EXPECT_EQ(describeRequest({0x000B0000, 0, 0}), "group 0, command 11 (no such command)");
}

}  // namespace
}  // namespace simboard
