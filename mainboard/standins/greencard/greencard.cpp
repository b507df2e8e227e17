// Stand-in for the NVIDIA back end over the board's NVIDIA cards. Clock and fan records go out
// filled from the machine state; the current values of a record that comes back are kept there, so
// that the next read returns them. Calls before Nv_Initialize, or for a card the machine does not
// have, change nothing and fail.

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <optional>

#include "mainboard/machine/Hardware.h"
#include "mainboard/machine/Machine.h"
#include "mainboard/standins/BackEnd.h"

using namespace simboard;

namespace {

constexpr char kLibrary[] = "Greencard";
constexpr int kOk = 0;
constexpr int kNoNvidiaDevice = -6;  // what initialisation reports on a machine without NVIDIA cards
constexpr int kNoCard = -1;          // the figure returned for a card that is not there

std::atomic<bool> g_initialised{false};

Machine& board() { return Machine::instance(); }

std::optional<NvidiaCardSlot> card(std::int32_t index) {
    if (!g_initialised) return std::nullopt;
    return nvidiaCard(board().state(), index);
}

// Record calls are journalled with the card index and the record's four current values, into an
// entry reserved before a set stores them.
void journalRecord(std::uint64_t reserved, const char* entry, std::int32_t index, const NvClockInfo& r,
                   bool ok) {
    board().journal(reserved, kLibrary, entry,
                    {word(index), word(r.entries[kNvCore].current), word(r.entries[kNvMemory].current),
                     word(r.entries[kNvVoltage].current), word(r.entries[kNvFan].current)},
                    ok);
}

int readRecord(const char* entry, std::int32_t index, NvClockInfo* info,
               std::initializer_list<NvEntry> entries) {
    const auto c = info ? card(index) : std::nullopt;
    if (c)
        for (NvEntry e : entries) info->entries[e] = c->clocks.entries[e];
    journalRecord(board().reserveEntry(), entry, index, info ? *info : NvClockInfo{}, c.has_value());
    return c.has_value();
}

int applyRecord(const char* entry, std::int32_t index, const NvClockInfo& info,
                std::initializer_list<NvEntry> entries) {
    const std::uint64_t reserved = board().reserveEntry();
    const bool ok = g_initialised && applyNvidiaCurrents(board().state(), index, info, entries);
    journalRecord(reserved, entry, index, info, ok);
    return ok;
}

int cardFigure(const char* entry, std::int32_t index, std::int32_t NvidiaCardSlot::*figure) {
    const auto c = card(index);
    const int value = c ? (*c).*figure : kNoCard;
    board().journal(kLibrary, entry, {word(index)}, value);
    return value;
}

}  // namespace

extern "C" {

int __stdcall Nv_Initialize() {
    // Like a vendor's back end that loads its driver's libraries, it loads a helper of its own by
    // name, through the search order of the process that loaded it. The board ships no such helper.
    ::LoadLibraryW(kGreencardHelperLibrary);
    MachineLayout& m = board().state();
    const int result = faultChosenValue(m.faults.nvidiaInitResult, m.faults.nvidiaInit,
                                        nvidiaCardCount(m) > 0 ? kOk : kNoNvidiaDevice);
    g_initialised = result == kOk;
    board().journal(kLibrary, "Nv_Initialize", {}, result);
    return result;
}

int __stdcall Nv_UnInitialize() {
    g_initialised = false;
    board().journal(kLibrary, "Nv_UnInitialize", {}, kOk);
    return kOk;
}

int __stdcall Nv_GetGPUCount(std::int32_t* count) {
    MachineLayout& m = board().state();
    const bool ok = g_initialised && count && !consumeFault(m.faults.nvidiaCountFails);
    if (ok)
        *count = faultChosenValue(m.faults.gpuCountReported, m.faults.gpuCount,
                                  static_cast<std::int32_t>(nvidiaCardCount(m)));
    board().journal(kLibrary, "Nv_GetGPUCount", {ok ? word(*count) : 0u}, ok);
    return ok;
}

int __stdcall Nv_GetGPUName(std::int32_t index, char* name) {
    MachineLayout& m = board().state();
    const auto c = name ? card(index) : std::nullopt;
    const bool terminated =
        !c || !consumeFaultAt(m.faults.nameUnterminated, m.faults.unterminatedName, word(index));
    if (c) writeCardName(name, kNvidiaNameBytes, std::string_view(c->name), terminated);
    board().journal(kLibrary, "Nv_GetGPUName", {word(index), terminated}, c.has_value());
    return c.has_value();
}

int __stdcall Nv_GetGPUMemCapacity(std::int32_t index, std::int32_t* megabytes) {
    const auto c = megabytes ? card(index) : std::nullopt;
    if (c) *megabytes = c->memoryMegabytes;
    board().journal(kLibrary, "Nv_GetGPUMemCapacity", {word(index), c ? word(c->memoryMegabytes) : 0u},
                    c.has_value());
    return c.has_value();
}

int __stdcall Nv_GetGPUClockInfoPStates(std::int32_t index, NvClockInfo* info) {
    return readRecord("Nv_GetGPUClockInfoPStates", index, info, {kNvCore, kNvMemory, kNvVoltage});
}

int __stdcall Nv_SetGPUClockInfoPStates(std::int32_t index, NvClockInfo info) {
    return applyRecord("Nv_SetGPUClockInfoPStates", index, info, {kNvCore, kNvMemory, kNvVoltage});
}

int __stdcall Nv_GetGPUFan(std::int32_t index, NvClockInfo* info) {
    return readRecord("Nv_GetGPUFan", index, info, {kNvFan});
}

int __stdcall Nv_SetGPUFan(std::int32_t index, NvClockInfo info) {
    return applyRecord("Nv_SetGPUFan", index, info, {kNvFan});
}

int __stdcall Nv_GetGpuMode(std::int32_t index) {
    return cardFigure("Nv_GetGpuMode", index, &NvidiaCardSlot::mode);
}

int __stdcall Nv_GetGpuUsage(std::int32_t index) {
    return cardFigure("Nv_GetGpuUsage", index, &NvidiaCardSlot::usage);
}

}  // extern "C"
