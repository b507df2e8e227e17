#include <gtest/gtest.h>

#include <string_view>
#include <utility>

#include "e2e/mainboard/ToolRun.h"
#include "e2e/support/Harness.h"
#include "win32/Application.h"
#include "win32/Handles.h"
#include "win32/Text.h"

namespace board_e2e {

ToolResult runTool(const std::wstring& program, const std::vector<std::wstring>& args,
                   const std::wstring& folder) {
    ToolResult result;
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!::CreatePipe(&readEnd, &writeEnd, &inheritable, 0)) {
        ADD_FAILURE() << "cannot create a pipe (error " << ::GetLastError() << ")";
        return result;
    }
    win32::UniqueHandle reader(readEnd);
    win32::UniqueHandle writer(writeEnd);
    ::SetHandleInformation(reader.get(), HANDLE_FLAG_INHERIT, 0);

    std::wstring commandLine = L"\"" + program + L"\"";
    for (const std::wstring& a : args) commandLine += L" \"" + a + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writer.get();
    startup.hStdError = writer.get();
    startup.hStdInput = nullptr;
    const e2e::StartedProcess process = e2e::startProcess(program.c_str(), std::move(commandLine),
                                                          folder.empty() ? nullptr : folder.c_str(), startup,
                                                          /*inheritHandles=*/true);
    if (!process.handle) return result;
    result.processId = process.id;
    writer.reset();  // the child holds the only write end now: reading ends when it does
    char chunk[4096];
    DWORD read = 0;
    while (::ReadFile(reader.get(), chunk, sizeof chunk, &read, nullptr) && read > 0) {
        for (DWORD i = 0; i < read; ++i)
            if (chunk[i] != '\r') result.out += chunk[i];
    }
    if (::WaitForSingleObject(process.handle.get(), e2e::kPatienceMs) != WAIT_OBJECT_0)
        ADD_FAILURE() << win32::narrow(program) << " did not end";
    ::GetExitCodeProcess(process.handle.get(), &result.exitCode);
    return result;
}

nlohmann::json printedJson(const ToolResult& result) {
    std::string_view rest = result.out;
    while (!rest.empty()) {
        if (rest.back() == '\n') rest.remove_suffix(1);
        const std::size_t cut = rest.rfind('\n');
        const std::string_view line = cut == std::string_view::npos ? rest : rest.substr(cut + 1);
        if (line.starts_with('{')) return nlohmann::json::parse(line, nullptr, /*allow_exceptions=*/false);
        rest = rest.substr(0, cut == std::string_view::npos ? 0 : cut);
    }
    return nlohmann::json(nlohmann::json::value_t::discarded);
}

}  // namespace board_e2e
