#include "server/database/InfoIni.h"

#include <windows.h>

#include <cstring>

#include "server/form/IntegerText.h"
#include "win32/Application.h"
#include "win32/Text.h"

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
    ::WritePrivateProfileStringW(wide(section).c_str(), wide(key).c_str(), wide(value).c_str(), m_path.c_str());
}

std::u16string cardNameFromBuffer(const char* buffer, std::size_t size) {
    const void* zero = std::memchr(buffer, 0, size);
    const std::size_t length = zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - buffer) : size;
    const std::wstring name = win32::widen(std::string_view(buffer, length), CP_ACP);
    return std::u16string(trimText(std::u16string_view(reinterpret_cast<const char16_t*>(name.data()), name.size())));
}

}  // namespace kelvane
