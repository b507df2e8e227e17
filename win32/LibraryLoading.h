#pragma once
// How the programs load outside libraries.

#include <windows.h>

#include <functional>
#include <string>

#include "win32/ExportBinding.h"
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
// in whatever folder the program was started from. Called first thing in each program. True when the
// system also keeps every later load to the default folders (SetDefaultDllDirectories, looked up: it
// came to Windows 7 SP1 with update KB2533623); false when the empty DLL directory alone applies.
inline bool keepCurrentFolderOutOfLibrarySearch() {
    ::SetDllDirectoryW(L"");
    // wine still searches the current folder after the call above; the default folders (the
    // program's, the system's, any added) leave it out there as well, for loads without flags too.
    BOOL(__stdcall * setDefaultDllDirectories)(DWORD) = nullptr;
    bindExport(::GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories", setDefaultDllDirectories);
    return callBound(setDefaultDllDirectories, LOAD_LIBRARY_SEARCH_DEFAULT_DIRS) != FALSE;
}

// A library by file name as a Windows program finds it: the program's folder, then the system
// folders; never the current folder (taken out above), so that a copy lying there cannot stand in
// for it. No search flags: a system without the update refuses them.
inline HMODULE loadLibraryByName(const char* file) { return ::LoadLibraryA(file); }

}  // namespace win32
