#include "support/GpuLog.h"

#include <windows.h>

#include <shlobj.h>

#include "win32/Application.h"

namespace kelvane {

LogHelpW GpuLog;

std::wstring GetSpecialFolder(int csidl) {
    wchar_t folder[MAX_PATH] = {};
    if (FAILED(::SHGetFolderPathW(nullptr, csidl | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, folder)))
        return {};
    return folder;
}

namespace {

// Makes a missing common application-data folder again by creating our profile folder inside it.
bool recreateWithProfileFolder(const std::wstring& folder) {
    if (folder.empty()) return false;  // no folder to speak of: the shell could not say where it is
    const std::wstring profile = folder + L"\\NOVU GPU Profile";
    const int result = ::SHCreateDirectoryExW(nullptr, profile.c_str(), nullptr);
    return result == ERROR_SUCCESS || result == ERROR_ALREADY_EXISTS;
}

}  // namespace

void OpenGpuLog() {
    std::wstring folder = GetSpecialFolder(CSIDL_COMMON_APPDATA);
    if (!win32::fileExists(folder) && !recreateWithProfileFolder(folder))
        folder = GetSpecialFolder(CSIDL_WINDOWS);
    const std::wstring path = folder + L"\\Gpu.log";
    if (!win32::fileExists(path) && !GpuLog.IsOpen()) GpuLog.Create(path);
    if (!GpuLog.IsOpen()) GpuLog.Open(path);
}

}  // namespace kelvane
