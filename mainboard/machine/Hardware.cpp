#include "mainboard/machine/Hardware.h"

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstring>
#include <thread>

#include "mainboard/machine/SharedAccess.h"

namespace simboard {

namespace {

// An installation takes microseconds. One that seems to last longer was cut short by a process
// that ended inside it; readers then take the state as it is rather than wait forever.
constexpr auto kInstallationPatience = std::chrono::milliseconds(100);

template <typename Read>
auto consistentRead(const MachineLayout& m, Read read) -> decltype(read(m.hardware)) {
    const auto generation = atomic(m.hardware.generation);
    std::uint32_t waitingFor = 0;  // the odd generation of the installation being waited for
    auto waitingSince = std::chrono::steady_clock::now();
    for (;;) {
        const std::uint32_t before = generation.load(std::memory_order_acquire);
        if ((before & 1) != 0) {
            const auto now = std::chrono::steady_clock::now();
            if (before != waitingFor) {
                waitingFor = before;
                waitingSince = now;
            }
            if (now - waitingSince < kInstallationPatience) {
                std::this_thread::yield();
                continue;
            }
            return read(m.hardware);
        }
        auto value = read(m.hardware);
        std::atomic_thread_fence(std::memory_order_acquire);
        if (generation.load(std::memory_order_relaxed) == before) return value;
    }
}

// The bytes of a record that only the back end reads: fixed for a card or item, different between
// them, so that a caller who changes them instead of handing them back is noticed.
void fillOpaque(std::uint8_t* bytes, std::size_t count, std::uint32_t seed) {
    std::uint32_t x = seed * 2654435761u | 1u;
    for (std::size_t i = 0; i < count; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        bytes[i] = static_cast<std::uint8_t>(x);
    }
}

template <std::size_t N>
void copyText(char16_t (&to)[N], std::u16string_view from) {
    std::copy_n(from.begin(), std::min(from.size(), N - 1), to);
}

void install(PciDeviceSlot& slot, const PciDeviceDescription& d) {
    copyText(slot.instanceId, d.instanceId);
    slot.instanceIdLength = static_cast<std::uint32_t>(d.instanceId.size());
    if (d.compatibleIds) {
        slot.properties |= kHasCompatibleIds;
        std::uint32_t at = 0;
        for (const std::u16string& id : *d.compatibleIds) {
            std::copy(id.begin(), id.end(), slot.compatibleIds + at);
            at += static_cast<std::uint32_t>(id.size()) + 1;  // the slot is zeroed: terminators are there
        }
        slot.compatibleIdsLength = at + 1;
    }
    if (d.description) {
        slot.properties |= kHasDescription;
        copyText(slot.description, *d.description);
        slot.descriptionLength = static_cast<std::uint32_t>(d.description->size());
    }
    if (d.busNumber) {
        slot.properties |= kHasBusNumber;
        slot.busNumber = *d.busNumber;
    }
    if (d.address) {
        slot.properties |= kHasAddress;
        slot.address = *d.address;
    }
}

template <typename Entry>
void copyFigures(Entry& e, const ClockFigures& f) {
    e.current = f.current;
    e.minimum = f.minimum;
    e.maximum = f.maximum;
    e.defaultValue = f.defaultValue;
    e.supported = f.supported ? 1 : 0;
}

void install(NvidiaCardSlot& slot, const NvidiaCardDescription& d) {
    std::copy_n(d.name.begin(), std::min<std::size_t>(d.name.size(), kNvidiaNameBytes - 1), slot.name);
    const ClockFigures* figures[kNvEntryCount] = {&d.core, &d.memory, &d.voltage, &d.fan};
    for (int e = 0; e < kNvEntryCount; ++e) {
        NvClockEntry& entry = slot.clocks.entries[e];
        copyFigures(entry, *figures[e]);
        entry.passThrough = figures[e]->passThrough;
    }
    slot.memoryMegabytes = d.memoryMegabytes;
    slot.usage = d.usage;
    slot.mode = d.mode;
}

void install(AmdCardSlot& slot, const AmdCardDescription& d, std::uint32_t index) {
    copyText(slot.name, d.name);
    slot.integrated = d.integrated ? 1 : 0;
    slot.usage = d.usage;
    slot.frequency = d.frequency;
    slot.adapterId = d.adapterId;
    slot.connected = d.connected;
    slot.hybridMode = d.hybridMode;
    const ClockFigures* figures[kAmdEntryCount] = {&d.core, &d.memory, &d.voltage};
    for (int e = 0; e < kAmdEntryCount; ++e) {
        AmdClockEntry& entry = slot.clocks.entries[e];
        copyFigures(entry, *figures[e]);
        entry.step = figures[e]->step;
        fillOpaque(entry.opaque, kAmdOpaqueBytes, index * kAmdEntryCount + static_cast<std::uint32_t>(e) + 1);
    }
}

void install(LumbraItemSlot& slot, const LumbraItemDescription& d) {
    slot.id = d.id;
    slot.supported = d.supported ? 1 : 0;
    slot.currentStep = d.currentStep;
    slot.info.defaultStep = d.defaultStep;
    slot.info.base = d.base;
    slot.info.step = d.step;
    slot.info.stepCount = d.stepCount;
    fillOpaque(slot.info.opaque, kGgrpOpaqueBytes, d.id);
}

template <typename Slot, std::size_t N>
std::optional<Slot> slotAt(const Slot (&slots)[N], std::uint32_t count, std::int32_t index) {
    if (index < 0 || static_cast<std::uint32_t>(index) >= std::min<std::uint32_t>(count, N))
        return std::nullopt;
    return slots[index];
}

}  // namespace

void installMachine(MachineLayout& m, const MachineDescription& d) {
    MachineHardware& h = m.hardware;
    const auto generation = atomic(h.generation);
    const std::uint32_t installing = generation.load(std::memory_order_relaxed) | 1u;
    generation.store(installing, std::memory_order_relaxed);
    std::atomic_thread_fence(std::memory_order_release);

    constexpr std::size_t kFirst = offsetof(MachineHardware, name);
    std::memset(reinterpret_cast<char*>(&h) + kFirst, 0, sizeof(MachineHardware) - kFirst);
    std::copy_n(d.name.begin(), std::min<std::size_t>(d.name.size(), kMachineNameBytes - 1), h.name);
    h.pciDeviceCount = static_cast<std::uint32_t>(std::min<std::size_t>(d.pciDevices.size(), kMaxPciDevices));
    h.nvidiaCardCount =
        static_cast<std::uint32_t>(std::min<std::size_t>(d.nvidiaCards.size(), kMaxNvidiaCards));
    h.amdCardCount = static_cast<std::uint32_t>(std::min<std::size_t>(d.amdCards.size(), kMaxAmdCards));
    h.lumbraItemCount =
        static_cast<std::uint32_t>(std::min<std::size_t>(d.lumbraItems.size(), kMaxLumbraItems));
    for (std::uint32_t i = 0; i < h.pciDeviceCount; ++i) install(h.pciDevices[i], d.pciDevices[i]);
    for (std::uint32_t i = 0; i < h.nvidiaCardCount; ++i) install(h.nvidiaCards[i], d.nvidiaCards[i]);
    for (std::uint32_t i = 0; i < h.amdCardCount; ++i) install(h.amdCards[i], d.amdCards[i], i);
    for (std::uint32_t i = 0; i < h.lumbraItemCount; ++i) install(h.lumbraItems[i], d.lumbraItems[i]);

    generation.store(installing + 1, std::memory_order_release);
}

std::unique_ptr<MachineHardware> hardwareSnapshot(const MachineLayout& m) {
    auto copy = std::make_unique<MachineHardware>();
    consistentRead(m, [&](const MachineHardware& h) {
        std::memcpy(static_cast<void*>(copy.get()), &h, sizeof h);
        return 0;
    });
    return copy;
}

std::optional<DeviceProperty> deviceProperty(const PciDeviceSlot& device, std::uint32_t property,
                                             bool terminated) {
    // Text as stored: `length` units of which the last `zeros` are terminators.
    const auto text = [&](std::uint32_t regType, const char16_t* units, std::uint32_t length,
                          std::uint32_t zeros) {
        const std::uint32_t kept = terminated ? length : length - std::min(length, zeros);
        DeviceProperty p{regType, std::vector<std::uint8_t>(kept * sizeof(char16_t))};
        std::copy_n(reinterpret_cast<const std::uint8_t*>(units), p.bytes.size(), p.bytes.begin());
        return p;
    };
    const auto dword = [](std::uint32_t value) {
        DeviceProperty p{kRegDword, std::vector<std::uint8_t>(4)};
        std::memcpy(p.bytes.data(), &value, 4);
        return p;
    };
    switch (property) {
        case kPropertyDescription:
            if (!(device.properties & kHasDescription)) break;
            return text(kRegSz, device.description, device.descriptionLength + 1, 1);
        case kPropertyCompatibleIds:
            if (!(device.properties & kHasCompatibleIds)) break;
            return text(kRegMultiSz, device.compatibleIds, device.compatibleIdsLength, 2);
        case kPropertyBusNumber:
            if (!(device.properties & kHasBusNumber)) break;
            return dword(device.busNumber);
        case kPropertyAddress:
            if (!(device.properties & kHasAddress)) break;
            return dword(device.address);
        default:
            break;
    }
    return std::nullopt;
}

std::u16string instanceId(const PciDeviceSlot& device) {
    return std::u16string(device.instanceId, std::min(device.instanceIdLength, kInstanceIdUnits - 1));
}

std::optional<NvidiaCardSlot> nvidiaCard(const MachineLayout& m, std::int32_t index) {
    return consistentRead(
        m, [&](const MachineHardware& h) { return slotAt(h.nvidiaCards, h.nvidiaCardCount, index); });
}

std::uint32_t nvidiaCardCount(const MachineLayout& m) {
    return consistentRead(m, [](const MachineHardware& h) { return h.nvidiaCardCount; });
}

bool applyNvidiaCurrents(MachineLayout& m, std::int32_t index, const NvClockInfo& record,
                         std::initializer_list<NvEntry> entries) {
    const auto card = nvidiaCard(m, index);
    if (!card) return false;
    for (NvEntry e : entries) {
        if (card->clocks.entries[e].supported == 0) continue;
        atomic(m.hardware.nvidiaCards[index].clocks.entries[e].current).store(record.entries[e].current);
    }
    return true;
}

std::optional<AmdCardSlot> amdCard(const MachineLayout& m, std::int32_t index) {
    return consistentRead(
        m, [&](const MachineHardware& h) { return slotAt(h.amdCards, h.amdCardCount, index); });
}

std::uint32_t amdCardCount(const MachineLayout& m) {
    return consistentRead(m, [](const MachineHardware& h) { return h.amdCardCount; });
}

std::optional<bool> applyAmdCurrents(MachineLayout& m, std::int32_t index, const AmdClockInfo& block) {
    const auto card = amdCard(m, index);
    if (!card) return std::nullopt;
    bool intact = true;
    constexpr std::size_t kAfterCurrent = offsetof(AmdClockEntry, minimum);
    for (int e = 0; e < kAmdEntryCount; ++e) {
        const AmdClockEntry& given = block.entries[e];
        const AmdClockEntry& held = card->clocks.entries[e];
        intact = intact && std::memcmp(reinterpret_cast<const char*>(&given) + kAfterCurrent,
                                       reinterpret_cast<const char*>(&held) + kAfterCurrent,
                                       sizeof(AmdClockEntry) - kAfterCurrent) == 0;
        if (held.supported != 0)
            atomic(m.hardware.amdCards[index].clocks.entries[e].current).store(given.current);
    }
    return intact;
}

std::optional<LumbraItemSlot> lumbraItem(const MachineLayout& m, std::uint32_t id) {
    return consistentRead(m, [&](const MachineHardware& h) -> std::optional<LumbraItemSlot> {
        const auto* const end = h.lumbraItems + std::min(h.lumbraItemCount, kMaxLumbraItems);
        const auto* const item =
            std::find_if(h.lumbraItems, end, [&](const LumbraItemSlot& i) { return i.id == id; });
        if (item == end) return std::nullopt;
        return *item;
    });
}

StepResult setLumbraStep(MachineLayout& m, std::uint32_t id, std::int32_t step) {
    const auto item = lumbraItem(m, id);
    if (!item) return StepResult::noSuchItem;
    if (item->supported == 0) return StepResult::unsupported;
    if (step < 0 || step >= item->info.stepCount) return StepResult::outOfRange;
    MachineHardware& h = m.hardware;
    auto* const end = h.lumbraItems + std::min(atomic(h.lumbraItemCount).load(), kMaxLumbraItems);
    auto* const slot = std::find_if(h.lumbraItems, end, [&](const LumbraItemSlot& i) { return i.id == id; });
    if (slot != end) atomic(slot->currentStep).store(step);
    return StepResult::applied;
}

}  // namespace simboard
