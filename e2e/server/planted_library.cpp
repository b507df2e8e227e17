// A library planted in a program's current folder (see PlantedLibrary.h).

#include <windows.h>

#include "e2e/server/PlantedLibrary.h"

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, void*) {
    if (reason == DLL_PROCESS_ATTACH)
        ::CreateEventW(nullptr, TRUE, TRUE,
                       server_e2e::plantedLibraryLoadedEvent(::GetCurrentProcessId()).c_str());
    return TRUE;
}
