#include "win32/LibraryLoading.h"

#include "win32/Application.h"

namespace win32 {

UniqueModule loadLibraryFile(
    const std::wstring& path,
    const std::function<void(LoadFailure, const std::wstring& path, DWORD error)>& report) {
    if (!fileExists(path)) {
        if (report) report(LoadFailure::FileMissing, path, 0);
        return {};
    }
    UniqueModule library(::LoadLibraryW(path.c_str()));
    if (!library && report) report(LoadFailure::NotLoadable, path, ::GetLastError());
    return library;
}

}  // namespace win32
