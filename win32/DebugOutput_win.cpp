#include "win32/DebugOutput.h"

#include <windows.h>

#include <deque>

namespace win32 {

namespace {

std::deque<std::wstring>& queuedLines() {
    static std::deque<std::wstring> lines;
    return lines;
}

}  // namespace

void queueDebugOutput(std::wstring line) { queuedLines().push_back(std::move(line)); }

void writeQueuedDebugOutput() {
    std::deque<std::wstring>& lines = queuedLines();
    while (!lines.empty()) {
        const std::wstring line = std::move(lines.front());
        lines.pop_front();
        ::OutputDebugStringW(line.c_str());
    }
}

}  // namespace win32
