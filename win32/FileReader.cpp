#include "win32/FileReader.h"

#include <algorithm>
#include <cstdint>

#include "win32/Text.h"

namespace win32 {

FileOpenError::FileOpenError(std::wstring path, DWORD error)
    : std::runtime_error("Cannot open file \"" + narrow(path) + "\" (error " + std::to_string(error) + ")"),
      m_path(std::move(path)),
      m_error(error) {}

FileReader::FileReader(const std::wstring& path)
    : m_file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr)) {
    if (!m_file) throw FileOpenError(path, ::GetLastError());
}

std::size_t FileReader::read(void* buffer, std::size_t count) {
    auto* bytes = static_cast<std::uint8_t*>(buffer);
    std::size_t done = 0;
    while (done < count) {
        const auto chunk = static_cast<DWORD>(std::min<std::size_t>(count - done, 1u << 30));
        DWORD got = 0;
        if (!::ReadFile(m_file.get(), bytes + done, chunk, &got, nullptr) || got == 0) break;
        done += got;
    }
    return done;
}

}  // namespace win32
