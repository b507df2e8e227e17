#pragma once
// tiktor.exe run from a program folder of its own, laid out with the libraries a test asks for, and
// what the board's journal tells about it.

#include <windows.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "win32/Handles.h"

namespace tiktor_e2e {

// A file of the build tree, e.g. L"bin\\tiktor.exe" or L"standins\\Evtwatch.dll".
std::wstring builtFile(std::wstring_view relativePath);

// A fresh folder under the test's own; the files put into it are removed with it.
class ProgramFolder {
public:
    explicit ProgramFolder(std::wstring_view name);
    ~ProgramFolder();
    ProgramFolder(const ProgramFolder&) = delete;
    ProgramFolder& operator=(const ProgramFolder&) = delete;

    void add(const std::wstring& source, const std::wstring& nameInFolder);
    const std::wstring& path() const { return m_path; }

private:
    std::wstring m_path;  // with trailing separator
    std::vector<std::wstring> m_files;
};

// One run of tiktor.exe from a program folder. A run still going when the object goes is terminated.
class TiktorRun {
public:
    explicit TiktorRun(const ProgramFolder& folder);
    ~TiktorRun();
    TiktorRun(const TiktorRun&) = delete;
    TiktorRun& operator=(const TiktorRun&) = delete;

    DWORD processId() const { return m_processId; }
    bool running() const;

    // The run's dialog once its modal loop waits for messages; null when the run ended or did not
    // get there within the time.
    HWND waitUntilReady(DWORD timeoutMs);

    // The exit code once the run has ended; none while it is still running after the time.
    std::optional<DWORD> waitForExit(DWORD timeoutMs);

private:
    HWND findDialog() const;
    win32::UniqueHandle m_process;
    DWORD m_processId = 0;
};

// Posts a clock request to every top-level window, as the hardware event source does.
void broadcastRequest(WPARAM wParam, LPARAM lParam);
UINT broadcastMessage();

struct Call {
    std::string library;
    std::string entry;
    std::vector<std::uint32_t> args;
    std::int32_t result;
    std::uint64_t timeUs;
};

// The journaled calls of one process, oldest first.
std::vector<Call> callsOf(DWORD processId);
// The values a process has passed to SetClock, oldest first.
std::vector<std::uint32_t> clockValuesOf(DWORD processId);

// Polls until the condition holds; false when the time ran out first.
bool waitUntil(const std::function<bool()>& condition, DWORD timeoutMs);

inline constexpr DWORD kStartTimeoutMs = 20000;  // a wine process start is slow on a loaded machine
inline constexpr DWORD kRelayTimeoutMs = 5000;

}  // namespace tiktor_e2e
