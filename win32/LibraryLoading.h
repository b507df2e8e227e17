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

// Takes the current folder out of the library search of the whole process: what the outside
// libraries load by name is then found in the program's folder and the system folders only, never
// in whatever folder the program was started from. Called first thing in each program.
inline void keepCurrentFolderOutOfLibrarySearch() {
    ::SetDllDirectoryW(L"");
    // wine still searches the current folder after the call above; the default folders (the
    // program's, the system's, any added) leave it out there as well.
    ::SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
}

// A library by file name as a Windows program finds it: the program's folder, then the system
// folders; never the current folder, so that a copy lying there cannot stand in for it.
inline HMODULE loadLibraryByName(const char* file) {
    return ::LoadLibraryExA(file, nullptr, LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
}

}  // namespace win32
