#include "win32/DebugOutput.h"

namespace win32 {

void DebugOutputBacklog::add(std::wstring line) {
    if (m_lines.size() >= m_capacity)
        ++m_lost;
    else
        m_lines.push_back(std::move(line));
}

std::optional<std::wstring> DebugOutputBacklog::take() {
    if (m_writing) return std::nullopt;
    if (countDue()) {
        m_writing = true;
        m_reported = m_lost;
        return lostDebugOutputLine(m_lost);
    }
    if (m_lines.empty()) return std::nullopt;
    m_writing = true;
    m_reported = 0;
    std::wstring line = std::move(m_lines.front());
    m_lines.pop_front();
    return line;
}

void DebugOutputBacklog::written(bool dropped) {
    m_writing = false;
    m_flowing = !dropped;
    if (m_reported > 0) {
        if (!dropped) m_lost -= m_reported;  // what was lost meanwhile waits for the next report
        m_reported = 0;
    } else if (dropped) {
        ++m_lost;
    }
}

std::wstring lostDebugOutputLine(std::uint64_t lost) {
    return L"Debugger output: " + std::to_wstring(lost) + (lost == 1 ? L" line" : L" lines") +
           L" lost (no debug monitor took them)";
}

}  // namespace win32
