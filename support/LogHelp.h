#pragma once
// A log file that remembers only its path: each message opens the file, is appended and closes it
// again, so that other programs can read the file between messages. The file holds 8-bit text
// with CR LF line ends and no header, time stamp or prefix.

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>

#include "support/Assertion.h"

namespace kelvane {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using UniqueFile = std::unique_ptr<std::FILE, FileCloser>;

inline UniqueFile openFile(const std::string& path, const char* mode) {
    return UniqueFile(std::fopen(path.c_str(), mode));
}
UniqueFile openFile(const std::wstring& path, const char* mode);  // Windows paths: LogHelp_win.cpp

// A message as the file holds it: one byte a character (a character above 255 becomes '?'), and a
// carriage return before each line feed.
template <typename Char>
std::string logFileText(std::basic_string_view<Char> message) {
    std::string bytes;
    bytes.reserve(message.size() + 2);
    for (const Char c : message) {
        if (c == Char('\n')) bytes += '\r';
        if constexpr (sizeof(Char) == 1) {
            bytes += static_cast<char>(c);
        } else {
            const auto code = static_cast<std::make_unsigned_t<Char>>(c);
            bytes += code < 256 ? static_cast<char>(code) : '?';
        }
    }
    return bytes;
}

template <typename Char>
class BasicLogHelp {
  public:
    using String = std::basic_string<Char>;

    BasicLogHelp() = default;
    ~BasicLogHelp() { Close(); }
    BasicLogHelp(const BasicLogHelp&) = delete;
    BasicLogHelp& operator=(const BasicLogHelp&) = delete;

    bool IsOpen() const { return !m_path.empty(); }
    const String& Path() const { return m_path; }

    // Creates the file, or empties an existing one, and logs to it from now on.
    bool Create(const String& path) {
        KV_VERIFY(!IsOpen());
        return rememberIfOpens(path, "wb");
    }

    // Logs to an existing file from now on, once it has shown that it can be written.
    bool Open(const String& path) {
        KV_VERIFY(!IsOpen());
        return rememberIfOpens(path, "rb+");
    }

    // Appends the message exactly as given: it is text, never a format. False when nothing could be
    // written (a closed log, a file that cannot be opened for update).
    bool Write(std::basic_string_view<Char> message) const {
        if (!IsOpen()) return false;
        UniqueFile file = openFile(m_path, "rb+");
        if (!file) return false;
        const std::string bytes = logFileText(message);
        return std::fseek(file.get(), 0, SEEK_END) == 0 &&
               std::fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size() &&
               std::fflush(file.get()) == 0;
    }

    void Close() { m_path.clear(); }

  private:
    bool rememberIfOpens(const String& path, const char* mode) {
        if (!openFile(path, mode)) return false;
        m_path = path;
        return true;
    }

    String m_path;  // empty while closed
};

using LogHelpW = BasicLogHelp<wchar_t>;

}  // namespace kelvane
