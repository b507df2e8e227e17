#include "win32/Application.h"

#include <cstddef>
#include <cwchar>
#include <deque>
#include <vector>

#include <shlwapi.h>

#include <string>

#include "win32/DebugOutput.h"
#include "win32/ModalLoop.h"
#include "win32/Text.h"
#include "win32/VersionResource.h"

namespace win32 {

namespace {

bool movesKeyboardBetweenControls(HWND root) {
    return (::GetWindowLongPtrW(root, GWL_EXSTYLE) & WS_EX_CONTROLPARENT) != 0 || isDialogClass(root);
}

bool g_assertionFailed = false;

std::deque<std::wstring>& reportsOnceRunning() {
    static std::deque<std::wstring> reports;
    return reports;
}

std::vector<const FatalExitCleanup*>& fatalExitCleanups() {
    static std::vector<const FatalExitCleanup*> cleanups;
    return cleanups;
}

void showBox(const std::wstring& text, const std::wstring& caption, UINT type) {
    showMessageBox(text.c_str(), caption.c_str(), type);
}

}  // namespace

bool isDialogClass(HWND window) {
    wchar_t className[8] = {};
    return ::GetClassNameW(window, className, 8) && std::wstring_view(className) == L"#32770";
}

int runMessageLoop() {
    MSG msg;
    for (;;) {
        std::deque<std::wstring>& reports = reportsOnceRunning();
        while (!reports.empty()) {
            const std::wstring report = std::move(reports.front());
            reports.pop_front();
            showException(report);
        }
        if (::GetMessageW(&msg, nullptr, 0, 0) <= 0) break;
        HWND root = msg.hwnd ? ::GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
        if (root && movesKeyboardBetweenControls(root) && ::IsDialogMessageW(root, &msg)) continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}

namespace {

std::wstring executablePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

}  // namespace

std::wstring ownVersionString(std::wstring_view name) {
    const auto resource = VersionResource::read(executablePath());
    return resource ? resource->text(name).value_or(L"") : L"";
}

std::wstring executableFolder() {
    std::wstring path = executablePath();
    path.resize(path.find_last_of(L"\\/") + 1);
    return path;
}

std::wstring applicationTitle() {
    std::wstring path = executablePath();
    std::wstring name = path.substr(path.find_last_of(L"\\/") + 1);
    return name.substr(0, name.find_last_of(L'.'));
}

bool fileExists(const std::wstring& path) { return ::PathFileExistsW(path.c_str()) != FALSE; }

void showMessage(std::wstring_view text, std::wstring_view caption) {
    if (!closeRequested()) showBox(std::wstring(text), std::wstring(caption), MB_OK);
}

void showMessage(std::wstring_view text) { showMessage(text, applicationTitle()); }

void showException(std::wstring_view message) {
    if (!closeRequested()) showBox(std::wstring(message), applicationTitle(), MB_OK | MB_ICONSTOP);
}

void reportException(const std::exception& e) noexcept {
    try {
        showException(widen(e.what()));
    } catch (const std::exception&) {
        // No memory left to say it: the handler has ended all the same.
    }
}

void showExceptionOnceRunning(std::wstring message) {
    reportsOnceRunning().push_back(std::move(message));
    ::PostThreadMessageW(::GetCurrentThreadId(), WM_NULL, 0, 0);  // a waiting loop looks again
}

bool assertionHasFailed() noexcept { return g_assertionFailed; }

void assertionFailed(const char* expression, const char* file, int line) {
    g_assertionFailed = true;
    finishDebugOutput();  // what led up to the report, before it
    const std::wstring text = L"Assertion failed: " + widen(expression) + L", file " + widen(file) +
                              L", line " + std::to_wstring(line);
    showBox(text, applicationTitle(), MB_OK | MB_ICONSTOP);
    std::vector<const FatalExitCleanup*>& cleanups = fatalExitCleanups();
    while (!cleanups.empty()) {
        const FatalExitCleanup* newest = cleanups.back();
        cleanups.pop_back();  // a clean-up that fails again finds itself gone
        newest->run();
    }
    ::ExitProcess(3);
}

FatalExitCleanup::FatalExitCleanup(std::function<void()> cleanup) : m_cleanup(std::move(cleanup)) {
    fatalExitCleanups().push_back(this);
}

FatalExitCleanup::~FatalExitCleanup() { std::erase(fatalExitCleanups(), this); }

}  // namespace win32
