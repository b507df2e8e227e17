#pragma once
// Process-level services of a form program: the message loop, message boxes, assertions, paths.

#include <windows.h>

#include <string>
#include <string_view>

namespace win32 {

// Runs the thread's message loop until WM_QUIT; returns its exit code. In a window that moves the
// keyboard between its controls (a dialog, or WS_EX_CONTROLPARENT) Tab, arrows, Enter and Esc work
// as in a dialog box.
int runMessageLoop();

// The application's title: the executable's name without folder and ending.
std::wstring applicationTitle();

// The folder of the running executable, with its trailing separator.
std::wstring executableFolder();

bool fileExists(const std::wstring& path);

// A text of the running executable's version resource ("CompanyName", "ProductName"...) in its
// first language; empty when it has none.
std::wstring ownVersionString(std::wstring_view name);

// An informational box with only an OK button and no owner window.
void showMessage(std::wstring_view text, std::wstring_view caption);
void showMessage(std::wstring_view text);

// The application's standard display of an exception that reached it.
void showException(std::wstring_view message);

// Reports a failed assertion in a stop-sign box and ends the program.
[[noreturn]] void assertionFailed(const char* expression, const char* file, int line);

}  // namespace win32
