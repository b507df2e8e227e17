#pragma once
// A process's remote-link work as the board's journal shows it: its flag reads, and for each request
// the time from its flag read to the flag write that ends it.

#include <cstdint>
#include <vector>

#include "mainboard/machine/MachineLogic.h"

namespace simboard {

class HandlingTimes {
  public:
    // Counts what happens after now.
    HandlingTimes(const MachineLayout& m, std::uint32_t processId)
        : m_machine(m), m_pid(processId), m_seen(lastJournalSeq(m)) {}

    // Takes in the entries written since the last scan; call it often enough that the journal still
    // holds them.
    void scan() {
        for (const JournalRecord& e : readJournal(m_machine, m_seen)) {
            m_seen = e.seq;
            if (e.processId != m_pid) continue;
            if (isFlagAccess(e, "Read")) {
                ++flagReads;
                m_flagReadUs = e.timeUs;
            } else if (isFlagAccess(e, "Write") && e.args[1] == 0 && m_flagReadUs) {
                times.push_back(static_cast<double>(e.timeUs - m_flagReadUs));
                flagReadsUs.push_back(m_flagReadUs);
                m_flagReadUs = 0;
            }
        }
    }

    // From each notification's post to the handler's flag read: the message's way to the handler.
    std::vector<double> deliveryTimes(const std::vector<std::uint64_t>& sentUs) const {
        std::vector<double> out;
        if (sentUs.size() != flagReadsUs.size()) return out;  // a request not paired: no figure
        for (std::size_t i = 0; i < sentUs.size(); ++i)
            out.push_back(static_cast<double>(flagReadsUs[i]) - static_cast<double>(sentUs[i]));
        return out;
    }

    std::vector<double> times;
    std::vector<std::uint64_t> flagReadsUs;  // of each request that was ended
    std::uint64_t flagReads = 0;

  private:
    const MachineLayout& m_machine;
    std::uint32_t m_pid;
    std::uint64_t m_seen;
    std::uint64_t m_flagReadUs = 0;
};

}  // namespace simboard
