#include "mainboard/tools/common/LinkVerbs.h"

#include <gtest/gtest.h>

#include <set>
#include <tuple>

namespace simboard {
namespace {

TEST(LinkVerbs, EveryTableRowHasOneVerbAndNamesAreUnique) {
    std::set<std::pair<std::uint32_t, std::uint32_t>> commands;
    std::set<std::pair<std::string_view, std::string_view>> names;
    for (const LinkVerb& v : linkVerbs()) {
        EXPECT_TRUE(commands.insert({v.groupNumber, v.command}).second) << v.name;
        EXPECT_TRUE(names.insert({v.group, v.name}).second) << v.name;
        kvr_command kit{};
        ASSERT_EQ(kvr_command_of(KVR_WORD0(v.groupNumber, 0, v.command, 0), &kit), KVR_OK) << v.name;
        EXPECT_EQ(kit, v.kit) << v.name;
    }
    EXPECT_EQ(commands.size(), 7u + 10u + 7u);
}

TEST(LinkVerbs, EachVerbSendsTheWordZeroOfItsRow) {
    const std::tuple<std::string_view, std::string_view, std::uint32_t> rows[] = {
        {"info", "count", 0x00010000},       {"info", "model", 0x00020000},
        {"info", "cmd3", 0x00030000},        {"info", "capability", 0x00040000},
        {"info", "count5", 0x00050000},      {"info", "cmd6", 0x00060000},
        {"info", "board", 0x00070000},       {"read", "core", 0x10010000},
        {"read", "core-range", 0x10020000},  {"read", "mem", 0x10030000},
        {"read", "mem-range", 0x10040000},   {"read", "core-default", 0x10050000},
        {"read", "mem-default", 0x10060000}, {"read", "volt", 0x10070000},
        {"read", "volt-range", 0x10080000},  {"read", "volt-default", 0x10090000},
        {"read", "all", 0x100A0000},         {"set", "core", 0x20010000},
        {"set", "mem", 0x20020000},          {"set", "volt", 0x20030000},
        {"set", "core-each", 0x20040000},    {"set", "mem-each", 0x20050000},
        {"set", "volt-each", 0x20060000},    {"set", "all", 0x20070000}};
    for (const auto& [group, name, word] : rows) {
        const LinkVerb* verb = findVerb(group, name);
        ASSERT_NE(verb, nullptr) << group << " " << name;
        Words w{};
        ASSERT_EQ(encodeRequest(*verb, 0, {}, w), KVR_OK);
        EXPECT_EQ(w[0], word) << group << " " << name;
    }
}

TEST(LinkVerbs, SetAllBuildsTheWordsOfTheWireFormat) {
    const LinkVerb* all = findVerb("set", "all");
    ASSERT_NE(all, nullptr);
    Words w{};
    ASSERT_EQ(encodeRequest(*all, 0, {.core = 800, .memory = 900, .voltage = 1100, .fan = 44}, w), KVR_OK);
    EXPECT_EQ(w, (Words{0x20070320, 0x0384044C, 0x002C5A5A})) << "the kit's marker in word 2's low half";
    EXPECT_EQ(describeRequest(w), "set all core 800, memory 900, voltage 1100, fan 44");
}

TEST(LinkVerbs, ValuesOutsideTheirFieldsAreRefusedNotCut) {
    Words w = {7, 7, 7};
    EXPECT_EQ(encodeRequest(*findVerb("info", "model"), 0x1F, {}, w), KVR_INVALID_ARGUMENT);
    EXPECT_EQ(encodeRequest(*findVerb("set", "core"), 0, {0x12345, 0, 0, 0}, w), KVR_INVALID_ARGUMENT);
    EXPECT_EQ(w, (Words{7, 7, 7}));
}

TEST(LinkVerbs, AnswersAreDecodedByShape) {
    EXPECT_EQ(describeAnswer(*findVerb("read", "core-range"), {0x04B0012C, 0, 0}), "min 300, max 1200");
    EXPECT_EQ(describeAnswer(*findVerb("read", "mem"), {0, 924, 0}), "924");
    EXPECT_EQ(describeAnswer(*findVerb("info", "board"), {0x41030110, 0, 0}), "cards 4, model 3, version 1");
    EXPECT_EQ(describeAnswer(*findVerb("read", "all"), {800, 900u << 16 | 1100, 44u << 16}),
              "core 800, memory 900, voltage 1100, fan 44");
    EXPECT_EQ(describeAnswer(*findVerb("set", "volt"), {1, 0, 0}), "done (1)");
}

TEST(LinkVerbs, UnknownCommandsAreNamedAsSuch) {
    EXPECT_EQ(describeRequest({0x300F0000, 0, 0}), "group 3, command 15 (no such command)");
    EXPECT_EQ(describeRequest({0x000B0000, 0, 0}), "group 0, command 11 (no such command)");
}

}  // namespace
}  // namespace simboard
