#include <windows.h>

#include <cstdio>
#include <stdexcept>

#include "mainboard/machine/Hardware.h"
#include "mainboard/machine/Machine.h"
#include "win32/Text.h"

namespace simboard {

namespace {

constexpr wchar_t kMappingName[] = L"Local\\KelvaneSimBoardState";

class MutexLock {
  public:
    explicit MutexLock(HANDLE mutex) : m_mutex(mutex) { ::WaitForSingleObject(m_mutex, INFINITE); }
    ~MutexLock() { ::ReleaseMutex(m_mutex); }
    MutexLock(const MutexLock&) = delete;
    MutexLock& operator=(const MutexLock&) = delete;

  private:
    HANDLE m_mutex;
};

std::wstring environment(const wchar_t* name) {
    wchar_t buffer[MAX_PATH];
    const DWORD n = ::GetEnvironmentVariableW(name, buffer, MAX_PATH);
    return n > 0 && n < MAX_PATH ? std::wstring(buffer, n) : std::wstring();
}

[[noreturn]] void fail(const std::string& what) {
    std::fprintf(stderr, "simboard: %s (error %lu)\n", what.c_str(), ::GetLastError());
    std::fflush(stderr);
    ::ExitProcess(70);
}

}  // namespace

std::wstring Machine::statePath() {
    std::wstring path = environment(L"KELVANE_SIMBOARD_STATE");
    if (!path.empty()) return path;
    std::wstring folder = environment(L"ProgramData");
    if (folder.empty()) folder = L"C:\\ProgramData";
    folder += L"\\KelvaneSimBoard";
    ::CreateDirectoryW(folder.c_str(), nullptr);
    return folder + L"\\machine.state";
}

Machine::Machine() {
    m_mutex.reset(::CreateMutexW(nullptr, FALSE, kMachineMutexName));
    if (!m_mutex) fail("cannot create the board's mutex");
    MutexLock lock(m_mutex.get());
    const std::wstring path = statePath();
    m_file.reset(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!m_file) fail("cannot open the machine state file " + win32::narrow(path));
    m_mapping.reset(
        ::CreateFileMappingW(m_file.get(), nullptr, PAGE_READWRITE, 0, sizeof(MachineLayout), kMappingName));
    if (!m_mapping) fail("cannot map the machine state");
    m_view.reset(::MapViewOfFile(m_mapping.get(), FILE_MAP_ALL_ACCESS, 0, 0, sizeof(MachineLayout)));
    if (!m_view) fail("cannot view the machine state");
    m_state = static_cast<MachineLayout*>(m_view.get());
    if (m_state->magic != kMachineMagic || m_state->layoutVersion != kLayoutVersion ||
        m_state->size != sizeof(MachineLayout)) {
        initializeMachine(*m_state);
    } else if (m_state->hardware.generation % 2 != 0) {
        // A process ended while installing a machine (its mutex was abandoned to us): the
        // hardware is half the old machine and half the new one.
        installMachine(*m_state, defaultMachine());
    }
}

Machine& Machine::instance() {
    static Machine machine;
    return machine;
}

void Machine::journal(std::string_view library, std::string_view entry,
                      std::initializer_list<std::uint32_t> args, std::int32_t result) {
    appendJournal(*m_state, nowUs(), ::GetCurrentProcessId(), library, entry, args, result);
}

std::uint64_t Machine::reserveEntry() { return reserveJournalEntry(*m_state); }

void Machine::journal(std::uint64_t reserved, std::string_view library, std::string_view entry,
                      std::initializer_list<std::uint32_t> args, std::int32_t result) {
    fillJournalEntry(*m_state, reserved, nowUs(), ::GetCurrentProcessId(), library, entry, args, result);
}

void Machine::reset() {
    MutexLock lock(m_mutex.get());
    initializeMachine(*m_state);
}

void Machine::load(const MachineDescription& description) {
    MutexLock lock(m_mutex.get());
    installMachine(*m_state, description);
}

std::uint64_t Machine::nowUs() {
    static const std::uint64_t frequency = [] {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        return static_cast<std::uint64_t>(f.QuadPart);
    }();
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    const auto ticks = static_cast<std::uint64_t>(now.QuadPart);
    return ticks / frequency * 1000000u + ticks % frequency * 1000000u / frequency;
}

}  // namespace simboard
