#include "gpulib/LibraryLoading.h"
#include "win32/Application.h"

namespace kelvane {

win32::UniqueModule loadBackEndLibrary(
    const std::wstring& path,
    const std::function<void(LoadFailure, const std::wstring& path, DWORD error)>& report) {
    if (!win32::fileExists(path)) {
        report(LoadFailure::FileMissing, path, 0);
        return {};
    }
    win32::UniqueModule library(::LoadLibraryW(path.c_str()));
    if (!library) report(LoadFailure::NotLoadable, path, ::GetLastError());
    return library;
}

}  // namespace kelvane
