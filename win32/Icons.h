#pragma once
// Icons of a program: its own application icon, and icon files beside it.

#include <windows.h>

#include <stdexcept>
#include <string>

#include "win32/Handles.h"

namespace win32 {

// A copy of the application's icon at a size in pixels: the frame of that size of the executable's
// first icon group (the nearest frame, scaled, when it has none of that size), or the system's
// application icon when the executable has none.
UniqueIcon copyApplicationIcon(int size);

// A file that exists but holds no icon the system can read.
class InvalidIconError : public std::runtime_error {
  public:
    explicit InvalidIconError(const std::wstring& path);
};

// The icon of an .ico file at its default size. Throws FileOpenError (win32/FileReader.h) when the
// file cannot be opened, InvalidIconError when it is no icon.
UniqueIcon loadIconFile(const std::wstring& path);

}  // namespace win32
