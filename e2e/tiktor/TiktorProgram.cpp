#include "e2e/tiktor/TiktorProgram.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "mainboard/machine/Machine.h"
#include "win32/Application.h"
#include "win32/Text.h"

namespace tiktor_e2e {

namespace {

// The build tree's root as seen from this test executable (set by the build), with a trailing separator.
std::wstring buildRoot() {
    std::wstring relative = win32::widen(KV_BUILD_ROOT_FROM_TEST);
    std::replace(relative.begin(), relative.end(), L'/', L'\\');
    if (!relative.empty() && relative.back() != L'\\') relative += L'\\';
    return win32::executableFolder() + relative;
}

}  // namespace

std::wstring builtFile(std::wstring_view relativePath) { return buildRoot() + std::wstring(relativePath); }

ProgramFolder::ProgramFolder(std::wstring_view name) {
    const std::wstring runs = win32::executableFolder() + L"tiktor-runs";
    ::CreateDirectoryW(runs.c_str(), nullptr);
    m_path = runs + L"\\" + std::wstring(name) + L"-" + std::to_wstring(::GetCurrentProcessId()) + L"\\";
    ::SetLastError(0xdeadbeef);
    if (!::CreateDirectoryW(m_path.c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS) {
        ADD_FAILURE() << "cannot create " << win32::narrow(m_path) << " (error " << ::GetLastError() << ")";
    }
}

ProgramFolder::~ProgramFolder() {
    for (const std::wstring& file : m_files) ::DeleteFileW(file.c_str());
    ::RemoveDirectoryW(m_path.c_str());
}

void ProgramFolder::add(const std::wstring& source, const std::wstring& nameInFolder) {
    const std::wstring target = m_path + nameInFolder;
    ::SetLastError(0xdeadbeef);
    if (!::CopyFileW(source.c_str(), target.c_str(), FALSE)) {
        ADD_FAILURE() << "cannot copy " << win32::narrow(source) << " (error " << ::GetLastError() << ")";
        return;
    }
    m_files.push_back(target);
}

TiktorRun::TiktorRun(const ProgramFolder& folder) {
    std::wstring program = folder.path() + L"tiktor.exe";
    std::wstring commandLine = L"\"" + program + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    ::SetLastError(0xdeadbeef);
    // The current folder is the program folder, as when started from a shortcut there.
    if (!::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          folder.path().c_str(), &startup, &process)) {
        ADD_FAILURE() << "cannot start " << win32::narrow(program) << " (error " << ::GetLastError() << ")";
        return;
    }
    ::CloseHandle(process.hThread);
    m_process.reset(process.hProcess);
    m_processId = process.dwProcessId;
}

TiktorRun::~TiktorRun() {
    if (running()) {
        ::TerminateProcess(m_process.get(), 1);
        ::WaitForSingleObject(m_process.get(), INFINITE);
    }
}

bool TiktorRun::running() const {
    return m_process && ::WaitForSingleObject(m_process.get(), 0) == WAIT_TIMEOUT;
}

HWND TiktorRun::waitUntilReady(DWORD timeoutMs) {
    HWND dialog = nullptr;
    const auto registered = [&] {
        for (const Call& call : callsOf(m_processId)) {
            if (call.entry == "NuWMI_RegisterEvent") return true;
        }
        return false;
    };
    // The dialog exists before it initialises; registration is the last outside call of its start.
    if (!waitUntil([&] { return ((dialog = findDialog()) && registered()) || !running(); }, timeoutMs) ||
        !dialog) {
        return nullptr;
    }
    // A sent message is handled only once the dialog's thread takes messages again: in its modal loop.
    DWORD_PTR ignored = 0;
    return ::SendMessageTimeoutA(dialog, WM_NULL, 0, 0, SMTO_NORMAL, timeoutMs, &ignored) ? dialog : nullptr;
}

HWND TiktorRun::findDialog() const {
    for (HWND window = nullptr; (window = ::FindWindowExA(nullptr, window, "#32770", "Tiktor Tester"));) {
        DWORD owner = 0;
        ::GetWindowThreadProcessId(window, &owner);
        if (owner == m_processId) return window;
    }
    return nullptr;
}

std::optional<DWORD> TiktorRun::waitForExit(DWORD timeoutMs) {
    if (!m_process || ::WaitForSingleObject(m_process.get(), timeoutMs) != WAIT_OBJECT_0) return std::nullopt;
    DWORD code = 0;
    ::GetExitCodeProcess(m_process.get(), &code);
    return code;
}

UINT broadcastMessage() { return ::RegisterWindowMessageA("WM_NOVU_BROADCAST_MESSAGE"); }

void broadcastRequest(WPARAM wParam, LPARAM lParam) {
    ::SetLastError(0xdeadbeef);
    EXPECT_TRUE(::PostMessageA(HWND_BROADCAST, broadcastMessage(), wParam, lParam)) << ::GetLastError();
}

std::vector<Call> callsOf(DWORD processId) {
    std::vector<Call> calls;
    for (simboard::JournalRecord& r : simboard::readJournal(simboard::Machine::instance().state())) {
        if (r.processId == processId) {
            calls.push_back(
                {std::move(r.library), std::move(r.entry), std::move(r.args), r.result, r.timeUs});
        }
    }
    return calls;
}

std::vector<std::uint32_t> clockValuesOf(DWORD processId) {
    std::vector<std::uint32_t> values;
    for (const Call& call : callsOf(processId)) {
        if (call.library == "Ticksmith" && call.entry == "SetClock" && call.args.size() == 1) {
            values.push_back(call.args[0]);
        }
    }
    return values;
}

bool waitUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    while (!condition()) {
        if (::GetTickCount64() >= deadline) return false;
        ::Sleep(2);
    }
    return true;
}

}  // namespace tiktor_e2e
