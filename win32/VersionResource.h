#pragma once
// A file's version resource as the system reads it: the fixed part's versions, the first translation,
// and the texts of that translation's string table. The one reader of version resources: the
// program's own texts (win32/Application.h) and the tests' checks of the built files.

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace win32 {

class VersionResource {
  public:
    // None when the file has no version resource (GetLastError says why).
    static std::optional<VersionResource> read(const std::wstring& path);

    // The fixed part's versions as "major.minor.build.revision".
    std::string fileVersion() const;
    std::string productVersion() const;
    WORD language() const { return m_language; }
    WORD codePage() const { return m_codePage; }
    // A text of the string table (CompanyName, FileVersion...); none when it has no such text.
    std::optional<std::wstring> text(std::wstring_view name) const;

  private:
    std::vector<std::uint8_t> m_info;
    VS_FIXEDFILEINFO m_fixed{};
    WORD m_language = 0;
    WORD m_codePage = 0;
};

}  // namespace win32
