#pragma once
// The debugger output (OutputDebugStringW). Each line is a round trip to the system, and a debug
// monitor that does not take the buffer makes each one wait up to 10 s before the system drops it.
// So the user-interface thread only queues its lines while it handles a message and hands them, once
// the answer is out, to a writer thread of their own, through a bounded backlog: nothing the monitor
// does can hold up an answer. The lines reach a monitor in order; lines that did not fit in the
// backlog (or in memory), or that the system dropped, are counted, and the count is written as one
// line in their place.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory_resource>
#include <optional>
#include <string>

namespace win32 {

inline constexpr std::size_t kDebugOutputBacklogLines = 4096;
// A line longer than this (in bytes of its UTF-16 text) is cut, and says so at its end: the backlog
// holds at most kDebugOutputBacklogLines of these.
inline constexpr std::size_t kDebugOutputLineBytes = 2048;
inline constexpr wchar_t kDebugOutputCutMark[] = L" [cut: the line was too long]";
// How long a write may take before it counts as dropped: the system's own wait for a monitor that
// does not take the buffer (10 s), less one tick of the system's timer, by which a wait may end early.
inline constexpr std::uint32_t kDebugOutputSystemWaitMs = 10000 - 16;
// The longest that ending the program, or an assertion report, waits for queued lines to be written.
inline constexpr std::uint32_t kDebugOutputFinishMs = 2000;

// The line that counts lost lines, made without taking memory: the writer thread must not fail on it.
class LostLinesText {
  public:
    const wchar_t* format(std::uint64_t lost) noexcept;

  private:
    wchar_t m_text[96] = {};
};

// What the writer writes next: a line, or the count of lines lost at that place.
struct DebugOutputWrite {
    std::uint64_t lost = 0;  // not 0: the count line
    std::wstring line;
};

// Lines on their way to the debugger output, each with the count of lines lost just before it, and
// the count lost after the last. No operation ends the program for want of memory: a line that
// cannot be kept is counted instead. Not synchronised: its owner locks around it.
class DebugOutputBacklog {
  public:
    explicit DebugOutputBacklog(std::size_t capacity,
                                std::pmr::memory_resource* memory = std::pmr::get_default_resource());

    // The line, cut to kDebugOutputLineBytes; beyond the capacity, or out of memory, it is counted.
    void add(std::wstring line) noexcept;
    // Moves the other backlog's lines and counts behind these, in their order; it is left empty.
    void addFrom(DebugOutputBacklog& other) noexcept;
    bool empty() const noexcept { return m_lines.empty() && m_lostAtEnd == 0; }

    // The next write: the count of lines lost before the oldest line, else the oldest line; at the end,
    // the count of lines lost after the last one, once a write has gone through (while the monitor
    // takes nothing, that count waits for the next line). None while a write is on its way.
    std::optional<DebugOutputWrite> take() noexcept;
    // What became of the write that take() gave: gone through, or dropped by the system. A dropped
    // line is counted in its place; a dropped count is written again before the next line.
    void written(bool dropped) noexcept;
    // Nothing to write or being written (a count at the end that waits for lines to go through aside).
    bool idle() const noexcept { return !m_writing && m_lines.empty() && !endCountDue(); }
    // Lines lost and not yet reported.
    std::uint64_t lost() const noexcept { return m_lost; }

  private:
    struct Entry {
        std::uint64_t lostBefore = 0;
        std::wstring line;
    };
    bool endCountDue() const noexcept { return m_lostAtEnd > 0 && m_flowing; }
    void countLost(std::uint64_t lines) noexcept;  // at the end
    // Where a loss at the head is counted: before the oldest line, else at the end.
    std::uint64_t& headCount() noexcept { return m_lines.empty() ? m_lostAtEnd : m_lines.front().lostBefore; }

    std::size_t m_capacity;
    std::pmr::deque<Entry> m_lines;
    std::uint64_t m_lostAtEnd = 0;
    std::uint64_t m_lost = 0;
    std::uint64_t m_reported = 0;  // the count that the write on its way reports
    bool m_writing = false;
    bool m_flowing = false;  // the last write went through
};

// The text of the line that counts lost lines.
std::wstring lostDebugOutputLine(std::uint64_t lost);

// Queues a line while a message is handled (user-interface thread only).
void queueDebugOutput(std::wstring line);

// Hands the queued lines to the writer thread, oldest first, and returns at once.
void writeQueuedDebugOutput() noexcept;

// Hands them over and waits until the writer has written everything, at most kDebugOutputFinishMs;
// false when the time ran out (a monitor that does not take its lines).
bool finishDebugOutput() noexcept;

}  // namespace win32
