#pragma once
// The simulated mainboard's one machine state, as laid out in shared memory. Every process of the
// board (stand-in libraries inside the product, linkctl, simctl, tests) maps the same bytes.

#include <cstddef>
#include <cstdint>

#include "mainboard/machine/CardRecords.h"

namespace simboard {

inline constexpr std::uint32_t kMachineMagic = 0x4D49534Bu;  // "KSIM"
inline constexpr std::uint32_t kLayoutVersion = 2;
inline constexpr std::uint32_t kJournalCapacity = 1u << 17;  // entries kept; older ones are overwritten

// A fault counter: 0 off, N > 0 the next N calls fail, kFaultAlways every call fails.
inline constexpr std::int32_t kFaultAlways = -1;
inline constexpr std::uint32_t kAnyTarget = 0xFFFFFFFFu;    // a fault aimed at every device, card or item
inline constexpr std::uint32_t kAnyProperty = 0xFFFFFFFFu;  // a fault aimed at every device property

// What the board can hold. A description beyond these limits is refused.
inline constexpr std::uint32_t kMaxPciDevices = 16;
inline constexpr std::uint32_t kMaxNvidiaCards = 8;
inline constexpr std::uint32_t kMaxAmdCards = 8;
inline constexpr std::uint32_t kMaxLumbraItems = 16;
inline constexpr std::uint32_t kMachineNameBytes = 64;
inline constexpr std::uint32_t kInstanceIdUnits = 201;      // MAX_DEVICE_ID_LEN characters and the terminator
inline constexpr std::uint32_t kCompatibleIdsUnits = 1024;  // the whole list with every terminator
inline constexpr std::uint32_t kDescriptionUnits = 1024;
inline constexpr std::uint32_t kNvidiaNameBytes = 256;  // what Nv_GetGPUName fills
inline constexpr std::uint32_t kAmdNameUnits = 256;     // what Amd_GetGpuName fills (512 bytes)

struct RegisterBankState {
    std::uint32_t flag;
    std::uint32_t selector;
    std::uint32_t words[3];
};

struct NotifyState {
    std::uint32_t window;         // the window registered for remote-link notifications (HWND value)
    std::uint32_t attempts;       // registration calls seen
    std::uint32_t registrations;  // registration calls accepted
};

// Where a fault strikes and how. Each fault reads only the fields that it names.
struct FaultDetail {
    std::uint32_t target;    // device index, card index or Lumbra item id; kAnyTarget for all
    std::uint32_t property;  // a Setup API property (SPDRP_...); kAnyProperty for all
    std::uint32_t code;      // the error code the call reports, or the value it returns
};

struct FaultSwitches {
    std::int32_t acpiReadFails;
    std::int32_t acpiWriteFails;
    std::int32_t registrationRefusals;
    std::int32_t eventOpenFails;
    std::int32_t gearlinkSendFails;
    std::int32_t classDevsFails;
    std::int32_t enumerationFails;
    std::int32_t propertyFails;
    std::int32_t propertyUnterminated;
    std::int32_t nvidiaCountFails;
    std::int32_t nvidiaInitResult;
    std::int32_t amdInitResult;
    std::int32_t lumbraInitResult;
    std::int32_t lumbraItemUnsupported;
    std::int32_t nameUnterminated;
    std::int32_t translateLong;
    std::int32_t translateNegative;
    std::int32_t translateUnterminated;
    std::int32_t gpuCountReported;
    std::int32_t lumbraStepsReported;
    std::int32_t pngWidthReported;
    std::int32_t pngHeightReported;
    std::int32_t pngLibraryFieldZero;
    std::int32_t translateLengthZero;
    FaultDetail classDevs;
    FaultDetail enumeration;
    FaultDetail property;
    FaultDetail unterminatedProperty;
    FaultDetail nvidiaInit;
    FaultDetail amdInit;
    FaultDetail lumbraInit;
    FaultDetail unsupportedItem;
    FaultDetail unterminatedName;
    FaultDetail gpuCount;
    FaultDetail lumbraSteps;
    FaultDetail pngWidth;
    FaultDetail pngHeight;
    FaultDetail reservedDetails[3];
};

// The described machine. Each part is fixed when a description is installed; only the current
// values of cards and items change afterwards, as the product applies them.
struct PciDeviceSlot {
    std::uint32_t properties;  // kHas... bits: which optional properties the device has
    std::uint32_t busNumber;
    std::uint32_t address;  // device number << 16 | function number
    std::uint32_t instanceIdLength;
    std::uint32_t compatibleIdsLength;  // in units, with each string's terminator and the list's
    std::uint32_t descriptionLength;
    char16_t instanceId[kInstanceIdUnits];
    char16_t compatibleIds[kCompatibleIdsUnits];
    char16_t description[kDescriptionUnits];
};
inline constexpr std::uint32_t kHasCompatibleIds = 1u << 0;
inline constexpr std::uint32_t kHasDescription = 1u << 1;
inline constexpr std::uint32_t kHasBusNumber = 1u << 2;
inline constexpr std::uint32_t kHasAddress = 1u << 3;

struct NvidiaCardSlot {
    char name[kNvidiaNameBytes];  // zero-terminated
    NvClockInfo clocks;           // clock entries and the fan entry, as the back end reports them
    std::int32_t memoryMegabytes;
    std::int32_t usage;
    std::int32_t mode;
};

struct AmdCardSlot {
    char16_t name[kAmdNameUnits];  // zero-terminated
    std::uint32_t integrated;
    std::int32_t usage;
    std::int32_t frequency;
    std::int32_t adapterId;
    std::int32_t connected;
    std::int32_t hybridMode;
    AmdClockInfo clocks;
};

struct LumbraItemSlot {
    std::uint32_t id;
    std::uint32_t supported;
    std::int32_t currentStep;
    GgrpItemInfo info;
};

struct MachineHardware {
    alignas(8) std::uint32_t generation;  // odd while a description is being installed
    char name[kMachineNameBytes];
    std::uint32_t pciDeviceCount;
    std::uint32_t nvidiaCardCount;
    std::uint32_t amdCardCount;
    std::uint32_t lumbraItemCount;
    PciDeviceSlot pciDevices[kMaxPciDevices];
    NvidiaCardSlot nvidiaCards[kMaxNvidiaCards];
    AmdCardSlot amdCards[kMaxAmdCards];
    LumbraItemSlot lumbraItems[kMaxLumbraItems];
};

struct JournalEntry {
    alignas(8) std::uint64_t seq;  // 0 while the entry is being written
    std::uint64_t timeUs;          // on the board's clock, shared by every process
    std::uint32_t processId;
    std::int32_t result;
    char library[16];
    char entry[44];  // room for the longest export name, SetupDiGetDeviceRegistryPropertyW
    std::uint32_t argCount;
    std::uint32_t args[10];
};
static_assert(sizeof(JournalEntry) == 128);

struct MachineLayout {
    std::uint32_t magic;
    std::uint32_t layoutVersion;
    std::uint32_t size;
    std::uint32_t uiLanguage;  // the language NuMultiLang.dll translates into (a LANGID); 0: the user's
    RegisterBankState registers;
    NotifyState notify;
    FaultSwitches faults;
    MachineHardware hardware;
    alignas(8) std::uint64_t journalLastSeq;
    JournalEntry journal[kJournalCapacity];
};

}  // namespace simboard
