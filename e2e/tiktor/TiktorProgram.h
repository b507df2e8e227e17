#pragma once
// tiktor.exe run from a program folder of its own, and what the board's journal tells about it.

#include <windows.h>

#include <cstdint>
#include <vector>

#include "e2e/support/Harness.h"

namespace tiktor_e2e {

using e2e::builtFile;
using e2e::Call;
using e2e::callsOf;
using e2e::kPatienceMs;
using e2e::ProgramFolder;
using e2e::waitUntil;

class TiktorRun : public e2e::ProgramRun {
  public:
    explicit TiktorRun(const ProgramFolder& folder, const ProgramFolder* currentFolder = nullptr)
        : ProgramRun(folder, L"tiktor.exe", currentFolder) {}

    // The run's dialog once its modal loop waits for messages; null when the run ended or did not
    // get there within the time.
    HWND waitUntilReady(DWORD timeoutMs);
};

// Posts a clock request to every top-level window, as the hardware event source does.
void broadcastRequest(WPARAM wParam, LPARAM lParam);
UINT broadcastMessage();

// The values a process has passed to SetClock, oldest first.
std::vector<std::uint32_t> clockValuesOf(DWORD processId);

}  // namespace tiktor_e2e
