#include "win32/DebugOutput.h"

#include <cwchar>
#include <new>
#include <string_view>

namespace win32 {

namespace {

// The line as the backlog keeps it: one longer than the cap is cut, keeping whole characters (never
// the first half of a surrogate pair), and says so. A cut line is copied, not shortened in place,
// and so is one whose storage exceeds the cap: what the backlog holds is bounded in bytes, not only
// in lines. Throws std::bad_alloc when the copy cannot be made.
std::wstring capped(std::wstring line) {
    constexpr std::size_t kMostUnits = kDebugOutputLineBytes / sizeof(wchar_t);
    if (line.capacity() <= kMostUnits) return line;
    if (line.size() <= kMostUnits) return std::wstring(line.begin(), line.end());
    constexpr std::wstring_view mark = kDebugOutputCutMark;
    std::size_t kept = kMostUnits - mark.size();
    if (line[kept - 1] >= 0xD800 && line[kept - 1] <= 0xDBFF) --kept;
    std::wstring cut;
    cut.reserve(kept + mark.size());
    cut.append(line, 0, kept).append(mark);
    return cut;
}

}  // namespace

const wchar_t* LostLinesText::format(std::uint64_t lost) noexcept {
    std::swprintf(m_text, std::size(m_text), L"Debugger output: %llu %ls lost (no debug monitor took them)",
                  static_cast<unsigned long long>(lost), lost == 1 ? L"line" : L"lines");
    return m_text;
}

std::wstring lostDebugOutputLine(std::uint64_t lost) { return LostLinesText().format(lost); }

DebugOutputBacklog::DebugOutputBacklog(std::size_t capacity, std::pmr::memory_resource* memory)
    : m_capacity(capacity), m_lines(memory) {}

void DebugOutputBacklog::countLost(std::uint64_t lines) noexcept {
    m_lostAtEnd += lines;
    m_lost += lines;
}

void DebugOutputBacklog::add(std::wstring line) noexcept {
    if (m_lines.size() >= m_capacity) return countLost(1);
    try {
        m_lines.push_back({m_lostAtEnd, capped(std::move(line))});
    } catch (const std::bad_alloc&) {
        return countLost(1);  // the deque is as it was
    }
    m_lostAtEnd = 0;
}

void DebugOutputBacklog::addFrom(DebugOutputBacklog& other) noexcept {
    for (Entry& entry : other.m_lines) {
        m_lost += entry.lostBefore;  // from here on, this backlog reports them
        m_lostAtEnd += entry.lostBefore;
        add(std::move(entry.line));
    }
    countLost(other.m_lostAtEnd);
    other.m_lines.clear();
    other.m_lostAtEnd = 0;
    other.m_lost = 0;
}

std::optional<DebugOutputWrite> DebugOutputBacklog::take() noexcept {
    if (m_writing) return std::nullopt;
    if (m_lines.empty() && !endCountDue()) return std::nullopt;
    m_writing = true;
    if (const std::uint64_t count = headCount()) {
        m_reported = count;
        return DebugOutputWrite{count, {}};
    }
    m_reported = 0;
    DebugOutputWrite write{0, std::move(m_lines.front().line)};
    m_lines.pop_front();
    return write;
}

void DebugOutputBacklog::written(bool dropped) noexcept {
    m_writing = false;
    m_flowing = !dropped;
    if (m_reported > 0) {
        // Lines lost meanwhile were counted behind this place; the reported ones are always here.
        if (!dropped) {
            headCount() -= m_reported;
            m_lost -= m_reported;
        }
        m_reported = 0;
    } else if (dropped) {
        ++headCount();
        ++m_lost;
    }
}

}  // namespace win32
