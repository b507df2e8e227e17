// Stand-in for the maker's item back end over the board's Lumbra items. An item is a base value and
// a number of steps; its value is a step number, kept in the machine state. Calls before LumbraInit,
// and calls for an item the machine lacks or does not support, change nothing and fail.

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <optional>

#include "mainboard/machine/Hardware.h"
#include "mainboard/machine/Machine.h"
#include "mainboard/standins/BackEnd.h"

using namespace simboard;

namespace {

constexpr char kLibrary[] = "Lumbra";
constexpr int kInitialised = 1;

std::atomic<bool> g_initialised{false};

Machine& board() { return Machine::instance(); }

std::optional<LumbraItemSlot> usableItem(std::uint32_t id) {
    if (!g_initialised) return std::nullopt;
    MachineLayout& m = board().state();
    auto item = lumbraItem(m, id);
    if (!item || item->supported == 0) return std::nullopt;
    if (consumeFaultAt(m.faults.lumbraItemUnsupported, m.faults.unsupportedItem, id)) return std::nullopt;
    return item;
}

}  // namespace

extern "C" {

int __stdcall LumbraInit() {
    MachineLayout& m = board().state();
    const int result = faultChosenValue(m.faults.lumbraInitResult, m.faults.lumbraInit, kInitialised);
    g_initialised = (result & 0xFF) != 0;
    board().journal(kLibrary, "LumbraInit", {}, result);
    return result;
}

int __stdcall IsItemSupported(std::uint32_t id) {
    const bool supported = usableItem(id).has_value();
    board().journal(kLibrary, "IsItemSupported", {id}, supported);
    return supported;
}

int __stdcall GetGGRPItemInfo(std::uint32_t id, GgrpItemInfo* info) {
    auto item = info ? usableItem(id) : std::nullopt;
    if (item) {
        MachineLayout& m = board().state();
        item->info.stepCount =
            faultChosenValue(m.faults.lumbraStepsReported, m.faults.lumbraSteps, item->info.stepCount);
        *info = item->info;
    }
    const GgrpItemInfo& r = item ? item->info : GgrpItemInfo{};
    board().journal(kLibrary, "GetGGRPItemInfo",
                    {id, word(r.base), word(r.step), word(r.stepCount), word(r.defaultStep)},
                    item.has_value());
    return item.has_value();
}

int __stdcall LumbraGetItem(std::uint32_t id, std::int32_t* step) {
    const auto item = step ? usableItem(id) : std::nullopt;
    if (item) *step = item->currentStep;
    board().journal(kLibrary, "LumbraGetItem", {id, item ? word(item->currentStep) : 0u}, item.has_value());
    return item.has_value();
}

// A step outside the item's steps is refused: there is no such setting.
int __stdcall LumbraSetItem(std::uint32_t id, std::int32_t step) {
    const std::uint64_t reserved = board().reserveEntry();
    const bool applied = usableItem(id) && setLumbraStep(board().state(), id, step) == StepResult::applied;
    board().journal(reserved, kLibrary, "LumbraSetItem", {id, word(step)}, applied);
    return applied;
}

}  // extern "C"
