#include "win32/Icons.h"

#include "win32/FileReader.h"
#include "win32/Text.h"

namespace win32 {

namespace {

BOOL CALLBACK takeFirstName(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR found) {
    *reinterpret_cast<LPWSTR*>(found) = name;
    return FALSE;
}

}  // namespace

UniqueIcon copyApplicationIcon(int size) {
    HMODULE program = ::GetModuleHandleW(nullptr);
    LPWSTR first = nullptr;  // an integer id, or a name that lives as long as the module
    ::EnumResourceNamesW(program, RT_GROUP_ICON, &takeFirstName, reinterpret_cast<LONG_PTR>(&first));
    // Without LR_SHARED each load is an icon of its own; the system's icon is shared, so it is copied.
    if (first)
        if (HANDLE own = ::LoadImageW(program, first, IMAGE_ICON, size, size, 0))
            return UniqueIcon(static_cast<HICON>(own));
    HANDLE shared = ::LoadImageW(nullptr, IDI_APPLICATION, IMAGE_ICON, size, size, LR_SHARED);
    return UniqueIcon(shared ? ::CopyIcon(static_cast<HICON>(shared)) : nullptr);
}

InvalidIconError::InvalidIconError(const std::wstring& path)
    : std::runtime_error("The file \"" + narrow(path) + "\" is not a valid icon") {}

UniqueIcon loadIconFile(const std::wstring& path) {
    { FileReader opened(path); }  // a file that cannot be opened says so, apart from one that is no icon
    UniqueIcon icon(static_cast<HICON>(
        ::LoadImageW(nullptr, path.c_str(), IMAGE_ICON, 0, 0, LR_LOADFROMFILE | LR_DEFAULTSIZE)));
    if (!icon) throw InvalidIconError(path);
    return icon;
}

}  // namespace win32
