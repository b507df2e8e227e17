#include <windows.h>

#include <chrono>
#include <new>
#include <optional>

#include "win32/DebugOutput.h"

namespace win32 {

namespace {

// Holds an SRW lock exclusively for its scope.
class ExclusiveLock {
  public:
    explicit ExclusiveLock(SRWLOCK& lock) : m_lock(lock) { ::AcquireSRWLockExclusive(&m_lock); }
    ~ExclusiveLock() { ::ReleaseSRWLockExclusive(&m_lock); }
    ExclusiveLock(const ExclusiveLock&) = delete;
    ExclusiveLock& operator=(const ExclusiveLock&) = delete;

  private:
    SRWLOCK& m_lock;
};

// The writer thread and its backlog; made on the first hand-over and never freed, so that a writer
// still waiting for a monitor when the program ends finds its state in place.
class DebugOutputWriter {
  public:
    DebugOutputWriter() {
        DWORD id = 0;
        m_thread = ::CreateThread(nullptr, 0, &DebugOutputWriter::run, this, 0, &id);
    }

    // Takes the queued lines (without a thread, nothing writes them: they wait in the bounded backlog).
    void handOver(DebugOutputBacklog& queued) noexcept {
        {
            const ExclusiveLock locked(m_lock);
            m_backlog.addFrom(queued);
        }
        ::WakeAllConditionVariable(&m_changed);
    }

    bool waitUntilIdle(DWORD timeoutMs) noexcept {
        if (!m_thread) return true;
        const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
        const ExclusiveLock locked(m_lock);
        for (ULONGLONG now = ::GetTickCount64(); !m_backlog.idle() && now < deadline;
             now = ::GetTickCount64())
            ::SleepConditionVariableSRW(&m_changed, &m_lock, static_cast<DWORD>(deadline - now), 0);
        return m_backlog.idle();
    }

  private:
    static DWORD WINAPI run(void* self) {
        static_cast<DebugOutputWriter*>(self)->write();
        return 0;
    }

    // Takes no memory of its own: a line comes moved out of the backlog, a count is formatted in place.
    [[noreturn]] void write() noexcept {
        LostLinesText countText;
        for (;;) {
            std::optional<DebugOutputWrite> next;
            {
                const ExclusiveLock locked(m_lock);
                while (!(next = m_backlog.take()))
                    ::SleepConditionVariableSRW(&m_changed, &m_lock, INFINITE, 0);
            }
            const auto start = std::chrono::steady_clock::now();
            ::OutputDebugStringW(next->lost ? countText.format(next->lost) : next->line.c_str());
            const bool dropped = std::chrono::steady_clock::now() - start >=
                                 std::chrono::milliseconds(kDebugOutputSystemWaitMs);
            next.reset();
            {
                const ExclusiveLock locked(m_lock);
                m_backlog.written(dropped);
            }
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

DebugOutputWriter* writer() noexcept {
    if (!madeWriter) {
        try {
            madeWriter = new DebugOutputWriter;
        } catch (const std::bad_alloc&) {
            return nullptr;  // tried again at the next hand-over
        }
    }
    return madeWriter;
}

// The lines of the message being handled; like the backlog, bounded.
DebugOutputBacklog& queuedLines() {
    static DebugOutputBacklog lines(kDebugOutputBacklogLines);
    return lines;
}

}  // namespace

void queueDebugOutput(std::wstring line) { queuedLines().add(std::move(line)); }

void writeQueuedDebugOutput() noexcept {
    DebugOutputBacklog& lines = queuedLines();
    if (lines.empty()) return;
    // Out of memory for the writer itself, the lines wait in the queue, bounded.
    if (DebugOutputWriter* made = writer()) made->handOver(lines);
}

bool finishDebugOutput() noexcept {
    writeQueuedDebugOutput();
    return !madeWriter || madeWriter->waitUntilIdle(kDebugOutputFinishMs);
}

}  // namespace win32
