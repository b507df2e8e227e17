#pragma once
// The described devices, cards and items in the machine state, as the stand-ins and tools see them.
// A description is installed under the board's mutex; readers take consistent copies without a lock
// (they retry while an installation runs), and current values are stored word by word, atomically.

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "mainboard/machine/MachineDescription.h"
#include "mainboard/machine/MachineLayout.h"

namespace simboard {

// Replaces the machine's hardware with the description's; registers, faults and journal stay.
// The caller holds the board's mutex and has checked the description (parseMachineDescription).
void installMachine(MachineLayout& m, const MachineDescription& d);

std::unique_ptr<MachineHardware> hardwareSnapshot(const MachineLayout& m);

// Device properties as the Setup API reads them (its SPDRP_ numbers and registry types).
inline constexpr std::uint32_t kPropertyDescription = 0x00;    // SPDRP_DEVICEDESC
inline constexpr std::uint32_t kPropertyCompatibleIds = 0x02;  // SPDRP_COMPATIBLEIDS
inline constexpr std::uint32_t kPropertyBusNumber = 0x15;      // SPDRP_BUSNUMBER
inline constexpr std::uint32_t kPropertyAddress = 0x1C;        // SPDRP_ADDRESS
inline constexpr std::uint32_t kPropertyInstanceId = 0x100;    // not a property: the instance id, for faults
inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegDword = 4;
inline constexpr std::uint32_t kRegMultiSz = 7;

struct PropertyName {
    const char* name;
    std::uint32_t property;
};
inline constexpr PropertyName kPropertyNames[] = {
    {"description", kPropertyDescription}, {"compatible-ids", kPropertyCompatibleIds},
    {"bus-number", kPropertyBusNumber},    {"address", kPropertyAddress},
    {"instance-id", kPropertyInstanceId},
};

struct DeviceProperty {
    std::uint32_t regType = 0;
    std::vector<std::uint8_t> bytes;
};
// None when the device lacks the property. Text comes with its terminating zeros unless a fault
// takes them away (terminated false).
std::optional<DeviceProperty> deviceProperty(const PciDeviceSlot& device, std::uint32_t property,
                                             bool terminated = true);
std::u16string instanceId(const PciDeviceSlot& device);

// The cards. An index the machine does not have gives none (or false) and changes nothing.
std::optional<NvidiaCardSlot> nvidiaCard(const MachineLayout& m, std::int32_t index);
std::uint32_t nvidiaCardCount(const MachineLayout& m);
// Stores the current values of the given entries where the card supports them.
bool applyNvidiaCurrents(MachineLayout& m, std::int32_t index, const NvClockInfo& record,
                         std::initializer_list<NvEntry> entries);

std::optional<AmdCardSlot> amdCard(const MachineLayout& m, std::int32_t index);
std::uint32_t amdCardCount(const MachineLayout& m);
// Stores the three current values where the card supports them. Tells whether everything else in
// the block was as the card reports it (a caller should send back what it read).
std::optional<bool> applyAmdCurrents(MachineLayout& m, std::int32_t index, const AmdClockInfo& block);

std::optional<LumbraItemSlot> lumbraItem(const MachineLayout& m, std::uint32_t id);
enum class StepResult { applied, noSuchItem, unsupported, outOfRange };
StepResult setLumbraStep(MachineLayout& m, std::uint32_t id, std::int32_t step);

}  // namespace simboard
