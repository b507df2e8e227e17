#include "protocol/RemoteLink.h"

#include <gtest/gtest.h>

#include <utility>

namespace wire {
namespace {

TEST(RemoteRequestDecode, SplitsFieldsAndReadsFanOnlyForSetAll) {
    const auto setAll = RemoteRequest::decode(0x2B070320, 0x0384044C, 0x002C1234);
    EXPECT_EQ(setAll.group, 2u);
    EXPECT_EQ(setAll.cardIndex, 0xBu);
    EXPECT_EQ(setAll.command, 7u);
    EXPECT_EQ(setAll.core, 800u);
    EXPECT_EQ(setAll.memory, 900u);
    EXPECT_EQ(setAll.voltage, 1100u);
    EXPECT_EQ(setAll.fan, 44u);

    EXPECT_EQ(RemoteRequest::decode(0x20060000, 0, 0x002C0000).fan, 0u) << "word 2 belongs to set-all only";
    EXPECT_EQ(RemoteRequest::decode(0x10070000, 0, 0x002C0000).fan, 0u);
    EXPECT_EQ(RemoteRequest::decode(0xF0F00000, 0, 0).group, 0xFu);
    EXPECT_EQ(RemoteRequest::decode(0x00F00000, 0, 0).command, 0u)
        << "bits 23..20 are not part of the command";
}

// Word 0 of each command as the remote side sends it, with every other field 0.
template <typename Command>
std::uint32_t word0Of(RequestGroup group, Command command) {
    return RemoteRequest{.group = wireNumber(group), .command = wireNumber(command)}.encode()[0];
}

TEST(CommandTables, EveryNameHasTheWireNumberOfItsRow) {
    const std::pair<InfoCommand, std::uint32_t> info[] = {{InfoCommand::CardCount, 0x00010000},
                                                          {InfoCommand::ModelId, 0x00020000},
                                                          {InfoCommand::AnswersOne, 0x00030000},
                                                          {InfoCommand::Capability, 0x00040000},
                                                          {InfoCommand::CardCountSecondForm, 0x00050000},
                                                          {InfoCommand::AnswersOneSecondForm, 0x00060000},
                                                          {InfoCommand::BoardWord, 0x00070000}};
    for (const auto& [command, word] : info)
        EXPECT_EQ(word0Of(RequestGroup::Information, command), word) << wireNumber(command);

    const std::pair<ReadCommand, std::uint32_t> read[] = {
        {ReadCommand::CoreCurrent, 0x10010000},    {ReadCommand::CoreRange, 0x10020000},
        {ReadCommand::MemoryCurrent, 0x10030000},  {ReadCommand::MemoryRange, 0x10040000},
        {ReadCommand::CoreDefault, 0x10050000},    {ReadCommand::MemoryDefault, 0x10060000},
        {ReadCommand::VoltageCurrent, 0x10070000}, {ReadCommand::VoltageRange, 0x10080000},
        {ReadCommand::VoltageDefault, 0x10090000}, {ReadCommand::AllCurrent, 0x100A0000}};
    for (const auto& [command, word] : read)
        EXPECT_EQ(word0Of(RequestGroup::Read, command), word) << wireNumber(command);

    const std::pair<SetCommand, std::uint32_t> set[] = {{SetCommand::CoreOfCard0, 0x20010000},
                                                        {SetCommand::MemoryOfCard0, 0x20020000},
                                                        {SetCommand::VoltageOfCard0, 0x20030000},
                                                        {SetCommand::CoreOfEveryCard, 0x20040000},
                                                        {SetCommand::MemoryOfEveryCard, 0x20050000},
                                                        {SetCommand::VoltageOfEveryCard, 0x20060000},
                                                        {SetCommand::All, 0x20070000}};
    for (const auto& [command, word] : set)
        EXPECT_EQ(word0Of(RequestGroup::Set, command), word) << wireNumber(command);
}

TEST(RemoteRequestDecode, PackHighLowWrapsAndCarries) {
    EXPECT_EQ(packHighLow(1200, 300), 0x04B0012Cu);
    EXPECT_EQ(packHighLow(1, 70000), 65536u + 70000u) << "a low part above 65535 carries into the high half";
    EXPECT_EQ(packHighLow(-1, 0), 0xFFFF0000u);
    EXPECT_EQ(packHighLow(0x10000, 5), 5u) << "the high part wraps at 32 bits";
}

TEST(RemoteRequestEncode, CutsEachValueToItsFieldAndDecodesBack) {
    const RemoteRequest setAll{
        .group = 2, .cardIndex = 0xB, .command = 7, .core = 800, .memory = 900, .voltage = 1100, .fan = 44};
    EXPECT_EQ(setAll.encode(), (Words{0x2B070320, 0x0384044C, 0x002C0000}));
    const Words w = setAll.encode();
    const RemoteRequest back = RemoteRequest::decode(w[0], w[1], w[2]);
    EXPECT_EQ(back.encode(), w);

    const RemoteRequest oversized{.group = 0x12,
                                  .cardIndex = 0x1F,
                                  .command = 0x12,
                                  .core = 0x12345,
                                  .memory = 0x10002,
                                  .voltage = 0x10003,
                                  .fan = 0x10004};
    EXPECT_EQ(oversized.encode(), (Words{0x2F022345, 0x00020003, 0x00040000}));
}

TEST(AllCurrentWords, MemoryAndVoltageShareA1AndTheFanTakesTheUpperHalfOfA2) {
    EXPECT_EQ(packAllCurrent(800, 900, 1100, 44), (Words{800, 900u << 16 | 1100, 44u << 16}));
    EXPECT_EQ(packAllCurrent(-1, 1, -1, 0)[1], 0x0000FFFFu)
        << "a negative voltage borrows from the memory half";
    EXPECT_EQ(packAllCurrent(-1, 1, -1, 0)[0], 0xFFFFFFFFu);
}

TEST(BoardWord, AddsItsPartsAndReadsThemBack) {
    EXPECT_EQ(packBoardWord(4, 3, 1), 0x41030110u);
    const BoardWord parts = unpackBoardWord(0x41030110);
    EXPECT_EQ(parts.cardCount, 4u);
    EXPECT_EQ(parts.model, 3u);
    EXPECT_EQ(parts.version, 1u);
    EXPECT_EQ(packBoardWord(0, 0x100, 0), 0x02000010u)
        << "an oversized model spills into the marker above it";
}

}  // namespace
}  // namespace wire
