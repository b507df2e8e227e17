#pragma once
// A console program of the board run to its end, its output captured.

#include <windows.h>

#include <string>
#include <vector>

namespace board_e2e {

struct ToolResult {
    DWORD exitCode = 0;
    DWORD processId = 0;
    std::string out;  // standard output and standard error as written, lines ending in "\n"
};

// Runs `program` with `args` in `folder` (the caller's when empty).
ToolResult runTool(const std::wstring& program, const std::vector<std::wstring>& args,
                   const std::wstring& folder = {});

// A file of the test's own, removed with the object.
class ScratchFile {
  public:
    ScratchFile(const std::wstring& name, const std::string& content);
    ~ScratchFile();
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;
    const std::wstring& path() const { return m_path; }

  private:
    std::wstring m_path;
};

}  // namespace board_e2e
