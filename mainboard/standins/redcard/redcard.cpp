// Stand-in for the AMD back end over the board's AMD cards. A clock block goes out as the card holds
// it, the back end's own bytes included; of a block that comes back, the current values are kept for
// the next read, and the journal notes whether the rest came back as it went out. Calls before
// Amd_Initialize, or for a card the machine does not have, change nothing and fail.

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <optional>

#include "mainboard/machine/Hardware.h"
#include "mainboard/machine/Machine.h"
#include "mainboard/standins/BackEnd.h"

using namespace simboard;

namespace {

constexpr char kLibrary[] = "Redcard";
constexpr int kOk = 0;
constexpr int kError = -1;  // initialisation on a machine without AMD cards; a figure of no card

std::atomic<bool> g_initialised{false};

Machine& board() { return Machine::instance(); }

std::optional<AmdCardSlot> card(std::int32_t index) {
    if (!g_initialised) return std::nullopt;
    return amdCard(board().state(), index);
}

int cardFigure(const char* entry, std::int32_t index, std::int32_t AmdCardSlot::*figure) {
    const auto c = card(index);
    const int value = c ? (*c).*figure : kError;
    board().journal(kLibrary, entry, {word(index)}, value);
    return value;
}

}  // namespace

extern "C" {

int __stdcall Amd_Initialize() {
    MachineLayout& m = board().state();
    const int result =
        faultChosenValue(m.faults.amdInitResult, m.faults.amdInit, amdCardCount(m) > 0 ? kOk : kError);
    g_initialised = result == kOk;
    board().journal(kLibrary, "Amd_Initialize", {}, result);
    return result;
}

int __stdcall Amd_UnInitialize() {
    g_initialised = false;
    board().journal(kLibrary, "Amd_UnInitialize", {}, kOk);
    return kOk;
}

int __stdcall Amd_GetGpuCount() {
    MachineLayout& m = board().state();
    const int count = g_initialised ? faultChosenValue(m.faults.gpuCountReported, m.faults.gpuCount,
                                                       static_cast<int>(amdCardCount(m)))
                                    : 0;
    board().journal(kLibrary, "Amd_GetGpuCount", {}, count);
    return count;
}

int __stdcall Amd_GetGpuName(std::int32_t index, char16_t* name) {
    MachineLayout& m = board().state();
    const auto c = name ? card(index) : std::nullopt;
    const bool terminated =
        !c || !consumeFaultAt(m.faults.nameUnterminated, m.faults.unterminatedName, word(index));
    if (c) writeCardName(name, kAmdNameUnits, std::u16string_view(c->name), terminated);
    board().journal(kLibrary, "Amd_GetGpuName", {word(index), terminated}, c.has_value());
    return c.has_value();
}

int __stdcall Amd_IsIntegrated(std::int32_t index) {
    const auto c = card(index);
    const bool integrated = c && c->integrated != 0;
    board().journal(kLibrary, "Amd_IsIntegrated", {word(index)}, integrated);
    return integrated;
}

int __stdcall Amd_GetGpuClockInfo(std::int32_t index, AmdClockInfo* info) {
    const auto c = info ? card(index) : std::nullopt;
    if (c) *info = c->clocks;
    const AmdClockInfo& r = c ? c->clocks : AmdClockInfo{};
    board().journal(kLibrary, "Amd_GetGpuClockInfo",
                    {word(index), word(r.entries[kAmdCore].current), word(r.entries[kAmdMemory].current),
                     word(r.entries[kAmdVoltage].current)},
                    c.has_value());
    return c.has_value();
}

// The journal's last argument: 1 when everything but the current values came back as it went out.
int __stdcall Amd_SetGpuClockInfo(std::int32_t index, AmdClockInfo info) {
    const std::uint64_t reserved = board().reserveEntry();
    const auto intact = g_initialised ? applyAmdCurrents(board().state(), index, info) : std::nullopt;
    board().journal(
        reserved, kLibrary, "Amd_SetGpuClockInfo",
        {word(index), word(info.entries[kAmdCore].current), word(info.entries[kAmdMemory].current),
         word(info.entries[kAmdVoltage].current), intact.value_or(false)},
        intact.has_value());
    return intact.has_value();
}

int __stdcall Amd_GetGpuAdapterID(std::int32_t index) {
    return cardFigure("Amd_GetGpuAdapterID", index, &AmdCardSlot::adapterId);
}

int __stdcall Amd_GetGpuConnected(std::int32_t index) {
    return cardFigure("Amd_GetGpuConnected", index, &AmdCardSlot::connected);
}

int __stdcall Amd_GetGpuUsage(std::int32_t index) {
    return cardFigure("Amd_GetGpuUsage", index, &AmdCardSlot::usage);
}

int __stdcall Amd_GetGpuHybridMode(std::int32_t index) {
    return cardFigure("Amd_GetGpuHybridMode", index, &AmdCardSlot::hybridMode);
}

int __stdcall Amd_GetGpuFreq(std::int32_t index) {
    return cardFigure("Amd_GetGpuFreq", index, &AmdCardSlot::frequency);
}

}  // extern "C"
