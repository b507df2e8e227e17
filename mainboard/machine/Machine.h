#pragma once
// The board's machine state as every process of the board sees it: a named mapping of a state
// file in the prefix, created and initialised by the first process that opens it.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "mainboard/machine/MachineDescription.h"
#include "mainboard/machine/MachineLogic.h"
#include "win32/Handles.h"

namespace simboard {

// The lock over the board's state and journal, which every process of the board takes for a call.
inline constexpr wchar_t kMachineMutexName[] = L"Local\\KelvaneSimBoardMutex";

class Machine {
  public:
    // The state of this process's board, opened on first use. A board that cannot be opened is a
    // broken installation of the simulator: the process reports it on stderr and ends (code 70).
    static Machine& instance();

    MachineLayout& state() noexcept { return *m_state; }

    void journal(std::string_view library, std::string_view entry, std::initializer_list<std::uint32_t> args,
                 std::int32_t result);
    // For a call whose effect other processes see: reserve its entry before storing the effect, and
    // journal it into that entry afterwards (reserveJournalEntry says why).
    std::uint64_t reserveEntry();
    void journal(std::uint64_t reserved, std::string_view library, std::string_view entry,
                 std::initializer_list<std::uint32_t> args, std::int32_t result);

    // Back to the power-on state: the default machine, registers, registration, faults, journal.
    void reset();

    // Puts the described machine in place of the current one; registers, faults and journal stay.
    void load(const MachineDescription& description);

    // Microseconds on a clock that every process of the board shares.
    static std::uint64_t nowUs();
    static std::wstring statePath();

  private:
    Machine();
    win32::UniqueHandle m_mutex;
    win32::UniqueHandle m_file;
    win32::UniqueHandle m_mapping;
    win32::UniqueFileView m_view;
    MachineLayout* m_state = nullptr;
};

}  // namespace simboard
