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

UniqueIcon copyApplicationIcon() {
    HMODULE program = ::GetModuleHandleW(nullptr);
    LPWSTR first = nullptr;  // an integer id, or a name that lives as long as the module
    ::EnumResourceNamesW(program, RT_GROUP_ICON, &takeFirstName, reinterpret_cast<LONG_PTR>(&first));
    HICON shared = first ? ::LoadIconW(program, first) : nullptr;
    if (!shared) shared = ::LoadIconW(nullptr, IDI_APPLICATION);
    return UniqueIcon(::CopyIcon(shared));
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
