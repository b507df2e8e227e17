#include "installer/plugin/ServerStart_win.h"

#include <windows.h>

#include <exdisp.h>
#include <sddl.h>
#include <shldisp.h>
#include <shlobj.h>

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
// process, with the token of the user the desktop belongs to.
ComPtr<IShellDispatch2> desktopShell() {
    ComPtr<IShellDispatch2> none;
    ComPtr<IShellWindows> windows;
    if (FAILED(::CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, IID_IShellWindows,
                                  windows.receiveAny())))
        return none;
    VARIANT desktop{};
    desktop.vt = VT_I4;
    desktop.lVal = CSIDL_DESKTOP;
    VARIANT empty{};
    long window = 0;
    ComPtr<IDispatch> found;
    if (windows->FindWindowSW(&desktop, &empty, SWC_DESKTOP, &window, SWFO_NEEDDISPATCH, found.receive()) !=
            S_OK ||
        !found)
        return none;
    ComPtr<IServiceProvider> services;
    ComPtr<IShellBrowser> browser;
    ComPtr<IShellView> view;
    ComPtr<IDispatch> background;
    ComPtr<IShellFolderViewDual> folderView;
    ComPtr<IDispatch> application;
    ComPtr<IShellDispatch2> shell;
    if (FAILED(found->QueryInterface(IID_IServiceProvider, services.receiveAny())) ||
        FAILED(services->QueryService(SID_STopLevelBrowser, IID_IShellBrowser, browser.receiveAny())) ||
        FAILED(browser->QueryActiveShellView(view.receive())) ||
        FAILED(view->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch, background.receiveAny())) ||
        FAILED(background->QueryInterface(IID_IShellFolderViewDual, folderView.receiveAny())) ||
        FAILED(folderView->get_Application(application.receive())) ||
        FAILED(application->QueryInterface(IID_IShellDispatch2, shell.receiveAny())))
        return none;
    return shell;
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
    const ComPtr<IShellDispatch2> shell = desktopShell();
    starter.desktopShellFound = static_cast<bool>(shell);
    choice = chooseServerStart(starter);
    if (choice.way == StartWay::NotStarted) return {false, choice.reason};
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
    const HRESULT result = shell->ShellExecute(file.get(), arguments, directory, verb, show);
    if (FAILED(result))
        return {false, L"the desktop's shell did not start it (" +
                           win32::systemMessage(static_cast<DWORD>(result)) + L"): the next logon starts it"};
    return {true, {}};
}

}  // namespace setupkit
