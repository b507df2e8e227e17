#pragma once
// The debugger output of the programs in this wine prefix, taken as a system-wide debug monitor takes
// it: through the DBWIN buffer. While a monitor exists, each OutputDebugString of any process waits
// (up to 10 s, then drops its line) until the monitor has taken the line before it.

#include <windows.h>

#include <cstddef>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "win32/Handles.h"

namespace e2e {

class DebugOutputMonitor {
  public:
    DebugOutputMonitor();
    ~DebugOutputMonitor();
    DebugOutputMonitor(const DebugOutputMonitor&) = delete;
    DebugOutputMonitor& operator=(const DebugOutputMonitor&) = delete;

    // False when the buffer could not be made, or another monitor has it.
    bool started() const { return m_thread.joinable(); }

    // While held, the monitor takes at most one more line: every later writer waits in its
    // OutputDebugString. A program that writes debugger output while it works stalls there.
    void hold();
    void release();

    // The lines of one process so far, in the order written.
    std::vector<std::string> linesOf(DWORD processId) const;
    // Waits until the process has written at least `count` lines; returns its lines then (or at the
    // deadline).
    std::vector<std::string> waitForLines(DWORD processId, std::size_t count, DWORD timeoutMs) const;

  private:
    void take();

    win32::UniqueHandle m_mapping;
    win32::UniqueFileView m_view;
    win32::UniqueHandle m_bufferReady;
    win32::UniqueHandle m_dataReady;
    win32::UniqueHandle m_taking;  // set while not held
    win32::UniqueHandle m_stop;
    mutable std::mutex m_mutex;
    std::vector<std::pair<DWORD, std::string>> m_lines;
    std::thread m_thread;
};

}  // namespace e2e
