#pragma once
// What a simulated machine holds, read from a text description: the PCI devices that the Setup API
// lists, the cards behind Greencard and Redcard, and the items behind Lumbra.
//
//   [machine]            name = amd-two
//   [pci-device]         instance-id, compatible-ids (comma-separated), description, bus, device, function
//   [nvidia-card]        name, core, memory, voltage, fan, memory-mb, usage, mode
//   [amd-card]           name, integrated, core, memory, voltage, usage, frequency, adapter-id, connected,
//                        hybrid-mode
//   [lumbra-item]        id, supported, base, step, steps, default-step, current-step
//
// Optional keys: a device without compatible-ids, description, bus or device/function lacks that
// property; card figures default to 0, except connected (1) and adapter-id (the card's index); an item
// is supported unless it says otherwise.
// A clock entry reads "current 1050, minimum 300, maximum 1200, default 1050" (Redcard entries add
// "step N"; either may add "pass N" or "unsupported"). Sections repeat, one per device, card or item,
// in the order the back ends number them. Lines starting with '#' or ';' are comments.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace simboard {

struct ClockFigures {
    std::int32_t current = 0;
    std::int32_t minimum = 0;
    std::int32_t maximum = 0;
    std::int32_t defaultValue = 0;
    std::int32_t step = 0;
    std::int32_t passThrough = 0;
    bool supported = false;
};

struct PciDeviceDescription {
    std::u16string instanceId;
    std::optional<std::vector<std::u16string>> compatibleIds;  // none: the device has no such property
    std::optional<std::u16string> description;
    std::optional<std::uint32_t> busNumber;
    std::optional<std::uint32_t> address;  // device number << 16 | function number
};

struct NvidiaCardDescription {
    std::string name;
    ClockFigures core, memory, voltage, fan;  // memory.current is twice the clock, as the record holds it
    std::int32_t memoryMegabytes = 0;
    std::int32_t usage = 0;
    std::int32_t mode = 0;
};

struct AmdCardDescription {
    std::u16string name;
    bool integrated = false;
    ClockFigures core, memory, voltage;
    std::int32_t usage = 0;
    std::int32_t frequency = 0;
    std::int32_t adapterId = 0;
    std::int32_t connected = 1;
    std::int32_t hybridMode = 0;
};

struct LumbraItemDescription {
    std::uint32_t id = 0;
    bool supported = true;
    std::int32_t base = 0;
    std::int32_t step = 0;
    std::int32_t stepCount = 0;
    std::int32_t defaultStep = 0;
    std::int32_t currentStep = 0;
};

struct MachineDescription {
    std::string name;
    std::vector<PciDeviceDescription> pciDevices;
    std::vector<NvidiaCardDescription> nvidiaCards;
    std::vector<AmdCardDescription> amdCards;
    std::vector<LumbraItemDescription> lumbraItems;
};

// Either the machine, or every problem found, each as "line N: what is wrong".
struct DescriptionResult {
    std::optional<MachineDescription> machine;
    std::vector<std::string> errors;
};

DescriptionResult parseMachineDescription(std::string_view text);

// The machine a fresh board holds (the shipped description machines/nvidia-one.ini).
std::string_view defaultMachineText();
MachineDescription defaultMachine();

}  // namespace simboard
