#include "mainboard/machine/MachineLogic.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

namespace simboard {
namespace {

class MachineLogicTest : public ::testing::Test {
  protected:
    std::unique_ptr<MachineLayout> owned = std::make_unique<MachineLayout>();
    MachineLayout& m = *owned;
    void SetUp() override { initializeMachine(m); }
};

TEST_F(MachineLogicTest, DataRegisterReachesTheSelectedWord) {
    for (std::uint32_t i = 0; i < 3; ++i) {
        ASSERT_TRUE(writeRegister(m, wire::kSelectorRegister, i));
        ASSERT_TRUE(writeRegister(m, wire::kDataRegister, 100 + i));
    }
    std::uint32_t v = 0;
    for (std::uint32_t i : {2u, 0u, 1u}) {
        ASSERT_TRUE(writeRegister(m, wire::kSelectorRegister, i));
        ASSERT_TRUE(readRegister(m, wire::kDataRegister, v));
        EXPECT_EQ(v, 100 + i);
    }
    EXPECT_TRUE(writeRegister(m, wire::kFlagRegister, 1));
    EXPECT_TRUE(readRegister(m, wire::kFlagRegister, v));
    EXPECT_EQ(v, 1u);
}

TEST_F(MachineLogicTest, UnknownDeviceAndSelectorOutOfRangeFailAndReadZero) {
    std::uint32_t v = 99;
    EXPECT_FALSE(readRegister(m, 0x13060003, v));
    EXPECT_EQ(v, 0u);
    EXPECT_FALSE(writeRegister(m, 0x12345678, 5));
    ASSERT_TRUE(writeRegister(m, wire::kSelectorRegister, 3));
    v = 99;
    EXPECT_FALSE(readRegister(m, wire::kDataRegister, v));
    EXPECT_EQ(v, 0u);
    EXPECT_FALSE(writeRegister(m, wire::kDataRegister, 7));
    for (auto w : m.registers.words) EXPECT_EQ(w, 0u);
}

TEST_F(MachineLogicTest, ReadFaultFailsTheNextNReadsOnlyAndLeavesZero) {
    m.registers.flag = 1;
    setFault(m.faults.acpiReadFails, 2);
    std::uint32_t v = 99;
    EXPECT_TRUE(writeRegister(m, wire::kSelectorRegister, 0)) << "writes are not affected";
    EXPECT_FALSE(readRegister(m, wire::kFlagRegister, v));
    EXPECT_EQ(v, 0u);
    EXPECT_FALSE(readRegister(m, wire::kFlagRegister, v));
    EXPECT_TRUE(readRegister(m, wire::kFlagRegister, v));
    EXPECT_EQ(v, 1u);
    EXPECT_EQ(faultValue(m.faults.acpiReadFails), 0);
}

TEST_F(MachineLogicTest, WriteFaultStoresNothingAndAlwaysNeverRunsOut) {
    setFault(m.faults.acpiWriteFails, kFaultAlways);
    for (int i = 0; i < 5; ++i) EXPECT_FALSE(writeRegister(m, wire::kFlagRegister, 1));
    EXPECT_EQ(m.registers.flag, 0u);
    EXPECT_EQ(faultValue(m.faults.acpiWriteFails), kFaultAlways);
    setFault(m.faults.acpiWriteFails, 0);
    EXPECT_TRUE(writeRegister(m, wire::kFlagRegister, 1));
}

TEST_F(MachineLogicTest, CountersBumpedFromTwoThreadsLoseNoCount) {
    constexpr std::uint32_t kEach = 200000;
    const auto bump = [&] {
        for (std::uint32_t i = 0; i < kEach; ++i) incrementWord(m.notify.attempts);
    };
    std::thread other(bump);
    bump();
    other.join();
    EXPECT_EQ(loadWord(m.notify.attempts), 2 * kEach);
}

TEST_F(MachineLogicTest, JournalKeepsOrderAndArgumentsAndSkipsWhatWasRead) {
    appendJournal(m, 10, 7, "nuacpi", "Read", {0x13060000}, 1);
    appendJournal(m, 11, 7, "nuacpi", "Write", {0x13060002, 2, 1}, 1);
    appendJournal(m, 12, 8, "a-library-name-longer-than-its-field", "Entry",
                  {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}, -5);
    auto all = readJournal(m);
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[0].seq, 1u);
    EXPECT_EQ(all[1].entry, "Write");
    EXPECT_EQ(all[1].args, (std::vector<std::uint32_t>{0x13060002, 2, 1}));
    EXPECT_EQ(all[2].library, "a-library-name-");
    EXPECT_EQ(all[2].args.size(), 10u) << "arguments beyond the entry's room are cut, not overflowed";
    EXPECT_EQ(all[2].result, -5);
    EXPECT_EQ(readJournal(m, 2).size(), 1u);
    EXPECT_EQ(lastJournalSeq(m), 3u);
}

TEST_F(MachineLogicTest, JournalHoldsTheMostRecentCapacityEntries) {
    const std::uint64_t total = kJournalCapacity + 5;
    for (std::uint64_t i = 0; i < total; ++i)
        appendJournal(m, i, 1, "lib", "e", {static_cast<std::uint32_t>(i)}, 0);
    auto held = readJournal(m);
    ASSERT_EQ(held.size(), kJournalCapacity);
    EXPECT_EQ(held.front().seq, total - kJournalCapacity + 1);
    EXPECT_EQ(held.back().seq, total);
    EXPECT_EQ(held.back().args[0], static_cast<std::uint32_t>(total - 1));
}

// A write's entry is reserved before the register changes and filled in after: a reader that saw the
// new value and reads the journal while the entry is still being filled in gets it all the same,
// after the entry filled in later, never a journal with a hole that it would step over.
TEST_F(MachineLogicTest, JournalReadWaitsForAnEntryReservedBeforeItAndNotYetFilledIn) {
    appendJournal(m, 1, 7, "nuacpi", "Read", {wire::kFlagRegister, 1}, 1);
    const std::uint64_t reserved = reserveJournalEntry(m);
    ASSERT_TRUE(writeRegister(m, wire::kFlagRegister, 0));
    appendJournal(m, 3, 8, "other", "Call", {}, 1);  // another process's call, complete before it
    std::vector<JournalRecord> seen;
    std::thread reader([&] { seen = readJournal(m, 0); });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));  // the reader meets the unfilled entry
    fillJournalEntry(m, reserved, 2, 7, "nuacpi", "Write", {wire::kFlagRegister, 0, 1}, 1);
    reader.join();
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[1].seq, reserved);
    EXPECT_EQ(seen[1].entry, "Write");
    EXPECT_EQ(seen[2].library, "other");
}

