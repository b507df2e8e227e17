#pragma once
// A library planted where a program must not look for libraries. Loaded into a process, it creates
// an event whose name carries that process's id, and keeps it for the process's life.

#include <windows.h>

#include <string>

namespace server_e2e {

inline std::wstring plantedLibraryLoadedEvent(DWORD processId) {
    return L"kelvane-planted-library-loaded-" + std::to_wstring(processId);
}

}  // namespace server_e2e
