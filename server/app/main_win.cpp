// Program entry of the tuning server: one instance, the hidden main window, the message loop.

#include <windows.h>

#include <commctrl.h>

#include <exception>
#include <optional>

#include "gpulib/NvidiaDll.h"
#include "server/app/AboutBox.h"
#include "server/app/MainForm.h"
#include "server/app/ServerParts.h"
#include "server/app/SingleInstance.h"
#include "win32/Application.h"
#include "win32/LibraryLoading.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    const bool defaultFoldersOnly = win32::keepCurrentFolderOutOfLibrarySearch();
    // Held until the process ends; a second instance, in this session or another, leaves without a
    // trace.
    const std::optional<kelvane::ServerInstance> instance = kelvane::claimServerInstance();
    if (!instance) return 0;

    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&controls);
    try {
        kelvane::ServerParts parts(kelvane::GetNvidiaDll(), kelvane::InfoIniPath());
        kelvane::TForm1 mainForm(parts);  // never shown
        if (!defaultFoldersOnly)
            mainForm.AddLogLine(
                "Library search: no default folders on this system (update KB2533623); the current folder "
                "is left out by the empty DLL directory alone");
        kelvane::TAboutBox aboutBox(mainForm.hwnd());
        mainForm.setShowAbout([&aboutBox] { aboutBox.show(); });
        win32::runMessageLoop();
    } catch (const std::exception& e) {
        win32::reportException(e);
    }
    return 0;
}