TEST_F(MachineLogicTest, JournalKeepsTheLongestExportNameWhole) {
    appendJournal(m, 1, 1, "setupapi", "SetupDiGetDeviceRegistryPropertyW", {2, 2, 1024}, 1);
    EXPECT_EQ(readJournal(m).back().entry, "SetupDiGetDeviceRegistryPropertyW");
}

TEST_F(MachineLogicTest, PowerOnHoldsTheDefaultMachineAndFaultsAimedAtEverything) {
    EXPECT_EQ(std::string(m.hardware.name), "nvidia-one");
    EXPECT_EQ(m.hardware.nvidiaCardCount, 1u);
    EXPECT_EQ(m.hardware.generation % 2, 0u);
    for (const FaultName& f : kFaultNames) {
        EXPECT_EQ(faultValue(m.faults.*f.counter), 0) << f.name;
        if (!f.detail) continue;
        const FaultDetail d = faultDetail(m.faults.*f.detail);
        EXPECT_EQ(d.target, kAnyTarget) << f.name;
        EXPECT_EQ(d.property, kAnyProperty) << f.name;
        EXPECT_EQ(d.code, f.defaultCode) << f.name;
    }
}

TEST_F(MachineLogicTest, AimedFaultsStrikeOnlyTheirTargetAndCountOnlyThere) {
    setFaultDetail(m.faults.property, {2, 0x15, 13});
    setFault(m.faults.propertyFails, 2);
    EXPECT_FALSE(consumeFaultAt(m.faults.propertyFails, m.faults.property, 1, 0x15)) << "another device";
    EXPECT_FALSE(consumeFaultAt(m.faults.propertyFails, m.faults.property, 2, 0x1C)) << "another property";
    EXPECT_EQ(faultValue(m.faults.propertyFails), 2);
    EXPECT_TRUE(consumeFaultAt(m.faults.propertyFails, m.faults.property, 2, 0x15));
    EXPECT_TRUE(consumeFaultAt(m.faults.propertyFails, m.faults.property, 2, 0x15));
    EXPECT_FALSE(consumeFaultAt(m.faults.propertyFails, m.faults.property, 2, 0x15)) << "used up";

    setFaultDetail(m.faults.enumeration, {kAnyTarget, kAnyProperty, 31});
    setFault(m.faults.enumerationFails, kFaultAlways);
    for (std::uint32_t device : {0u, 5u, 0xFFFFFFFEu})
        EXPECT_TRUE(consumeFaultAt(m.faults.enumerationFails, m.faults.enumeration, device)) << device;
    EXPECT_EQ(faultValue(m.faults.enumerationFails), kFaultAlways);
}

}  // namespace
}  // namespace simboard
