#pragma once
// Reading a file from start to end: a read-only file of ours over CreateFileW and ReadFile.

#include <windows.h>

#include <cstddef>
#include <stdexcept>
#include <string>

#include "win32/Handles.h"

namespace win32 {

// A file that could not be opened: its path and the system's error code (GetLastError of
// CreateFileW, e.g. ERROR_FILE_NOT_FOUND).
class FileOpenError : public std::runtime_error {
  public:
    FileOpenError(std::wstring path, DWORD error);
    const std::wstring& path() const { return m_path; }
    DWORD error() const { return m_error; }

  private:
    std::wstring m_path;
    DWORD m_error;
};

class FileReader {
  public:
    // Opens the file for reading (others may read it too); throws FileOpenError when it cannot.
    explicit FileReader(const std::wstring& path);

    // Fills the whole buffer unless the file ends (or a read fails) first; the bytes read.
    std::size_t read(void* buffer, std::size_t count);

  private:
    UniqueHandle m_file;
};

}  // namespace win32
