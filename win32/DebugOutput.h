#pragma once
// The debugger output (OutputDebugStringW). Each line is a round trip to the system, and a debug
// monitor that does not take the buffer makes each one wait up to 10 s before the system drops it.
// So the user-interface thread only queues its lines while it handles a message and hands them, once
// the answer is out, to a writer thread of their own, through a bounded backlog: nothing the monitor
// does can hold up an answer. The lines reach a monitor in order; lines that did not fit in the
// backlog, or that the system dropped, are counted and reported in one line once lines go through
// again.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>

namespace win32 {

inline constexpr std::size_t kDebugOutputBacklogLines = 4096;
// How long a write may take before it counts as dropped: the system's own wait for a monitor that
// does not take the buffer (10 s), less one tick of the system's timer, by which a wait may end early.
inline constexpr std::uint32_t kDebugOutputSystemWaitMs = 10000 - 16;
// The longest that ending the program, or an assertion report, waits for queued lines to be written.
inline constexpr std::uint32_t kDebugOutputFinishMs = 2000;

// The writer's lines, and the count of those lost since the last report of them. Not synchronised:
// its owner locks around it.
class DebugOutputBacklog {
  public:
    explicit DebugOutputBacklog(std::size_t capacity) : m_capacity(capacity) {}

    // Lines beyond the capacity are dropped and counted.
    void add(std::wstring line);
    // The next line to write: once a write went through after lost lines, the line that counts them;
    // else the oldest line. None when there is nothing to write.
    std::optional<std::wstring> take();
    // What became of the line that take() gave: written, or dropped by the system.
    void written(bool dropped);
    // Nothing to write or being written (a count that waits for lines to go through aside).
    bool idle() const { return !m_writing && m_lines.empty() && !countDue(); }
    std::uint64_t lost() const { return m_lost; }

  private:
    bool countDue() const { return m_lost > 0 && m_flowing; }

    std::size_t m_capacity;
    std::deque<std::wstring> m_lines;
    std::uint64_t m_lost = 0;      // lines dropped and not yet reported
    std::uint64_t m_reported = 0;  // the count that the line being written reports
    bool m_writing = false;
    bool m_flowing = false;  // the last write went through
};

// The line that reports lost lines.
std::wstring lostDebugOutputLine(std::uint64_t lost);

// Queues a line while a message is handled (user-interface thread only).
void queueDebugOutput(std::wstring line);

// Hands the queued lines to the writer thread, oldest first, and returns at once.
void writeQueuedDebugOutput();

// Hands them over and waits until the writer has written everything, at most kDebugOutputFinishMs;
// false when the time ran out (a monitor that does not take its lines).
bool finishDebugOutput();

}  // namespace win32
