#pragma once
// How the programs load outside libraries.

#include <windows.h>

#include <functional>
#include <string>

#include "win32/Handles.h"

namespace win32 {

enum class LoadFailure { FileMissing, NotLoadable };

// The library at a full path: its existence is tested first, then it is loaded. None after report
// (if given) has heard why, with GetLastError of LoadLibraryW.
UniqueModule loadLibraryFile(
    const std::wstring& path,
    const std::function<void(LoadFailure, const std::wstring& path, DWORD error)>& report = {});

// A library by file name as a Windows program finds it: the program's folder, then the system
// folders; never the current folder, so that a copy lying there cannot stand in for it.
inline HMODULE loadLibraryByName(const char* file) {
    return ::LoadLibraryExA(file, nullptr, LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
}

}  // namespace win32
