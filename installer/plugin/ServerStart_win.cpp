#include "installer/plugin/ServerStart_win.h"

#include <windows.h>

#include <exdisp.h>
#include <sddl.h>
#include <shldisp.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <utility>

#include "installer/plugin/AccessRules.h"
#include "win32/Handles.h"
#include "win32/LocalMemory.h"
#include "win32/Text.h"

namespace setupkit {
namespace {

// A COM interface pointer, released when let go of.
template <typename Interface>
class ComPtr {
  public:
    ComPtr() = default;
    ~ComPtr() {
        if (m_pointer) m_pointer->Release();
    }
    ComPtr(ComPtr&& other) noexcept : m_pointer(std::exchange(other.m_pointer, nullptr)) {}
    ComPtr& operator=(ComPtr&&) = delete;
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;

    Interface* operator->() const { return m_pointer; }
    Interface** receive() { return &m_pointer; }
    void** receiveAny() { return reinterpret_cast<void**>(&m_pointer); }
    explicit operator bool() const { return m_pointer != nullptr; }

  private:
    Interface* m_pointer = nullptr;
};

// CoInitializeEx and, when it took, CoUninitialize.
class ComApartment {
  public:
    ComApartment() : m_initialised(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
    ~ComApartment() {
        if (m_initialised) ::CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

  private:
    bool m_initialised;
};

// The shell's dispatch object of the desktop's folder view: its ShellExecute runs in the shell's
// process, with the token of the user the desktop belongs to. None, with the step that failed and
// why, when the desktop's shell cannot be reached.
ComPtr<IShellDispatch2> desktopShell(std::wstring& problem) {
    ComPtr<IShellDispatch2> none;
    const auto failed = [&](HRESULT result, const wchar_t* step) {
        if (SUCCEEDED(result) && result != S_FALSE) return false;
        problem = std::wstring(step) + L": " +
                  (result == S_FALSE ? L"none" : win32::systemMessage(static_cast<DWORD>(result)));
        return true;
    };
    ComPtr<IShellWindows> windows;
    if (failed(::CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, IID_IShellWindows,
                                  windows.receiveAny()),
               L"the shell's windows"))
        return none;
    VARIANT desktop{};
    desktop.vt = VT_I4;
    desktop.lVal = CSIDL_DESKTOP;
    VARIANT empty{};
    long window = 0;
    ComPtr<IDispatch> found;
    if (failed(
            windows->FindWindowSW(&desktop, &empty, SWC_DESKTOP, &window, SWFO_NEEDDISPATCH, found.receive()),
            L"the desktop's window") ||
        (!found && failed(E_NOINTERFACE, L"the desktop's window")))
        return none;
    ComPtr<IServiceProvider> services;
    ComPtr<IShellBrowser> browser;
    ComPtr<IShellView> view;
    ComPtr<IDispatch> background;
    ComPtr<IShellFolderViewDual> folderView;
    ComPtr<IDispatch> application;
    ComPtr<IShellDispatch2> shell;
    if (failed(found->QueryInterface(IID_IServiceProvider, services.receiveAny()), L"its services") ||
        failed(services->QueryService(SID_STopLevelBrowser, IID_IShellBrowser, browser.receiveAny()),
               L"its browser") ||
        failed(browser->QueryActiveShellView(view.receive()), L"its view") ||
        failed(view->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch, background.receiveAny()),
               L"the view's background") ||
        failed(background->QueryInterface(IID_IShellFolderViewDual, folderView.receiveAny()),
               L"the folder view") ||
        failed(folderView->get_Application(application.receive()), L"the shell's application") ||
        failed(application->QueryInterface(IID_IShellDispatch2, shell.receiveAny()), L"its ShellExecute"))
        return none;
    return shell;
}

// The desktop's shell program.
constexpr wchar_t kShellProgram[] = L"explorer.exe";

// The shell registers its window list once it has started: at logon a moment after the desktop
// shows, and under wine some seconds after the session's first window. Until then it is asked again.
constexpr DWORD kShellStartMs = 15000;
constexpr DWORD kShellAskAgainMs = 250;

ComPtr<IShellDispatch2> desktopShellOnceStarted(std::wstring& problem) {
    const ULONGLONG deadline = ::GetTickCount64() + kShellStartMs;
    for (;;) {
        ComPtr<IShellDispatch2> shell = desktopShell(problem);
        if (shell || ::GetTickCount64() >= deadline) return shell;
        ::Sleep(kShellAskAgainMs);
    }
}

bool runsAsLocalSystem() {
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
    const win32::UniqueHandle owned(token);
    alignas(TOKEN_USER) BYTE buffer[512];
    DWORD size = 0;
    wchar_t* text = nullptr;
    if (!::GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &size) ||
        !::ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &text))
        return false;
    const win32::UniqueLocalMemory ownedText(text);
    return text == account::kSystem;
}

// A BSTR, freed when let go of.
class Text {
  public:
    explicit Text(const std::wstring& text) : m_text(::SysAllocString(text.c_str())) {}
    ~Text() { ::SysFreeString(m_text); }
    Text(const Text&) = delete;
    Text& operator=(const Text&) = delete;
    BSTR get() const { return m_text; }

