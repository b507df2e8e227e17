#pragma once
// Loading a vendor back end from the program folder: the file's existence is tested first, then the
// library is loaded. Each back end reports a failure in its own words.

#include <windows.h>

#include <functional>
#include <string>

#include "win32/Handles.h"

namespace kelvane {

inline constexpr wchar_t kLoadLibraryErrorCaption[] = L"LoadLibrary Error";

enum class LoadFailure { FileMissing, NotLoadable };

// The library at path, or none after report has heard why (with GetLastError of LoadLibraryW).
win32::UniqueModule loadBackEndLibrary(
    const std::wstring& path,
    const std::function<void(LoadFailure, const std::wstring& path, DWORD error)>& report);

}  // namespace kelvane
