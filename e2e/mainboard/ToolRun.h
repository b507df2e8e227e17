#pragma once
// A console program of the board run to its end, its output captured.

#include <windows.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "e2e/support/Harness.h"

namespace board_e2e {

struct ToolResult {
    DWORD exitCode = 0;
    DWORD processId = 0;
    std::string out;  // standard output and standard error as written, lines ending in "\n"
};

// Runs `program` with `args` in `folder` (the caller's when empty).
ToolResult runTool(const std::wstring& program, const std::vector<std::wstring>& args,
                   const std::wstring& folder = {});

// What a tool run with --json printed for scripts: its last line that is a JSON object (a tool's
// complaints go to the same output, before it); a discarded value when there is none.
nlohmann::json printedJson(const ToolResult& result);

using e2e::ScratchFile;

}  // namespace board_e2e