  private:
    BSTR m_text;
};

// The desktop shell's process: the owner of the shell's window, else the shell's program running in
// Setup's session (a shell that has not announced its window yet). 0 when there is none.
DWORD shellProcessId() {
    DWORD processId = 0;
    if (const HWND shell = ::GetShellWindow()) ::GetWindowThreadProcessId(shell, &processId);
    if (processId != 0) return processId;
    DWORD ownSession = 0;
    ::ProcessIdToSessionId(::GetCurrentProcessId(), &ownSession);
    const win32::UniqueHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more;
         more = ::Process32NextW(snapshot.get(), &entry)) {
        DWORD session = 0;
        if (::CompareStringOrdinal(entry.szExeFile, -1, kShellProgram, -1, TRUE) == CSTR_EQUAL &&
            ::ProcessIdToSessionId(entry.th32ProcessID, &session) && session == ownSession)
            return entry.th32ProcessID;
    }
    return 0;
}

// A primary token made from the desktop shell's process token: the signed-in user's, as the user
// runs programs from the desktop (unelevated). Empty, with why, when there is none to take.
win32::UniqueHandle shellProcessToken(std::wstring& problem) {
    const DWORD processId = shellProcessId();
    if (processId == 0) {
        problem += L"; no shell process in this session";
        return {};
    }
    const win32::UniqueHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    HANDLE token = nullptr;
    if (!process || !::OpenProcessToken(process.get(), TOKEN_DUPLICATE | TOKEN_QUERY, &token)) {
        problem += L"; the shell's token: " + win32::systemMessage(::GetLastError());
        return {};
    }
    const win32::UniqueHandle shellToken(token);
    HANDLE primary = nullptr;
    if (!::DuplicateTokenEx(token,
                            TOKEN_QUERY | TOKEN_DUPLICATE | TOKEN_ASSIGN_PRIMARY | TOKEN_ADJUST_DEFAULT |
                                TOKEN_ADJUST_SESSIONID,
                            nullptr, SecurityImpersonation, TokenPrimary, &primary)) {
        problem += L"; the shell's token: " + win32::systemMessage(::GetLastError());
        return {};
    }
    return win32::UniqueHandle(primary);
}

StartReport throughDesktopShell(IShellDispatch2& shell, const std::wstring& program,
                                const std::wstring& folder) {
    const Text file(program);
    VARIANT arguments{};
    VARIANT directory{};
    directory.vt = VT_BSTR;
    const Text folderText(folder);
    directory.bstrVal = folderText.get();
    VARIANT verb{};
    VARIANT show{};
    show.vt = VT_I4;
    show.lVal = SW_SHOWNORMAL;
    const HRESULT result = shell.ShellExecute(file.get(), arguments, directory, verb, show);
    if (FAILED(result))
        return {false, L"the desktop's shell did not start it (" +
                           win32::systemMessage(static_cast<DWORD>(result)) + L"): the next logon starts it"};
    return {true, L"through the desktop's shell"};
}

StartReport withShellToken(HANDLE token, const std::wstring& program, const std::wstring& folder) {
    std::wstring commandLine = L"\"" + program + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    if (!::CreateProcessWithTokenW(token, 0, program.c_str(), commandLine.data(), 0, nullptr, folder.c_str(),
                                   &startup, &started))
        return {false, L"it could not be started with the shell's token (" +
                           win32::systemMessage(::GetLastError()) + L"): the next logon starts it"};
    ::CloseHandle(started.hThread);
    ::CloseHandle(started.hProcess);
    return {true, L"with the token of the desktop's shell"};
}

}  // namespace

StartReport startAsDesktopUser(const std::wstring& program, const std::wstring& folder) {
    Starter starter;
    starter.isLocalSystem = runsAsLocalSystem();
    DWORD session = 0;
    starter.session = ::ProcessIdToSessionId(::GetCurrentProcessId(), &session) ? session : 0;
    // The shell is looked for only where a user's desktop can be.
    starter.desktopShellFound = true;
    StartChoice choice = chooseServerStart(starter);
    if (choice.way == StartWay::NotStarted) return {false, choice.reason};

    const ComApartment apartment;
    std::wstring problem;
    const ComPtr<IShellDispatch2> shell = desktopShellOnceStarted(problem);
    starter.desktopShellFound = static_cast<bool>(shell);
    win32::UniqueHandle token;
    if (!shell) token = shellProcessToken(problem);
    starter.shellTokenFound = static_cast<bool>(token);
    choice = chooseServerStart(starter);
    switch (choice.way) {
        case StartWay::ThroughDesktopShell:
            return throughDesktopShell(*shell.operator->(), program, folder);
        case StartWay::WithShellToken:
            return withShellToken(token.get(), program, folder);
        case StartWay::NotStarted:
            break;
    }
    return {false, choice.reason + L" (" + problem + L")"};
}

}  // namespace setupkit
