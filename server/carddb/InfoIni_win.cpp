#include "server/carddb/InfoIni.h"

#include <windows.h>

#include "win32/Application.h"

namespace kelvane {

namespace {

std::wstring wide(std::u16string_view text) { return std::wstring(text.begin(), text.end()); }

}  // namespace

std::wstring InfoIniPath() { return win32::executableFolder() + L"Info.ini"; }

std::int32_t PrivateProfileFile::readInt(std::u16string_view section, std::u16string_view key,
                                         std::int32_t fallback) {
    return static_cast<std::int32_t>(
        ::GetPrivateProfileIntW(wide(section).c_str(), wide(key).c_str(), fallback, m_path.c_str()));
}

void PrivateProfileFile::writeString(std::u16string_view section, std::u16string_view key,
                                     std::u16string_view value) {
    ::WritePrivateProfileStringW(wide(section).c_str(), wide(key).c_str(), wide(value).c_str(),
                                 m_path.c_str());
}

}  // namespace kelvane
