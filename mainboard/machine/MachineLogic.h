#pragma once
// What the board does with its state, independent of how the state is shared between processes.
// Fields that several processes touch are accessed atomically; no lock is taken on these paths.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "mainboard/machine/MachineLayout.h"

namespace simboard {

inline constexpr std::uint32_t kAcpiFlagRegister = 0x13060000;
inline constexpr std::uint32_t kAcpiDataRegister = 0x13060001;
inline constexpr std::uint32_t kAcpiSelectorRegister = 0x13060002;

// Puts a freshly created (or outdated) state into its power-on condition.
void initializeMachine(MachineLayout& m);

// Takes one failure off a fault counter; true when this call is to fail.
bool consumeFault(std::int32_t& counter);
void setFault(std::int32_t& counter, std::int32_t value);
std::int32_t faultValue(const std::int32_t& counter);

// The fault switches by the names that simctl and the tests use.
struct FaultName {
    const char* name;
    std::int32_t FaultSwitches::*counter;
    const char* meaning;
};
inline constexpr FaultName kFaultNames[] = {
    {"acpi-read", &FaultSwitches::acpiReadFails, "ACPI register reads fail (the value reads 0)"},
    {"acpi-write", &FaultSwitches::acpiWriteFails, "ACPI register writes fail (nothing is stored)"},
    {"register-refuse", &FaultSwitches::registrationRefusals, "notification registrations are refused"},
    {"event-open", &FaultSwitches::eventOpenFails, "the hardware event source does not open"},
    {"gearlink-send", &FaultSwitches::gearlinkSendFails, "the bridge reports a failed send"},
};

// The ACPI bank: the data register reaches the word chosen by the last selector write.
// A failed access (fault, unknown id, selector out of range) stores nothing and reads 0.
bool readRegister(MachineLayout& m, std::uint32_t deviceId, std::uint32_t& value);
bool writeRegister(MachineLayout& m, std::uint32_t deviceId, std::uint32_t value);

std::uint32_t loadWord(const std::uint32_t& word);
void storeWord(std::uint32_t& word, std::uint32_t value);

struct JournalRecord {
    std::uint64_t seq = 0;
    std::uint64_t timeUs = 0;
    std::uint32_t processId = 0;
    std::int32_t result = 0;
    std::string library;
    std::string entry;
    std::vector<std::uint32_t> args;
};

void appendJournal(MachineLayout& m, std::uint64_t timeUs, std::uint32_t processId, std::string_view library,
                   std::string_view entry, std::initializer_list<std::uint32_t> args, std::int32_t result);

// Entries with a sequence number above afterSeq that are still held, oldest first.
std::vector<JournalRecord> readJournal(const MachineLayout& m, std::uint64_t afterSeq = 0);
std::uint64_t lastJournalSeq(const MachineLayout& m);

}  // namespace simboard
