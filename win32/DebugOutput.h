#pragma once
// The debugger output (OutputDebugStringW), written when nothing waits for it. Each line is a round
// trip to the system (under wine, 30-35 µs through the wineserver), so a handler that must answer
// quickly queues its lines, and its owner writes them once the answer is out. Lines keep their order
// and none is lost when the program ends: the owner writes the queue before it goes, and a failed
// assertion writes it before its report. Only the user-interface thread queues and writes.

#include <string>

namespace win32 {

void queueDebugOutput(std::wstring line);

// Writes every queued line to the debugger output, oldest first.
void writeQueuedDebugOutput();

}  // namespace win32
