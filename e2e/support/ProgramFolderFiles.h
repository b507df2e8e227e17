#pragma once
// The program folder's files as the tests expect an installation to hold them, stated once for the
// tests: the installer's own lists are held to these, so they are not taken from its build.

#include <string>
#include <vector>

namespace e2e {

// What the mainboard's platform software puts into the program folder, for the server (every library
// it imports or loads, and the maker's suite that its tray icon starts) and for the clock relay
// tiktor.exe. The board has a stand-in of each in the build tree's standins folder.
inline const std::vector<std::wstring> kServerPlatformFiles = {
    L"nuacpi.dll",   L"novuservice.dll", L"Greencard.dll", L"Redcard.dll",    L"Lumbra.dll",
    L"Gearlink.dll", L"NuMultiLang.dll", L"Pixread.dll",   L"Tunedeck II.exe"};
inline const std::vector<std::wstring> kTiktorPlatformFiles = {L"Ticksmith.dll", L"Evtwatch.dll"};

inline std::vector<std::wstring> platformFiles() {
    std::vector<std::wstring> files = kServerPlatformFiles;
    files.insert(files.end(), kTiktorPlatformFiles.begin(), kTiktorPlatformFiles.end());
    return files;
}

// The simulated mainboard's own files besides those stand-ins: its device tree, the Setup API through
// which the server finds the cards (in standins), and its tools (in bin).
inline const std::wstring kBoardDeviceTree = L"setupapi.dll";
inline const std::vector<std::wstring> kBoardTools = {L"linkctl.exe", L"simctl.exe"};

}  // namespace e2e
