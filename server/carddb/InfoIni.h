#pragma once
// Info.ini beside the program, through the platform's wide profile functions.

#include <string>

#include "server/carddb/CardDatabase.h"

namespace kelvane {

// The folder of the running executable, with its separator, + "Info.ini".
std::wstring InfoIniPath();

class PrivateProfileFile final : public ProfileFile {
  public:
    explicit PrivateProfileFile(std::wstring path) : m_path(std::move(path)) {}
    std::int32_t readInt(std::u16string_view section, std::u16string_view key,
                         std::int32_t fallback) override;
    void writeString(std::u16string_view section, std::u16string_view key,
                     std::u16string_view value) override;

  private:
    std::wstring m_path;  // the file is opened by name for every call; no handle is held
};

}  // namespace kelvane
