#pragma once
// End-to-end tests run the built programs the way an installation would: from a program folder
// laid out with the board's stand-in libraries, observed through their windows and the journal.

#include <windows.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "win32/Handles.h"

namespace e2e {

// How long a test waits for something the programs will do. A wait ends as soon as it happens, so
// this bounds only a failing test; on a loaded machine a wine process can be held up for seconds.
// Times that the programs fix (the 3 s start, the 2 s default period, the 5 s retries) are checked on
// the journal's time stamps, never through how long a wait took.
inline constexpr DWORD kPatienceMs = 60000;
// How long a check that something does not happen watches for it, where nothing the programs do marks
// the moment it would have happened by. Such a check may miss a fault on a slow machine; it never
// fails by chance.
inline constexpr DWORD kQuietMs = 1000;

// A file of the build tree, e.g. L"bin\\tiktor.exe" or L"standins\\Evtwatch.dll".
std::wstring builtFile(std::wstring_view relativePath);

// This process's part of the names of files and folders it makes in the build tree: the process id
// and a random part, since suites run side by side on boards of their own, whose process ids repeat.
const std::wstring& processToken();

// A fresh folder under the test's own; the files put into it are removed with it.
class ProgramFolder {
  public:
    explicit ProgramFolder(std::wstring_view name);
    ~ProgramFolder();
    ProgramFolder(const ProgramFolder&) = delete;
    ProgramFolder& operator=(const ProgramFolder&) = delete;

    // Copies the file in; a name with folders ("resource\\x.png") makes the folders it needs.
    void add(const std::wstring& source, const std::wstring& nameInFolder);
    const std::wstring& path() const { return m_path; }

  private:
    std::wstring m_path;  // with trailing separator
    std::vector<std::wstring> m_files;
    std::vector<std::wstring> m_folders;  // made by add, outermost first
};

// A file of the test's own, removed with the object.
class ScratchFile {
  public:
    ScratchFile(const std::wstring& name, const std::string& content);
    ~ScratchFile();
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;
    const std::wstring& path() const { return m_path; }

  private:
    std::wstring m_path;
};

// A process started by startProcess; empty when it could not be started.
struct StartedProcess {
    win32::UniqueHandle handle;
    DWORD id = 0;
};

// Starts a program as CreateProcessW does (`application` null: the command line's first word; `folder`
// null: this process's). Wine answers ERROR_INTERNAL_ERROR when the new process ended inside wine's
// own start-up, before the program's first instruction (seen once under load); such a start is tried
// again, up to kStartAttempts in all, each retry said on standard error. Any other failure, or the
// last attempt's, is a test failure.
inline constexpr int kStartAttempts = 3;
StartedProcess startProcess(const wchar_t* application, std::wstring commandLine, const wchar_t* folder,
                            STARTUPINFOW& startup, bool inheritHandles = false);

// The same without the test failure: an empty process and the error of the last attempt.
StartedProcess tryStartProcess(const wchar_t* application, std::wstring commandLine, const wchar_t* folder,
                               STARTUPINFOW& startup, bool inheritHandles, DWORD& error);

// The retry rule of startProcess, apart from CreateProcessW: calls `attempt` (true when started, else
// false with the error set) until it starts, fails otherwise than ERROR_INTERNAL_ERROR, or has been
// called kStartAttempts times. The error of the last attempt, or ERROR_SUCCESS.
DWORD retryWineAbortedStarts(const std::function<bool()>& attempt);

// One run of a program from a program folder, started there as from a shortcut (or with another
// current folder). A run still going when the object goes is terminated.
class ProgramRun {
  public:
    ProgramRun(const ProgramFolder& folder, std::wstring_view exeName,
               const ProgramFolder* currentFolder = nullptr);
    ~ProgramRun();
    ProgramRun(const ProgramRun&) = delete;
    ProgramRun& operator=(const ProgramRun&) = delete;

    DWORD processId() const { return m_processId; }
    bool running() const;

    // The exit code once the run has ended; none while it is still running after the time.
    std::optional<DWORD> waitForExit(DWORD timeoutMs);

    // A top-level window of this run (never-shown ones included), or null.
    HWND findWindow(const wchar_t* className, const wchar_t* caption) const;

  private:
    win32::UniqueHandle m_process;
    DWORD m_processId = 0;
};

struct Call {
    std::uint64_t seq;
    std::string library;
    std::string entry;
    std::vector<std::uint32_t> args;
    std::int32_t result;
    std::uint64_t timeUs;
};

// The journaled calls of one process after a sequence number, oldest first.
std::vector<Call> callsOf(DWORD processId, std::uint64_t afterSeq = 0);
std::uint64_t lastSeq();

// Checks the times of a periodic timer's ticks (µs on the board's clock) against its period, the timer
// set at startUs: none early (the k-th at least k periods after the start: a tick after a late one
// comes on time, so less than a period after it), none missed (less than two periods after the one
// before). A loaded machine delays ticks, and a bound tighter than that would fail by chance.
void expectPeriodicTicks(const std::vector<std::uint64_t>& ticksUs, std::uint64_t startUs,
                         std::uint32_t periodMs);

// Polls until the condition holds; false when the time ran out first.
bool waitUntil(const std::function<bool()>& condition, DWORD timeoutMs);

// The message box a run shows, once its message is there (its one static control with text); null
// when none came in time.
HWND waitForMessageBox(const ProgramRun& run, std::string& text, DWORD timeoutMs);

// What the screen shows in a rectangle: rows of B, G, R, A bytes, top down, as a person sees it.
struct ScreenImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> bgra;
    COLORREF pixel(int x, int y) const;
};
ScreenImage captureScreen(const RECT& area);

// The text of a control of another process (WM_GETTEXT; GetWindowText gives "" across processes).
std::string controlText(HWND control);

}  // namespace e2e
