#pragma once
// Process-level services of a form program: the message loop, message boxes, assertions, paths.

#include <windows.h>

#include <exception>
#include <functional>
#include <string>
#include <string_view>

namespace win32 {

// Runs the thread's message loop until WM_QUIT; returns its exit code. In a window that moves the
// keyboard between its controls (a dialog, or WS_EX_CONTROLPARENT) Tab, arrows, Enter and Esc work
// as in a dialog box. Reports waiting for the loop (showExceptionOnceRunning) come first.
int runMessageLoop();

// Whether the window is of the system's dialog class, as message boxes are.
bool isDialogClass(HWND window);

// The application's title: the executable's name without folder and ending.
std::wstring applicationTitle();

// The folder of the running executable, with its trailing separator.
std::wstring executableFolder();

bool fileExists(const std::wstring& path);

// A text of the running executable's version resource ("CompanyName", "ProductName"...) in its
// first language; empty when it has none.
std::wstring ownVersionString(std::wstring_view name);

// An informational box with only an OK button and no owner window. Boxes are modal loops
// (win32/ModalLoop.h); none is shown once the program is closing.
void showMessage(std::wstring_view text, std::wstring_view caption);
void showMessage(std::wstring_view text);

// The application's standard display of an exception that reached it.
void showException(std::wstring_view message);
// The same for the exception itself; never throws (out of memory, the report may not show).
void reportException(const std::exception& e) noexcept;

// The same display for a problem found while the program starts that it can do without: shown once
// the message loop runs, so that no part of the start-up waits for someone to close it.
void showExceptionOnceRunning(std::wstring message);

// Reports a failed assertion in a stop-sign box and ends the program (exit code 3), after the
// debugger output's queued lines (waited for at most kDebugOutputFinishMs) and the registered
// clean-ups. From the moment it fails the program is ending: the windows act on nothing more.
[[noreturn]] void assertionFailed(const char* expression, const char* file, int line);

// Whether an assertion has failed: the process is ending, and while its report is up no handler of
// our windows runs (win32::Window), so that no request, timer or menu acts on anything.
bool assertionHasFailed() noexcept;

// What a failed assertion undoes before the process ends, for as long as this object lives (an icon
// in the notification area, which would otherwise stay until the pointer passes over it). Clean-ups
// run newest first, on the user-interface thread.
class FatalExitCleanup {
  public:
    explicit FatalExitCleanup(std::function<void()> cleanup);
    ~FatalExitCleanup();
    FatalExitCleanup(const FatalExitCleanup&) = delete;
    FatalExitCleanup& operator=(const FatalExitCleanup&) = delete;

    void run() const { m_cleanup(); }

  private:
    std::function<void()> m_cleanup;
};

}  // namespace win32
