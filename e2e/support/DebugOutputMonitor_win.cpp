#include "e2e/support/DebugOutputMonitor.h"

#include <cstring>

#include "e2e/support/Harness.h"

namespace e2e {

namespace {

constexpr DWORD kBufferBytes = 4096;  // the process id, then the line and its terminating zero

// A named object of the monitor's own: null when it cannot be made or another monitor made it.
HANDLE ownNamed(HANDLE created) {
    if (created && ::GetLastError() == ERROR_ALREADY_EXISTS) {
        ::CloseHandle(created);
        return nullptr;
    }
    return created;
}

}  // namespace

DebugOutputMonitor::DebugOutputMonitor()
    : m_mapping(ownNamed(::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kBufferBytes,
                                              L"DBWIN_BUFFER"))),
      m_bufferReady(ownNamed(::CreateEventW(nullptr, FALSE, FALSE, L"DBWIN_BUFFER_READY"))),
      m_dataReady(ownNamed(::CreateEventW(nullptr, FALSE, FALSE, L"DBWIN_DATA_READY"))),
      m_taking(::CreateEventW(nullptr, TRUE, TRUE, nullptr)),
      m_stop(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
    if (!m_mapping || !m_bufferReady || !m_dataReady || !m_taking || !m_stop) return;
    m_view.reset(::MapViewOfFile(m_mapping.get(), FILE_MAP_READ, 0, 0, kBufferBytes));
    if (m_view) m_thread = std::thread([this] { take(); });
}

DebugOutputMonitor::~DebugOutputMonitor() {
    if (!m_thread.joinable()) return;
    ::SetEvent(m_stop.get());
    m_thread.join();
}

void DebugOutputMonitor::hold() { ::ResetEvent(m_taking.get()); }

void DebugOutputMonitor::release() { ::SetEvent(m_taking.get()); }

void DebugOutputMonitor::take() {
    const auto* buffer = static_cast<const char*>(m_view.get());
    const HANDLE whenTaking[] = {m_taking.get(), m_stop.get()};
    const HANDLE whenWritten[] = {m_dataReady.get(), m_stop.get()};
    for (;;) {
        if (::WaitForMultipleObjects(2, whenTaking, FALSE, INFINITE) != WAIT_OBJECT_0) return;
        ::SetEvent(m_bufferReady.get());
        if (::WaitForMultipleObjects(2, whenWritten, FALSE, INFINITE) != WAIT_OBJECT_0) return;
        DWORD processId = 0;
        std::memcpy(&processId, buffer, sizeof processId);
        const char* text = buffer + sizeof processId;
        std::string line(text, ::strnlen(text, kBufferBytes - sizeof processId));
        const std::lock_guard lock(m_mutex);
        m_lines.emplace_back(processId, std::move(line));
    }
}

std::vector<std::string> DebugOutputMonitor::linesOf(DWORD processId) const {
    const std::lock_guard lock(m_mutex);
    std::vector<std::string> lines;
    for (const auto& [writer, line] : m_lines)
        if (writer == processId) lines.push_back(line);
    return lines;
}

std::vector<std::string> DebugOutputMonitor::waitForLines(DWORD processId, std::size_t count,
                                                          DWORD timeoutMs) const {
    std::vector<std::string> lines;
    waitUntil([&] { return (lines = linesOf(processId)).size() >= count; }, timeoutMs);
    return lines;
}

}  // namespace e2e
