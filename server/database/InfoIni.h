#pragma once
// Info.ini beside the program, through the platform's wide profile functions.

#include <cstddef>
#include <string>

#include "server/database/CardDatabase.h"

namespace kelvane {

// The folder of the running executable, with its separator, + "Info.ini".
std::wstring InfoIniPath();

class PrivateProfileFile final : public ProfileFile {
public:
    explicit PrivateProfileFile(std::wstring path) : m_path(std::move(path)) {}
    std::int32_t readInt(std::u16string_view section, std::u16string_view key, std::int32_t fallback) override;
    void writeString(std::u16string_view section, std::u16string_view key, std::u16string_view value) override;

private:
    std::wstring m_path;  // the file is opened by name for every call; no handle is held
};

// A card name as the NVIDIA back end leaves it in its 8-bit buffer: up to the first zero byte, or
// to the buffer's end when the back end wrote none; converted with the system's 8-bit code page;
// blanks and control characters removed at both ends.
std::u16string cardNameFromBuffer(const char* buffer, std::size_t size);

}  // namespace kelvane
