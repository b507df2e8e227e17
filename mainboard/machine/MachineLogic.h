#pragma once
// What the board does with its state, independent of how the state is shared between processes.
// Fields that several processes touch are accessed atomically; no lock is taken on these paths.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "mainboard/machine/MachineLayout.h"
#include "protocol/RemoteLink.h"

namespace simboard {

// Puts a freshly created (or outdated) state into its power-on condition.
void initializeMachine(MachineLayout& m);

// Takes one failure off a fault counter; true when this call is to fail.
bool consumeFault(std::int32_t& counter);
void setFault(std::int32_t& counter, std::int32_t value);
std::int32_t faultValue(const std::int32_t& counter);

// A fault aimed at one device, card or item (and property): true when this call is to fail, which
// takes one failure off the counter. Calls aimed elsewhere leave the counter alone.
bool consumeFaultAt(std::int32_t& counter, const FaultDetail& detail, std::uint32_t target,
                    std::uint32_t property = kAnyProperty);
void setFaultDetail(FaultDetail& detail, const FaultDetail& value);
FaultDetail faultDetail(const FaultDetail& detail);

// What a fault lets its user choose besides how many calls fail.
enum FaultOption : unsigned {
    kDeviceOption = 1u << 0,    // --device K: the device of that index (as simctl cards numbers them)
    kCardOption = 1u << 1,      // --card K: the back end's card index
    kItemOption = 1u << 2,      // --item ID: the Lumbra item
    kPropertyOption = 1u << 3,  // --property NAME (kPropertyNames)
    kErrorOption = 1u << 4,     // --error E: the error code the call leaves for GetLastError
    kValueOption = 1u << 5,     // --value V: the value the call returns
};

// The fault switches by the names that simctl and the tests use.
struct FaultName {
    const char* name = nullptr;
    std::int32_t FaultSwitches::*counter = nullptr;
    const char* meaning = nullptr;
    FaultDetail FaultSwitches::*detail = nullptr;
    unsigned options = 0;
    std::uint32_t defaultCode = 0;  // error or value when none is chosen
};
inline constexpr FaultName kFaultNames[] = {
    {"acpi-read", &FaultSwitches::acpiReadFails, "ACPI register reads fail (the value reads 0)"},
    {"acpi-write", &FaultSwitches::acpiWriteFails, "ACPI register writes fail (nothing is stored)"},
    {"register-refuse", &FaultSwitches::registrationRefusals, "notification registrations are refused"},
    {"event-open", &FaultSwitches::eventOpenFails, "the hardware event source does not open"},
    {"gearlink-send", &FaultSwitches::gearlinkSendFails, "the bridge reports a failed send"},
    {"setupapi-classdevs", &FaultSwitches::classDevsFails,
     "SetupDiGetClassDevsW returns INVALID_HANDLE_VALUE with the error", &FaultSwitches::classDevs,
     kErrorOption, 8 /* ERROR_NOT_ENOUGH_MEMORY */},
    {"setupapi-enum", &FaultSwitches::enumerationFails,
     "SetupDiEnumDeviceInfo fails with the error when it reaches the device", &FaultSwitches::enumeration,
     kDeviceOption | kErrorOption, 31 /* ERROR_GEN_FAILURE */},
    {"setupapi-property", &FaultSwitches::propertyFails,
     "reading the property (or instance id) of the device fails with the error", &FaultSwitches::property,
     kDeviceOption | kPropertyOption | kErrorOption, 13 /* ERROR_INVALID_DATA */},
    {"setupapi-unterminated", &FaultSwitches::propertyUnterminated,
     "the property text of the device comes without its terminating zeros",
     &FaultSwitches::unterminatedProperty, kDeviceOption | kPropertyOption},
    {"nvidia-count", &FaultSwitches::nvidiaCountFails, "Nv_GetGPUCount fails and leaves the count alone"},
    {"nvidia-init", &FaultSwitches::nvidiaInitResult, "Nv_Initialize returns the value (0 is success)",
     &FaultSwitches::nvidiaInit, kValueOption, 0xFFFFFFFFu},
    {"amd-init", &FaultSwitches::amdInitResult, "Amd_Initialize returns the value (0 is success)",
     &FaultSwitches::amdInit, kValueOption, 0xFFFFFFFFu},
    {"lumbra-init", &FaultSwitches::lumbraInitResult, "LumbraInit returns the value (non-zero is success)",
     &FaultSwitches::lumbraInit, kValueOption, 0},
    {"lumbra-unsupported", &FaultSwitches::lumbraItemUnsupported,
     "Lumbra reports the item unsupported and refuses every call for it", &FaultSwitches::unsupportedItem,
     kItemOption},
    {"name-unterminated", &FaultSwitches::nameUnterminated,
     "Nv_GetGPUName and Amd_GetGpuName fill the whole buffer with no terminating zero",
     &FaultSwitches::unterminatedName, kCardOption},
    {"translate-long", &FaultSwitches::translateLong,
     "NuTranslateStr reports capacity - 1 units: the translation never fits"},
    {"translate-negative", &FaultSwitches::translateNegative, "NuTranslateStr writes nothing and returns -1"},
    {"translate-unterminated", &FaultSwitches::translateUnterminated,
     "NuTranslateStr writes the translation without its zero and reports 8 units more"},
    {"translate-length-zero", &FaultSwitches::translateLengthZero,
     "NuTranslateStr writes the translation and its zero, and returns 0"},
    {"gpu-count", &FaultSwitches::gpuCountReported,
     "Nv_GetGPUCount and Amd_GetGpuCount report the value as the card count (huge or negative)",
     &FaultSwitches::gpuCount, kValueOption, 0x7FFFFFFFu},
    {"lumbra-steps", &FaultSwitches::lumbraStepsReported,
     "GetGGRPItemInfo reports the value as the item's number of steps (huge or negative)",
     &FaultSwitches::lumbraSteps, kValueOption, 0x7FFFFFFFu},
    {"png-width", &FaultSwitches::pngWidthReported,
     "ReadPngEx reports the value as the image's width; row bytes and rows stay the decoded image's",
     &FaultSwitches::pngWidth, kValueOption, 0xFFFFFFFFu},
    {"png-height", &FaultSwitches::pngHeightReported,
     "ReadPngEx reports the value as the image's height; row bytes and rows stay the decoded image's",
     &FaultSwitches::pngHeight, kValueOption, 0xFFFFFFFFu},
    {"png-field-zero", &FaultSwitches::pngLibraryFieldZero,
     "ReadPngEx leaves the record's field at offset 16 (the library's own) at 0"},
};

// The ACPI bank: the data register reaches the word chosen by the last selector write.
// A failed access (fault, unknown id, selector out of range) stores nothing and reads 0.
bool readRegister(MachineLayout& m, std::uint32_t deviceId, std::uint32_t& value);
bool writeRegister(MachineLayout& m, std::uint32_t deviceId, std::uint32_t value);

std::uint32_t loadWord(const std::uint32_t& word);
void storeWord(std::uint32_t& word, std::uint32_t value);
// One read-modify-write: counters that several processes bump lose no count.
void incrementWord(std::uint32_t& word);

struct JournalRecord {
    std::uint64_t seq = 0;
    std::uint64_t timeUs = 0;
    std::uint32_t processId = 0;
    std::int32_t result = 0;
    std::string library;
    std::string entry;
    std::vector<std::uint32_t> args;
};

// Whether a journaled call (a JournalRecord, or a test's copy of one) is the platform service's
// access to the flag register, entry "Read" or "Write", its value in args[1].
template <typename Call>
bool isFlagAccess(const Call& call, std::string_view entry) {
    return call.library == "nuacpi" && call.entry == entry && call.args.size() >= 2 &&
           call.args[0] == wire::kFlagRegister;
}

// A call's entry is reserved before its effect is stored and filled in after it, so that the journal
// and the state are never caught half-way: whoever sees the effect (a register, a card's clock) and
// then reads the journal finds the entry, since a read waits for every entry reserved before it began;
// and whoever finds the entry sees the effect.
std::uint64_t reserveJournalEntry(MachineLayout& m);
void fillJournalEntry(MachineLayout& m, std::uint64_t seq, std::uint64_t timeUs, std::uint32_t processId,
                      std::string_view library, std::string_view entry,
                      std::initializer_list<std::uint32_t> args, std::int32_t result);
// Both at once, for a call whose effect (if any) no other process sees.
void appendJournal(MachineLayout& m, std::uint64_t timeUs, std::uint32_t processId, std::string_view library,
                   std::string_view entry, std::initializer_list<std::uint32_t> args, std::int32_t result);

// How long a read waits for a reserved entry to be filled in. Filling takes microseconds; only a
// process that ended between the two steps leaves one unfilled, and the read then goes on without it.
inline constexpr std::uint32_t kUnfilledEntryWaitMs = 5000;

// Entries with a sequence number above afterSeq that are still held, oldest first; entries reserved
// before the call are waited for.
std::vector<JournalRecord> readJournal(const MachineLayout& m, std::uint64_t afterSeq = 0);
std::uint64_t lastJournalSeq(const MachineLayout& m);

}  // namespace simboard
