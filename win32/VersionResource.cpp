#include "win32/VersionResource.h"

#include <cwchar>

namespace win32 {

namespace {

std::string dotted(DWORD high, DWORD low) {
    return std::to_string(high >> 16) + "." + std::to_string(high & 0xffff) + "." +
           std::to_string(low >> 16) + "." + std::to_string(low & 0xffff);
}

}  // namespace

std::optional<VersionResource> VersionResource::read(const std::wstring& path) {
    DWORD unused = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &unused);
    if (size == 0) return std::nullopt;
    VersionResource resource;
    resource.m_info.resize(size);
    void* value = nullptr;
    UINT length = 0;
    if (!::GetFileVersionInfoW(path.c_str(), 0, size, resource.m_info.data()) ||
        !::VerQueryValueW(resource.m_info.data(), L"\\", &value, &length) ||
        length < sizeof(VS_FIXEDFILEINFO))
        return std::nullopt;
    resource.m_fixed = *static_cast<const VS_FIXEDFILEINFO*>(value);
    if (::VerQueryValueW(resource.m_info.data(), L"\\VarFileInfo\\Translation", &value, &length) &&
        length >= 2 * sizeof(WORD)) {
        resource.m_language = static_cast<const WORD*>(value)[0];
        resource.m_codePage = static_cast<const WORD*>(value)[1];
    }
    return resource;
}

std::string VersionResource::fileVersion() const {
    return dotted(m_fixed.dwFileVersionMS, m_fixed.dwFileVersionLS);
}

std::string VersionResource::productVersion() const {
    return dotted(m_fixed.dwProductVersionMS, m_fixed.dwProductVersionLS);
}

std::optional<std::wstring> VersionResource::text(std::wstring_view name) const {
    wchar_t table[32];
    std::swprintf(table, 32, L"\\StringFileInfo\\%04x%04x\\", m_language, m_codePage);
    const std::wstring query = table + std::wstring(name);
    wchar_t* found = nullptr;
    UINT chars = 0;
    if (!::VerQueryValueW(m_info.data(), query.c_str(), reinterpret_cast<void**>(&found), &chars) || !found)
        return std::nullopt;
    return std::wstring(found, ::wcsnlen(found, chars));
}

}  // namespace win32
