#include "mainboard/machine/MachineLogic.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

#include "mainboard/machine/Hardware.h"
#include "mainboard/machine/SharedAccess.h"

namespace simboard {

namespace {

void copyName(char* to, std::size_t capacity, std::string_view from) {
    const std::size_t n = std::min(capacity - 1, from.size());
    std::memcpy(to, from.data(), n);
    std::memset(to + n, 0, capacity - n);
}

std::string nameOf(const char* text, std::size_t capacity) {
    return std::string(text, strnlen(text, capacity));
}

// True once the entry holds seq; false when a later lap overwrote it, or when it stays unfilled (its
// writer ended between reserving and filling it).
bool waitUntilFilled(const JournalEntry& e, std::uint64_t seq) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kUnfilledEntryWaitMs);
    for (;;) {
        const std::uint64_t held = atomic(e.seq).load(std::memory_order_acquire);
        if (held == seq) return true;
        if (held > seq || std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::yield();
    }
}

}  // namespace

void initializeMachine(MachineLayout& m) {
    std::memset(static_cast<void*>(&m), 0, sizeof(MachineLayout));
    m.magic = kMachineMagic;
    m.layoutVersion = kLayoutVersion;
    m.size = sizeof(MachineLayout);
    for (const FaultName& f : kFaultNames)
        if (f.detail) m.faults.*f.detail = FaultDetail{kAnyTarget, kAnyProperty, f.defaultCode};
    installMachine(m, defaultMachine());
}

bool consumeFault(std::int32_t& counter) {
    auto c = atomic(counter);
    std::int32_t n = c.load();
    while (n != 0) {
        if (n < 0) return true;
        if (c.compare_exchange_weak(n, n - 1)) return true;
    }
    return false;
}

bool consumeFaultAt(std::int32_t& counter, const FaultDetail& detail, std::uint32_t target,
                    std::uint32_t property) {
    if (faultValue(counter) == 0) return false;
    const FaultDetail aim = faultDetail(detail);
    if (aim.target != kAnyTarget && aim.target != target) return false;
    if (aim.property != kAnyProperty && aim.property != property) return false;
    return consumeFault(counter);
}

void setFaultDetail(FaultDetail& detail, const FaultDetail& value) {
    atomic(detail.target).store(value.target);
    atomic(detail.property).store(value.property);
    atomic(detail.code).store(value.code);
}

FaultDetail faultDetail(const FaultDetail& detail) {
    return {atomic(detail.target).load(), atomic(detail.property).load(), atomic(detail.code).load()};
}

void setFault(std::int32_t& counter, std::int32_t value) { atomic(counter).store(value); }
std::int32_t faultValue(const std::int32_t& counter) { return atomic(counter).load(); }

std::uint32_t loadWord(const std::uint32_t& word) { return atomic(word).load(); }
void storeWord(std::uint32_t& word, std::uint32_t value) { atomic(word).store(value); }
void incrementWord(std::uint32_t& word) { atomic(word).fetch_add(1); }

bool readRegister(MachineLayout& m, std::uint32_t deviceId, std::uint32_t& value) {
    value = 0;
    if (consumeFault(m.faults.acpiReadFails)) return false;
    RegisterBankState& r = m.registers;
    switch (deviceId) {
        case wire::kFlagRegister:
            value = loadWord(r.flag);
            return true;
        case wire::kSelectorRegister:
            value = loadWord(r.selector);
            return true;
        case wire::kDataRegister: {
            const std::uint32_t selector = loadWord(r.selector);
            if (selector > 2) return false;
            value = loadWord(r.words[selector]);
            return true;
        }
        default:
            return false;
    }
}

bool writeRegister(MachineLayout& m, std::uint32_t deviceId, std::uint32_t value) {
    if (consumeFault(m.faults.acpiWriteFails)) return false;
    RegisterBankState& r = m.registers;
    switch (deviceId) {
        case wire::kFlagRegister:
            storeWord(r.flag, value);
            return true;
        case wire::kSelectorRegister:
            storeWord(r.selector, value);
            return true;
        case wire::kDataRegister: {
            const std::uint32_t selector = loadWord(r.selector);
            if (selector > 2) return false;
            storeWord(r.words[selector], value);
            return true;
        }
        default:
            return false;
    }
}

std::uint64_t reserveJournalEntry(MachineLayout& m) { return atomic(m.journalLastSeq).fetch_add(1) + 1; }

void fillJournalEntry(MachineLayout& m, std::uint64_t seq, std::uint64_t timeUs, std::uint32_t processId,
                      std::string_view library, std::string_view entry,
                      std::initializer_list<std::uint32_t> args, std::int32_t result) {
    JournalEntry& e = m.journal[seq % kJournalCapacity];
    atomic(e.seq).store(0, std::memory_order_relaxed);
    std::atomic_thread_fence(std::memory_order_release);
    e.timeUs = timeUs;
    e.processId = processId;
    e.result = result;
    copyName(e.library, sizeof e.library, library);
    copyName(e.entry, sizeof e.entry, entry);
    e.argCount = static_cast<std::uint32_t>(std::min<std::size_t>(args.size(), std::size(e.args)));
    std::copy_n(args.begin(), e.argCount, e.args);
    atomic(e.seq).store(seq, std::memory_order_release);
}

void appendJournal(MachineLayout& m, std::uint64_t timeUs, std::uint32_t processId, std::string_view library,
                   std::string_view entry, std::initializer_list<std::uint32_t> args, std::int32_t result) {
    fillJournalEntry(m, reserveJournalEntry(m), timeUs, processId, library, entry, args, result);
}

std::uint64_t lastJournalSeq(const MachineLayout& m) { return atomic(m.journalLastSeq).load(); }

std::vector<JournalRecord> readJournal(const MachineLayout& m, std::uint64_t afterSeq) {
    const std::uint64_t last = lastJournalSeq(m);
    const std::uint64_t oldestHeld = last >= kJournalCapacity ? last - kJournalCapacity + 1 : 1;
    std::vector<JournalRecord> out;
    for (std::uint64_t seq = std::max(afterSeq + 1, oldestHeld); seq <= last; ++seq) {
        const JournalEntry& e = m.journal[seq % kJournalCapacity];
        if (!waitUntilFilled(e, seq)) continue;  // overwritten by a later lap, or its writer is gone
        JournalRecord r{seq,
                        e.timeUs,
                        e.processId,
                        e.result,
                        nameOf(e.library, sizeof e.library),
                        nameOf(e.entry, sizeof e.entry),
                        std::vector<std::uint32_t>(e.args, e.args + std::min<std::uint32_t>(e.argCount, 10))};
        std::atomic_thread_fence(std::memory_order_acquire);
        if (atomic(e.seq).load(std::memory_order_relaxed) != seq) continue;  // overtaken while copying
        out.push_back(std::move(r));
    }
    return out;
}

}  // namespace simboard
