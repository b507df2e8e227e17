#include "e2e/support/Harness.h"

#include <gtest/gtest.h>

#include <objbase.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <iterator>
#include <utility>

#include "mainboard/machine/Machine.h"
#include "win32/Application.h"
#include "win32/Handles.h"
#include "win32/Text.h"

namespace e2e {

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

const std::wstring& processToken() {
    static const std::wstring token = [] {
        GUID random{};
        if (FAILED(::CoCreateGuid(&random))) ADD_FAILURE() << "CoCreateGuid failed";
        wchar_t text[32];
        ::swprintf(text, std::size(text), L"%lu-%08lx", static_cast<unsigned long>(::GetCurrentProcessId()),
                   static_cast<unsigned long>(random.Data1));
        return std::wstring(text);
    }();
    return token;
}

ProgramFolder::ProgramFolder(std::wstring_view name) {
    const std::wstring runs = win32::executableFolder() + L"program-folders";
    ::CreateDirectoryW(runs.c_str(), nullptr);
    m_path = runs + L"\\" + std::wstring(name) + L"-" + processToken() + L"\\";
    ::SetLastError(0xdeadbeef);
    if (!::CreateDirectoryW(m_path.c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS) {
        ADD_FAILURE() << "cannot create " << win32::narrow(m_path) << " (error " << ::GetLastError() << ")";
    }
}

ProgramFolder::~ProgramFolder() {
    for (const std::wstring& file : m_files) ::DeleteFileW(file.c_str());
    for (auto folder = m_folders.rbegin(); folder != m_folders.rend(); ++folder)
        ::RemoveDirectoryW(folder->c_str());
    ::RemoveDirectoryW(m_path.c_str());
}

void ProgramFolder::add(const std::wstring& source, const std::wstring& nameInFolder) {
    const std::wstring target = m_path + nameInFolder;
    for (std::size_t slash = nameInFolder.find(L'\\'); slash != std::wstring::npos;
         slash = nameInFolder.find(L'\\', slash + 1)) {
        const std::wstring folder = m_path + nameInFolder.substr(0, slash);
        if (::CreateDirectoryW(folder.c_str(), nullptr)) m_folders.push_back(folder);
    }
    ::SetLastError(0xdeadbeef);
    if (!::CopyFileW(source.c_str(), target.c_str(), FALSE)) {
        ADD_FAILURE() << "cannot copy " << win32::narrow(source) << " (error " << ::GetLastError() << ")";
        return;
    }
    m_files.push_back(target);
}

DWORD retryWineAbortedStarts(const std::function<bool()>& attempt) {
    DWORD error = ERROR_SUCCESS;
    for (int tried = 1;; ++tried) {
        if (attempt()) return ERROR_SUCCESS;
        error = ::GetLastError();
        if (error != ERROR_INTERNAL_ERROR || tried == kStartAttempts) return error;
        std::fprintf(stderr, "wine aborted a new process in its start-up (error %lu); starting it again\n",
                     static_cast<unsigned long>(error));
    }
}

StartedProcess tryStartProcess(const wchar_t* application, std::wstring commandLine, const wchar_t* folder,
                               STARTUPINFOW& startup, bool inheritHandles, DWORD& error) {
    PROCESS_INFORMATION started{};
    error = retryWineAbortedStarts([&] {
        ::SetLastError(0xdeadbeef);
        return ::CreateProcessW(application, commandLine.data(), nullptr, nullptr, inheritHandles, 0, nullptr,
                                folder, &startup, &started) != FALSE;
    });
    if (error != ERROR_SUCCESS) return {};
    ::CloseHandle(started.hThread);
    StartedProcess process;
    process.handle.reset(started.hProcess);
    process.id = started.dwProcessId;
    return process;
}

StartedProcess startProcess(const wchar_t* application, std::wstring commandLine, const wchar_t* folder,
                            STARTUPINFOW& startup, bool inheritHandles) {
    DWORD error = ERROR_SUCCESS;
    StartedProcess process =
        tryStartProcess(application, commandLine, folder, startup, inheritHandles, error);
    if (error != ERROR_SUCCESS)
        ADD_FAILURE() << "cannot start " << win32::narrow(commandLine) << " (error " << error << ")";
    return process;
}

ProgramRun::ProgramRun(const ProgramFolder& folder, std::wstring_view exeName,
                       const ProgramFolder* currentFolder) {
    const std::wstring program = folder.path() + std::wstring(exeName);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    StartedProcess started = startProcess(program.c_str(), L"\"" + program + L"\"",
                                          (currentFolder ? *currentFolder : folder).path().c_str(), startup);
    m_process = std::move(started.handle);
    m_processId = started.id;
}

ProgramRun::~ProgramRun() {
    if (running()) {
        ::TerminateProcess(m_process.get(), 1);
        ::WaitForSingleObject(m_process.get(), INFINITE);
    }
}

bool ProgramRun::running() const {
    return m_process && ::WaitForSingleObject(m_process.get(), 0) == WAIT_TIMEOUT;
}

std::optional<DWORD> ProgramRun::waitForExit(DWORD timeoutMs) {
    if (!m_process || ::WaitForSingleObject(m_process.get(), timeoutMs) != WAIT_OBJECT_0) return std::nullopt;
    DWORD code = 0;
    ::GetExitCodeProcess(m_process.get(), &code);
    return code;
}

HWND ProgramRun::findWindow(const wchar_t* className, const wchar_t* caption) const {
    for (HWND window = nullptr; (window = ::FindWindowExW(nullptr, window, className, caption));) {
        DWORD owner = 0;
        ::GetWindowThreadProcessId(window, &owner);
        if (owner == m_processId) return window;
    }
    return nullptr;
}

std::vector<Call> callsOf(DWORD processId, std::uint64_t afterSeq) {
    std::vector<Call> calls;
    for (simboard::JournalRecord& r :
         simboard::readJournal(simboard::Machine::instance().state(), afterSeq)) {
        if (r.processId == processId)
            calls.push_back(
                {r.seq, std::move(r.library), std::move(r.entry), std::move(r.args), r.result, r.timeUs});
    }
    return calls;
}

std::uint64_t lastSeq() { return simboard::lastJournalSeq(simboard::Machine::instance().state()); }

void expectPeriodicTicks(const std::vector<std::uint64_t>& ticksUs, std::uint64_t startUs,
                         std::uint32_t periodMs) {
    // The board's clock and the system's timers are read apart: allow them a few milliseconds.
    constexpr std::uint64_t kClocksApartUs = 20'000;
    const std::uint64_t periodUs = std::uint64_t{periodMs} * 1000;
    for (std::size_t k = 0; k < ticksUs.size(); ++k) {
        EXPECT_GE(ticksUs[k] + kClocksApartUs, startUs + (k + 1) * periodUs)
            << "tick " << k + 1 << " came early";
        const std::uint64_t previousUs = k == 0 ? startUs : ticksUs[k - 1];
        EXPECT_LT(ticksUs[k] - previousUs, 2 * periodUs) << "a tick missed before tick " << k + 1;
    }
}

bool waitUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    while (!condition()) {
        if (::GetTickCount64() >= deadline) return false;
        ::Sleep(2);
    }
    return true;
}

ScratchFile::ScratchFile(const std::wstring& name, const std::string& content)
    : m_path(win32::executableFolder() + processToken() + L"-" + name) {
    win32::UniqueHandle file(::CreateFileW(m_path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                           FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (!file ||
        !::WriteFile(file.get(), content.data(), static_cast<DWORD>(content.size()), &written, nullptr))
        ADD_FAILURE() << "cannot write " << win32::narrow(m_path) << " (error " << ::GetLastError() << ")";
}

ScratchFile::~ScratchFile() { ::DeleteFileW(m_path.c_str()); }

std::string controlText(HWND control) { return win32::narrow(win32::windowText(control)); }

HWND waitForMessageBox(const ProgramRun& run, std::string& text, DWORD timeoutMs) {
    HWND box = nullptr;
    // The box exists a moment before its controls do: wait for its message, the one static control
    // with text (the icon is a static without).
    const auto message = [&] {
        text.clear();
        if (!(box = run.findWindow(L"#32770", nullptr))) return false;
        for (HWND child = nullptr; (child = ::FindWindowExA(box, child, "Static", nullptr));) {
            std::string t = controlText(child);
            if (!t.empty()) text = std::move(t);
        }
        return !text.empty();
    };
    return waitUntil(message, timeoutMs) ? box : nullptr;
}

COLORREF ScreenImage::pixel(int x, int y) const {
    const std::uint8_t* p = bgra.data() + (static_cast<std::size_t>(y) * width + x) * 4;
    return RGB(p[2], p[1], p[0]);
}

ScreenImage captureScreen(const RECT& area) {
    ScreenImage image{area.right - area.left, area.bottom - area.top, {}};
    image.bgra.resize(static_cast<std::size_t>(image.width) * image.height * 4);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), image.width, -image.height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HDC screen = ::GetDC(nullptr);
    win32::UniqueMemoryDC memory(::CreateCompatibleDC(screen));
    win32::UniqueBitmap section(::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    HGDIOBJ old = ::SelectObject(memory.get(), section.get());
    ::BitBlt(memory.get(), 0, 0, image.width, image.height, screen, area.left, area.top, SRCCOPY);
    ::GdiFlush();
    std::copy_n(static_cast<const std::uint8_t*>(bits), image.bgra.size(), image.bgra.begin());
    ::SelectObject(memory.get(), old);
    ::ReleaseDC(nullptr, screen);
    return image;
}

}  // namespace e2e
