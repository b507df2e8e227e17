#include <windows.h>

#include <chrono>
#include <vector>

#include "win32/DebugOutput.h"

namespace win32 {

namespace {

// The writer thread and its backlog; made on the first hand-over and never freed, so that a writer
// still waiting for a monitor when the program ends finds its state in place.
class DebugOutputWriter {
  public:
    DebugOutputWriter() {
        DWORD id = 0;
        m_thread = ::CreateThread(nullptr, 0, &DebugOutputWriter::run, this, 0, &id);
    }

    void handOver(std::vector<std::wstring>& lines) {
        if (!m_thread) return;  // no writer (the system refused the thread): nothing can be written
        ::AcquireSRWLockExclusive(&m_lock);
        for (std::wstring& line : lines) m_backlog.add(std::move(line));
        ::ReleaseSRWLockExclusive(&m_lock);
        ::WakeAllConditionVariable(&m_changed);
    }

    bool waitUntilIdle(DWORD timeoutMs) {
        if (!m_thread) return true;
        const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
        ::AcquireSRWLockExclusive(&m_lock);
        for (ULONGLONG now = ::GetTickCount64(); !m_backlog.idle() && now < deadline;
             now = ::GetTickCount64())
            ::SleepConditionVariableSRW(&m_changed, &m_lock, static_cast<DWORD>(deadline - now), 0);
        const bool idle = m_backlog.idle();
        ::ReleaseSRWLockExclusive(&m_lock);
        return idle;
    }

  private:
    static DWORD WINAPI run(void* self) {
        static_cast<DebugOutputWriter*>(self)->write();
        return 0;
    }

    [[noreturn]] void write() {
        ::AcquireSRWLockExclusive(&m_lock);
        for (;;) {
            std::optional<std::wstring> line;
            while (!(line = m_backlog.take())) ::SleepConditionVariableSRW(&m_changed, &m_lock, INFINITE, 0);
            ::ReleaseSRWLockExclusive(&m_lock);
            const auto start = std::chrono::steady_clock::now();
            ::OutputDebugStringW(line->c_str());
            const bool dropped = std::chrono::steady_clock::now() - start >=
                                 std::chrono::milliseconds(kDebugOutputSystemWaitMs);
            line.reset();
            ::AcquireSRWLockExclusive(&m_lock);
            m_backlog.written(dropped);
            ::WakeAllConditionVariable(&m_changed);
        }
    }

    SRWLOCK m_lock = SRWLOCK_INIT;
    CONDITION_VARIABLE m_changed = CONDITION_VARIABLE_INIT;
    DebugOutputBacklog m_backlog{kDebugOutputBacklogLines};
    HANDLE m_thread = nullptr;  // never closed: it runs until the process ends
};

// The writer, made with the first line to write. A program that wrote none never starts the thread:
// one started as the program ends can be caught half made by the end (wine then crashes the
// process instead of ending it with its exit code).
DebugOutputWriter* madeWriter = nullptr;

DebugOutputWriter& writer() {
    if (!madeWriter) madeWriter = new DebugOutputWriter;
    return *madeWriter;
}

std::vector<std::wstring>& queuedLines() {
    static std::vector<std::wstring> lines;
    return lines;
}

}  // namespace

void queueDebugOutput(std::wstring line) { queuedLines().push_back(std::move(line)); }

void writeQueuedDebugOutput() {
    std::vector<std::wstring>& lines = queuedLines();
    if (lines.empty()) return;
    writer().handOver(lines);
    lines.clear();
}

bool finishDebugOutput() {
    writeQueuedDebugOutput();
    return !madeWriter || madeWriter->waitUntilIdle(kDebugOutputFinishMs);
}

}  // namespace win32
