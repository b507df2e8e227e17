#pragma once
// The simulated mainboard's one machine state, as laid out in shared memory. Every process of the
// board (stand-in libraries inside the product, linkctl, simctl, tests) maps the same bytes.

#include <cstddef>
#include <cstdint>

namespace simboard {

inline constexpr std::uint32_t kMachineMagic = 0x4D49534Bu;  // "KSIM"
inline constexpr std::uint32_t kLayoutVersion = 1;
inline constexpr std::uint32_t kJournalCapacity = 1u << 17;  // entries kept; older ones are overwritten

// A fault counter: 0 off, N > 0 the next N calls fail, kFaultAlways every call fails.
inline constexpr std::int32_t kFaultAlways = -1;

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

struct FaultSwitches {
    std::int32_t acpiReadFails;
    std::int32_t acpiWriteFails;
    std::int32_t registrationRefusals;
    std::int32_t eventOpenFails;
    std::int32_t gearlinkSendFails;
    std::int32_t reserved[11];
};

struct JournalEntry {
    alignas(8) std::uint64_t seq;  // 0 while the entry is being written
    std::uint64_t timeUs;          // on the board's clock, shared by every process
    std::uint32_t processId;
    std::int32_t result;
    char library[16];
    char entry[32];
    std::uint32_t argCount;
    std::uint32_t args[10];
    std::uint32_t reserved[3];
};
static_assert(sizeof(JournalEntry) == 128);

struct MachineLayout {
    std::uint32_t magic;
    std::uint32_t layoutVersion;
    std::uint32_t size;
    std::uint32_t reserved0;
    RegisterBankState registers;
    NotifyState notify;
    FaultSwitches faults;
    alignas(8) std::uint64_t journalLastSeq;
    JournalEntry journal[kJournalCapacity];
};

}  // namespace simboard
