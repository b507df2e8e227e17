#pragma once
// Conversions between the program's UTF-16 text and 8-bit text.

#include <windows.h>

#include <string>
#include <string_view>

namespace win32 {

std::wstring widen(std::string_view text, UINT codePage = CP_UTF8);
std::string narrow(std::wstring_view text, UINT codePage = CP_UTF8);

// The system's description of an error code (GetLastError's), without the line end; the number when
// the system has none.
std::wstring systemMessage(DWORD error);

// The text of a window (or, across processes, of an edit control) through WM_GETTEXT.
std::wstring windowText(HWND window);

}  // namespace win32
