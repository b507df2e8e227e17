// kelvane-setup.exe end to end under wine: silent installs into folders of the test's own, the
// server started as the Run value starts it at logon, an update over the running server, the
// uninstaller; and the version resources and manifests of the built files.

#include <windows.h>

#include <aclapi.h>
#include <sddl.h>
#include <shellapi.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "e2e/mainboard/ToolRun.h"
#include "e2e/support/Authenticode.h"
#include "e2e/support/Harness.h"
#include "e2e/support/ProgramFolderFiles.h"
#include "mainboard/machine/BoardSetupApi.h"
#include "mainboard/machine/Machine.h"
#include "mainboard/shelltray/ShellTray.h"
#include "protocol/ServerWindows.h"
#include "protocol/SingleInstance.h"
#include "win32/Application.h"
#include "win32/Handles.h"
#include "win32/Text.h"
#include "win32/VersionResource.h"

namespace installer_e2e {
namespace {

constexpr DWORD kSetupTimeoutMs = 120000;             // an install under wine on a loaded machine
constexpr char kCardCountAnswer[] = "-> 0x00000004";  // with the NVIDIA back end, four card indices
const wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const wchar_t kUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Kelvane";
const wchar_t kSuiteAppPathKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Tunedeck II.exe";

const std::vector<std::wstring> kPlatformFiles = e2e::platformFiles();
// The installer's exit codes (the README's table).
constexpr DWORD kExitPlatformMissing = 2;
constexpr DWORD kExitServerRunning = 3;
constexpr DWORD kExitBoardWouldReplace = 4;
constexpr DWORD kExitNotRemoved = 4;
constexpr DWORD kExitAmd64NeedsBoard = 5;
// What the log says when a program that is not the folder's server holds the machine's mutex.
constexpr char kSquatterLine[] =
    "is held by a program that is not Kelvane Server: the server cannot start while "
    "that program runs";
constexpr DWORD kExitNotRegistered = 5;
constexpr DWORD kExitFolderWritable = 6;
constexpr DWORD kExitInUse = 8;
constexpr DWORD kExitWriteFailed = 9;
constexpr DWORD kExitNotWrittenBySetup = 10;
// The same with Everyone given Modify (wine keeps of an access list what its file modes can say: the
// world's rights, not a group's).
constexpr wchar_t kOthersMayModify[] = L"D:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1301bf;;;WD)";
// What the installer puts there: program folder name, built file.
const std::vector<std::pair<std::wstring, std::wstring>> kInstalledFiles = {
    {L"kelvane.exe", L"bin\\kelvane.exe"},
    {L"tiktor.exe", L"bin\\tiktor.exe"},
    {L"Info.ini", L"bin\\Info.ini"},
    {L"resource\\popup_bg08.png", L"bin\\resource\\popup_bg08.png"},
    {L"resource\\button01_n.png", L"bin\\resource\\button01_n.png"},
    {L"resource\\button01_o.png", L"bin\\resource\\button01_o.png"},
    {L"resource\\button01_d.png", L"bin\\resource\\button01_d.png"},
    {L"resource\\connect.ico", L"bin\\resource\\connect.ico"}};

std::string fileContent(const std::wstring& path) {
    std::ifstream in(win32::narrow(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

bool sameText(const std::wstring& a, const std::wstring& b) {
    return ::CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

bool fileExists(const std::wstring& path) {
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::optional<std::wstring> registryText(HKEY root, const wchar_t* key, const wchar_t* value) {
    wchar_t text[1024];
    DWORD bytes = sizeof text;
    if (::RegGetValueW(root, key, value, RRF_RT_REG_SZ, nullptr, text, &bytes) != ERROR_SUCCESS)
        return std::nullopt;
    return std::wstring(text);
}

std::optional<DWORD> registryNumber(HKEY root, const wchar_t* key, const wchar_t* value) {
    DWORD number = 0;
    DWORD bytes = sizeof number;
    if (::RegGetValueW(root, key, value, RRF_RT_REG_DWORD, nullptr, &number, &bytes) != ERROR_SUCCESS)
        return std::nullopt;
    return number;
}

bool registryKeyExists(HKEY root, const wchar_t* key) {
    HKEY opened = nullptr;
    if (::RegOpenKeyExW(root, key, 0, KEY_READ, &opened) != ERROR_SUCCESS) return false;
    ::RegCloseKey(opened);
    return true;
}

// Runs a command line to its end; its exit code, or none when it did not end in time.
std::optional<DWORD> runToEnd(std::wstring commandLine, DWORD timeoutMs) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    const e2e::StartedProcess process = e2e::startProcess(nullptr, std::move(commandLine), nullptr, startup);
    if (!process.handle || ::WaitForSingleObject(process.handle.get(), timeoutMs) != WAIT_OBJECT_0)
        return std::nullopt;
    DWORD code = 0;
    ::GetExitCodeProcess(process.handle.get(), &code);
    return code;
}

// Every file under the folder by its name there, with its content; each folder as "<folder>".
std::map<std::wstring, std::string> filesIn(const std::wstring& folder, const std::wstring& prefix = L"") {
    std::map<std::wstring, std::string> found;
    WIN32_FIND_DATAW entry;
    win32::UniqueFindHandle search(::FindFirstFileW((folder + prefix + L"*").c_str(), &entry));
    for (bool more = static_cast<bool>(search); more; more = ::FindNextFileW(search.get(), &entry)) {
        const std::wstring name = entry.cFileName;
        if (name == L"." || name == L"..") continue;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            found[prefix + name] = "<folder>";
            found.merge(filesIn(folder, prefix + name + L"\\"));
        } else {
            found[prefix + name] = fileContent(folder + prefix + name);
        }
    }
    return found;
}

// The record of the files Setup wrote: each value under the entry's Files key.
std::map<std::wstring, std::wstring> recordValues() {
    std::map<std::wstring, std::wstring> values;
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, (std::wstring(kUninstallKey) + L"\\Files").c_str(), 0, KEY_READ,
                        &key) != ERROR_SUCCESS)
        return values;
    for (DWORD index = 0;; ++index) {
        wchar_t name[MAX_PATH];
        DWORD nameLength = MAX_PATH;
        wchar_t value[256];
        DWORD bytes = sizeof value;
        if (::RegEnumValueW(key, index, name, &nameLength, nullptr, nullptr, reinterpret_cast<BYTE*>(value),
                            &bytes) != ERROR_SUCCESS)
            break;
        values[name] = std::wstring(value, bytes / sizeof(wchar_t)).c_str();
    }
    ::RegCloseKey(key);
    return values;
}

// A file's or folder's access list, as SDDL text ("D:P(A;...)...").
std::wstring accessOf(const std::wstring& path) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (::GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                nullptr, nullptr, &descriptor) != ERROR_SUCCESS)
        return L"(unreadable)";
    wchar_t* text = nullptr;
    ::ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor, SDDL_REVISION_1,
                                                           DACL_SECURITY_INFORMATION, &text, nullptr);
    const std::wstring found = text ? text : L"(none)";
    ::LocalFree(text);
    ::LocalFree(descriptor);
    return found;
}

// A file's or folder's owner, as a security identifier's text.
std::wstring ownerOf(const std::wstring& path) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    PSID owner = nullptr;
    if (::GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr,
                                nullptr, nullptr, &descriptor) != ERROR_SUCCESS)
        return L"(unreadable)";
    wchar_t* text = nullptr;
    ::ConvertSidToStringSidW(owner, &text);
    const std::wstring found = text ? text : L"(none)";
    ::LocalFree(text);
    ::LocalFree(descriptor);
    return found;
}

// Gives a file or folder the access list (wine keeps it, though it does not enforce it).
bool setAccess(const std::wstring& path, const wchar_t* sddl) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor, nullptr))
        return false;
    BOOL present = FALSE, defaulted = FALSE;
    PACL acl = nullptr;
    const bool set = ::GetSecurityDescriptorDacl(descriptor, &present, &acl, &defaulted) &&
                     ::SetNamedSecurityInfoW(const_cast<wchar_t*>(path.c_str()), SE_FILE_OBJECT,
                                             DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                                             nullptr, nullptr, acl, nullptr) == ERROR_SUCCESS;
    ::LocalFree(descriptor);
    return set;
}

std::wstring setupProgram() { return e2e::builtFile(L"kelvane-setup.exe"); }

std::optional<DWORD> runSetup(const std::wstring& arguments) {
    return runToEnd(L"\"" + setupProgram() + L"\" " + arguments, kSetupTimeoutMs);
}

std::wstring setupLogPath(const wchar_t* name) {
    wchar_t temp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    return temp + std::wstring(name);
}

// A silent run's log in %TEMP% (UTF-16 with a byte-order mark), as UTF-8.
std::string setupLog(const wchar_t* name) {
    const std::string bytes = fileContent(setupLogPath(name));
    if (bytes.size() < 2) return {};
    std::wstring text((bytes.size() - 2) / 2, L'\0');
    std::copy_n(bytes.data() + 2, text.size() * 2, reinterpret_cast<char*>(text.data()));
    return win32::narrow(text);
}

// The log's line that says how Setup started the server, for the test's output.
void printServerStart(const std::string& log) {
    const std::size_t at = log.find("Started Kelvane Server");
    std::printf("%s\n", at == std::string::npos ? "no server started"
                                                : log.substr(at, log.find('\r', at) - at).c_str());
}

std::wstring withoutTrailingSeparator(std::wstring path) {
    if (!path.empty() && path.back() == L'\\') path.pop_back();
    return path;
}

// The uninstaller of a folder run in place: it cannot delete itself then, but its exit code is seen.
std::optional<DWORD> runUninstallerInPlace(const std::wstring& folder) {
    ::DeleteFileW(setupLogPath(L"kelvane-uninstall.log").c_str());
    return runToEnd(L"\"" + folder + L"kelvane-uninstall.exe\" /S _?=" + withoutTrailingSeparator(folder),
                    kSetupTimeoutMs);
}

void removeTree(const std::wstring& folder) {
    WIN32_FIND_DATAW found;
    win32::UniqueFindHandle search(::FindFirstFileW((folder + L"*").c_str(), &found));
    for (bool more = static_cast<bool>(search); more; more = ::FindNextFileW(search.get(), &found)) {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            removeTree(folder + name + L"\\");
        } else {
            ::SetFileAttributesW((folder + name).c_str(), FILE_ATTRIBUTE_NORMAL);
            ::DeleteFileW((folder + name).c_str());
        }
    }
    ::RemoveDirectoryW(folder.c_str());
}

// The installer's wizard, driven as a person would: its dialogs found by process, its buttons pressed
// by their ids.
struct Wizard {
    win32::UniqueHandle process;
    DWORD id = 0;
    HWND window = nullptr;

    explicit Wizard(const std::wstring& arguments) {
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        e2e::StartedProcess started =
            e2e::startProcess(nullptr, L"\"" + setupProgram() + L"\" " + arguments, nullptr, startup);
        if (!started.handle) return;
        process = std::move(started.handle);
        id = started.id;
        e2e::waitUntil([&] { return (window = wizard()) != nullptr; }, kSetupTimeoutMs);
    }
    ~Wizard() {
        if (process && ::WaitForSingleObject(process.get(), 0) != WAIT_OBJECT_0)
            ::TerminateProcess(process.get(), 1);
    }
    Wizard(const Wizard&) = delete;
    Wizard& operator=(const Wizard&) = delete;

    // The wizard: a visible top-level dialog of the installer that shows a page. Setup's first window
    // may be another: while it checks its own file (slow on a loaded machine) it shows a progress
    // dialog, which then goes.
    HWND wizard() const {
        for (HWND w = nullptr; (w = dialog(nullptr, w));)
            if (::FindWindowExW(w, nullptr, L"#32770", nullptr)) return w;
        return nullptr;
    }
    // A visible top-level dialog of the installer with that owner (none: the wizard, or the check's
    // progress; the wizard: its message boxes), the first after AFTER.
    HWND dialog(HWND owner, HWND after = nullptr) const {
        for (HWND w = after; (w = ::FindWindowExW(nullptr, w, L"#32770", nullptr));) {
            DWORD of = 0;
            ::GetWindowThreadProcessId(w, &of);
            if (of == id && ::IsWindowVisible(w) && ::GetWindow(w, GW_OWNER) == owner) return w;
        }
        return nullptr;
    }
    // The message box over the wizard, once its text is there; null when none came.
    HWND messageBox(std::string& text) const {
        HWND box = nullptr;
        e2e::waitUntil(
            [&] {
                box = dialog(window);
                text = box ? e2e::controlText(::GetDlgItem(box, 0xFFFF)) : "";
                return !text.empty();
            },
            kSetupTimeoutMs);
        return text.empty() ? nullptr : box;
    }
    // The folder in the directory page's field; "" on any other page.
    std::string folderField() const {
        HWND page = ::FindWindowExW(window, nullptr, L"#32770", nullptr);
        HWND field = page ? ::FindWindowExW(page, nullptr, L"Edit", nullptr) : nullptr;
        return field ? e2e::controlText(field) : "";
    }
    static void press(HWND dialog, int button) {
        ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                       reinterpret_cast<LPARAM>(::GetDlgItem(dialog, button)));
    }
    std::optional<DWORD> exitCode() const {
        if (::WaitForSingleObject(process.get(), kSetupTimeoutMs) != WAIT_OBJECT_0) return std::nullopt;
        DWORD code = 0;
        ::GetExitCodeProcess(process.get(), &code);
        return code;
    }
};

// A server process the test did not necessarily start: found by its main window. One still running
// when the test lets go of it (a test that failed half-way, or ended with it running) is ended.
struct ServerProcess {
    win32::UniqueHandle process;
    DWORD id = 0;
    HWND window = nullptr;

    ServerProcess() = default;
    ServerProcess(ServerProcess&&) = default;
    ServerProcess& operator=(ServerProcess&&) = default;
    ~ServerProcess() { end(); }

    static ServerProcess find(DWORD otherThan, DWORD timeoutMs) {
        ServerProcess server;
        e2e::waitUntil(
            [&] {
                server.window = ::FindWindowW(wire::kMainWindowClass, wire::kMainWindowCaption);
                if (server.window) ::GetWindowThreadProcessId(server.window, &server.id);
                return server.window && server.id != otherThan;
            },
            timeoutMs);
        if (server.window && server.id != otherThan)
            server.process.reset(::OpenProcess(
                SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE, FALSE, server.id));
        return server;
    }
    std::optional<DWORD> exitCode(DWORD timeoutMs) const {
        if (!process || ::WaitForSingleObject(process.get(), timeoutMs) != WAIT_OBJECT_0) return std::nullopt;
        DWORD code = 0;
        ::GetExitCodeProcess(process.get(), &code);
        return code;
    }
    // Closed as a user would, ended if that does not work.
    void end() {
        if (!process || exitCode(0)) return;
        ::PostMessageW(window, WM_CLOSE, 0, 0);
        if (!exitCode(20000)) ::TerminateProcess(process.get(), 1);
    }
};

std::vector<e2e::Call> callsTo(DWORD processId, const char* entry) {
    std::vector<e2e::Call> found;
    for (e2e::Call& c : e2e::callsOf(processId))
        if (c.entry == entry) found.push_back(std::move(c));
    return found;
}

// Another user's server as Setup sees it, where wine has one session: a process whose image is the
// folder's kelvane.exe, holding the machine's mutex but not this session's, with no window here. It
// is started suspended (none of its code runs: it takes no mutex and no register of its own) and
// given the machine's mutex, which it then alone holds. Left out: another session's id and desktop,
// an access list that denies this user the mutex (the single-instance test's), and the rights an
// elevated Setup needs to query that session's processes.
class OtherSessionServer {
  public:
    explicit OtherSessionServer(const std::wstring& program) {
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info{};
        std::wstring commandLine = L"\"" + program + L"\"";
        const DWORD error = e2e::retryWineAbortedStarts([&] {
            return ::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                                    CREATE_SUSPENDED, nullptr, nullptr, &startup, &info) != FALSE;
        });
        if (error != ERROR_SUCCESS) return;
        m_process.reset(info.hProcess);
        ::CloseHandle(info.hThread);
        const win32::UniqueHandle mutex(::CreateMutexW(nullptr, FALSE, wire::kMachineServerMutexName));
        HANDLE inServer = nullptr;
        m_holdsMutex = mutex && ::GetLastError() != ERROR_ALREADY_EXISTS &&
                       ::DuplicateHandle(::GetCurrentProcess(), mutex.get(), m_process.get(), &inServer, 0,
                                         FALSE, DUPLICATE_SAME_ACCESS);
    }
    ~OtherSessionServer() {
        if (!m_process) return;
        ::TerminateProcess(m_process.get(), 0);
        ::WaitForSingleObject(m_process.get(), INFINITE);
    }
    OtherSessionServer(const OtherSessionServer&) = delete;
    OtherSessionServer& operator=(const OtherSessionServer&) = delete;

    // True when it alone holds the machine's mutex.
    bool holdsTheMachinesMutex() const { return m_holdsMutex; }

  private:
    win32::UniqueHandle m_process;
    bool m_holdsMutex = false;
};

class Installer : public ::testing::Test {
  protected:
    void SetUp() override {
        machine.reset();
        ASSERT_TRUE(fileExists(setupProgram())) << "kelvane-setup.exe is not built";
        const int width =
            ::GetBinaryTypeW(setupProgram().c_str(), &binaryType) && binaryType == SCS_64BIT_BINARY ? 64 : 32;
        std::printf("running the %d-bit installer %s\n", width, win32::narrow(setupProgram()).c_str());
        forgetInstallation();
        // The board's device tree is its setupapi.dll, which wine loads for the server only when told.
        ASSERT_TRUE(simboard::preferBoardSetupApi(L"kelvane.exe"));
    }
    void TearDown() override {
        for (const std::wstring& folder : folders) removeTree(folder);
        forgetInstallation();
        simboard::forgetBoardSetupApi(L"kelvane.exe");
    }
    // The prefix keeps no trace of an installation, whatever the test left.
    static void forgetInstallation() {
        ::RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kRunKey, L"Kelvane");
        ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, kUninstallKey);
        ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, kSuiteAppPathKey);
    }
    // A fresh folder of the test's own in the build tree, with a trailing separator.
    std::wstring makeFolder(const wchar_t* name) {
        const std::wstring runs = win32::executableFolder() + L"installer-runs\\";
        ::CreateDirectoryW(runs.c_str(), nullptr);
        const std::wstring folder = runs + name + L"-" + e2e::processToken() + L"\\";
        removeTree(folder);
        EXPECT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr)) << win32::narrow(folder);
        folders.push_back(folder);
        return folder;
    }
    // The platform software's files, as it installs them (here: the board's stand-ins, and its device
    // tree for the server to find a card).
    static void installPlatform(const std::wstring& folder) {
        std::vector<std::wstring> files = kPlatformFiles;
        files.push_back(e2e::kBoardDeviceTree);
        for (const std::wstring& name : files)
            EXPECT_TRUE(
                ::CopyFileW(e2e::builtFile(L"standins\\" + name).c_str(), (folder + name).c_str(), FALSE))
                << win32::narrow(name);
    }

    // Starts the server with the Run value's command line, in the system folder as at logon.
    static ServerProcess startAsAtLogon(std::wstring commandLine) {
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        wchar_t system[MAX_PATH];
        ::GetSystemDirectoryW(system, MAX_PATH);
        const e2e::StartedProcess started =
            e2e::startProcess(nullptr, std::move(commandLine), system, startup);
        if (!started.handle) return {};
        ServerProcess server = ServerProcess::find(0, e2e::kPatienceMs);
        EXPECT_EQ(server.id, started.id);
        // Requests are handled once it has registered with the platform service.
        EXPECT_TRUE(e2e::waitUntil([&] { return !callsTo(server.id, "NuSysSvr_RegisterNotify").empty(); },
                                   e2e::kPatienceMs));
        return server;
    }
    // linkctl, as the remote side: the answer to "info count" (the card count), or its failure.
    static std::string remoteCardCount(const std::wstring& linkctl) {
        const board_e2e::ToolResult r = board_e2e::runTool(linkctl, {L"info", L"count"});
        return r.exitCode == 0 ? r.out : "linkctl failed: " + r.out;
    }

    // The amd64 installer: for the simulated mainboard only (the 64-bit server cannot load the
    // platform's 32-bit libraries).
    bool amd64() const { return binaryType == SCS_64BIT_BINARY; }

    DWORD binaryType = 0;
    simboard::Machine& machine = simboard::Machine::instance();
    std::vector<std::wstring> folders;
};

TEST_F(Installer, RefusesAFolderWithoutThePlatformThenInstallsRunsUpdatesOverTheServerAndUninstalls) {
    simboard::ShellTray shell;

    // The folder comes from where the maker's suite is registered; without the platform's files a
    // silent install refuses it, names every missing file, and leaves no trace. The amd64 installer
    // refuses any install without the simulated mainboard first.
    const std::wstring bare = makeFolder(L"bare");
    const std::wstring suite = L"\"" + bare + L"Tunedeck II.exe\"";
    ASSERT_EQ(::RegSetKeyValueW(HKEY_LOCAL_MACHINE, kSuiteAppPathKey, nullptr, REG_SZ, suite.c_str(),
                                static_cast<DWORD>((suite.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
    EXPECT_EQ(runSetup(L"/S"), amd64() ? kExitAmd64NeedsBoard : kExitPlatformMissing);
    std::string log = setupLog(L"kelvane-setup.log");
    EXPECT_NE(log.find("program folder " + win32::narrow(withoutTrailingSeparator(bare))), std::string::npos)
        << log;
    if (amd64()) {
        EXPECT_NE(log.find("cannot load the platform software's 32-bit libraries"), std::string::npos) << log;
    } else {
        for (const std::wstring& name : kPlatformFiles)
            EXPECT_NE(log.find("\r\n" + win32::narrow(name) + ": "), std::string::npos)
                << win32::narrow(name) << "\n"
                << log;
    }
    EXPECT_FALSE(fileExists(bare + L"kelvane.exe"));
    EXPECT_FALSE(registryText(HKEY_LOCAL_MACHINE, kRunKey, L"Kelvane"));
    EXPECT_FALSE(registryKeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));

    // Into the platform software's folder (the amd64 installer: into a folder of its own, with the
    // board): every file in place, the Run value, Add/Remove Programs.
    const std::wstring folder = makeFolder(L"program");
    if (!amd64()) installPlatform(folder);
    const ULONGLONG installStart = ::GetTickCount64();
    ASSERT_EQ(runSetup((amd64() ? L"/S /SIMBOARD /D=" : L"/S /D=") + withoutTrailingSeparator(folder)), 0u)
        << setupLog(L"kelvane-setup.log");
    std::printf("silent install: %llu ms\n", ::GetTickCount64() - installStart);
    for (const auto& [name, built] : kInstalledFiles)
        EXPECT_EQ(fileContent(folder + name), fileContent(e2e::builtFile(built))) << win32::narrow(name);
    const std::wstring uninstaller = folder + L"kelvane-uninstall.exe";
    EXPECT_TRUE(fileExists(uninstaller));
    // The uninstaller that Setup wrote is the one the build signed, and its signature holds.
    const e2e::TestAuthorityTrust trusted;
    EXPECT_EQ(fileContent(uninstaller), fileContent(e2e::builtFile(L"installer\\kelvane-uninstall.exe")));
    EXPECT_EQ(e2e::authenticodeTrust(uninstaller), ERROR_SUCCESS);
    const std::optional<std::wstring> runValue = registryText(HKEY_LOCAL_MACHINE, kRunKey, L"Kelvane");
    ASSERT_TRUE(runValue);
    EXPECT_EQ(*runValue, L"\"" + folder + L"kelvane.exe\"") << "the quoted path, no arguments";
    const auto entry = [](const wchar_t* value) {
        return win32::narrow(registryText(HKEY_LOCAL_MACHINE, kUninstallKey, value).value_or(L"(none)"));
    };
    EXPECT_EQ(entry(L"DisplayName"), "Kelvane Server");
    EXPECT_EQ(entry(L"DisplayVersion"), KV_TEST_VERSION);
    EXPECT_EQ(entry(L"Publisher"), "Kelvane Software");
    EXPECT_EQ(entry(L"DisplayIcon"), "\"" + win32::narrow(folder) + "kelvane.exe\",0");
    EXPECT_EQ(entry(L"InstallLocation"), win32::narrow(withoutTrailingSeparator(folder)));
    EXPECT_EQ(entry(L"UninstallString"), "\"" + win32::narrow(uninstaller) + "\"");
    EXPECT_EQ(entry(L"QuietUninstallString"), "\"" + win32::narrow(uninstaller) + "\" /S");
    const DWORD programKiB = static_cast<DWORD>(fileContent(folder + L"kelvane.exe").size() / 1024);
    EXPECT_GT(registryNumber(HKEY_LOCAL_MACHINE, kUninstallKey, L"EstimatedSize").value_or(0), programKiB);

    // Started as the Run value starts it at logon, with Info.ini read-only (as under Program Files,
    // where no virtualised copy takes the write): the defaults apply all the same, the file stays.
    const std::wstring infoIni = folder + L"Info.ini";
    ASSERT_TRUE(::SetFileAttributesW(infoIni.c_str(), FILE_ATTRIBUTE_READONLY));
    const std::string infoIniBefore = fileContent(infoIni);
    // wine lets root write into a read-only file; a reader that shares the file with no writer
    // makes the write fail as Program Files does.
    win32::UniqueHandle noWriters(::CreateFileW(infoIni.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(noWriters);
    ServerProcess first = startAsAtLogon(*runValue);
    ASSERT_TRUE(first.process) << "the server did not start";
    ASSERT_TRUE(
        e2e::waitUntil([&] { return callsTo(first.id, "Nv_SetGPUFan").size() >= 4; }, e2e::kPatienceMs));
    const std::vector<e2e::Call> applied = callsTo(first.id, "Nv_SetGPUClockInfoPStates");
    ASSERT_GE(applied.size(), 4u);
    for (std::uint32_t card = 0; card < 4; ++card)  // card index, core, memory, voltage (the model's)
        EXPECT_EQ(std::vector<std::uint32_t>(applied[card].args.begin(), applied[card].args.begin() + 4),
                  (std::vector<std::uint32_t>{card, 760, 1900, 1075}));
    EXPECT_NE(remoteCardCount(e2e::builtFile(L"bin\\linkctl.exe")).find(kCardCountAnswer), std::string::npos)
        << "the installed server answers the remote side";
    EXPECT_EQ(fileContent(infoIni), infoIniBefore);
    const auto iconOf = [&](const ServerProcess& server) {
        for (const simboard::TrayMessage& m : shell.messages())
            if (m.processId == server.id && m.message == NIM_ADD && m.accepted)
                return shell.holds(m.window, m.id);
        return false;
    };
    EXPECT_TRUE(e2e::waitUntil([&] { return iconOf(first); }, e2e::kPatienceMs)) << "the server's tray icon";

    noWriters.reset();

    // An update finds the installation, closes the running server as its Exit does (the icon
    // goes, the process ends by itself), replaces the read-only Info.ini and starts the new server.
    ASSERT_EQ(runSetup(L"/S"), 0u) << setupLog(L"kelvane-setup.log");
    log = setupLog(L"kelvane-setup.log");
    EXPECT_NE(log.find("program folder " + win32::narrow(withoutTrailingSeparator(folder))),
              std::string::npos)
        << log;
    EXPECT_EQ(first.exitCode(0), 0u) << "ended by its own close, not killed";
    EXPECT_FALSE(iconOf(first));
    bool iconDeleted = false;
    for (const simboard::TrayMessage& m : shell.messages())
        iconDeleted |= m.processId == first.id && m.message == NIM_DELETE;
    EXPECT_TRUE(iconDeleted) << "the server removed its icon";
    EXPECT_EQ(fileContent(infoIni), fileContent(e2e::builtFile(L"bin\\Info.ini")));
    ServerProcess second = ServerProcess::find(first.id, e2e::kPatienceMs);
    ASSERT_TRUE(second.process) << "the update starts the server it closed\n" << log;
    ASSERT_TRUE(e2e::waitUntil([&] { return !callsTo(second.id, "NuSysSvr_RegisterNotify").empty(); },
                               e2e::kPatienceMs));
    EXPECT_NE(remoteCardCount(e2e::builtFile(L"bin\\linkctl.exe")).find(kCardCountAnswer), std::string::npos);

    // The quiet uninstall (which runs from a copy of its own and returns at once) closes the server
    // and removes our files, the Run value and the entry; the platform's files and Gpu.log stay.
    wchar_t commonData[MAX_PATH];
    ASSERT_EQ(::SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, 0, commonData), S_OK);
    const std::wstring gpuLog = std::wstring(commonData) + L"\\Gpu.log";
    ASSERT_TRUE(fileExists(gpuLog)) << "the server's enumeration writes it";
    ::DeleteFileW(setupLogPath(L"kelvane-uninstall.log").c_str());
    const ULONGLONG uninstallStart = ::GetTickCount64();
    EXPECT_EQ(runToEnd(registryText(HKEY_LOCAL_MACHINE, kUninstallKey, L"QuietUninstallString").value(),
                       kSetupTimeoutMs),
              0u);
    EXPECT_TRUE(e2e::waitUntil(
        [&] {
            return setupLog(L"kelvane-uninstall.log").find("Removed Kelvane Server") != std::string::npos;
        },
        kSetupTimeoutMs))
        << setupLog(L"kelvane-uninstall.log");
    std::printf("silent uninstall: %llu ms\n", ::GetTickCount64() - uninstallStart);
    EXPECT_EQ(second.exitCode(0), 0u) << "closed, not killed";
    for (const auto& [name, built] : kInstalledFiles)
        EXPECT_FALSE(fileExists(folder + name)) << win32::narrow(name);
    EXPECT_FALSE(fileExists(folder + L"resource"));
    EXPECT_TRUE(e2e::waitUntil([&] { return !fileExists(uninstaller); }, e2e::kPatienceMs))
        << "the uninstaller removes itself";
    for (const std::wstring& name : kPlatformFiles)  // the amd64 installer's board went with it
        EXPECT_EQ(fileExists(folder + name), !amd64()) << win32::narrow(name);
    EXPECT_FALSE(registryText(HKEY_LOCAL_MACHINE, kRunKey, L"Kelvane"));
    EXPECT_FALSE(registryKeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
    EXPECT_TRUE(fileExists(gpuLog));
}

TEST_F(Installer, SimulatedMainboardNeverReplacesFilesNotItsOwnAndLeavesThoseChangedSinceAtTheUninstall) {
    // A folder with files of the platform software under every name the board would write: refused,
    // each named, every file as it was, nothing of ours left.
    const std::wstring platform = makeFolder(L"platform");
    std::vector<std::wstring> boardNames = kPlatformFiles;
    boardNames.push_back(e2e::kBoardDeviceTree);
    boardNames.insert(boardNames.end(), e2e::kBoardTools.begin(), e2e::kBoardTools.end());
    const auto marker = [](const std::wstring& name) { return "the platform's own " + win32::narrow(name); };
    for (const std::wstring& name : boardNames) std::ofstream(win32::narrow(platform + name)) << marker(name);
    EXPECT_EQ(runSetup(L"/S /SIMBOARD /D=" + withoutTrailingSeparator(platform)), kExitBoardWouldReplace);
    const std::string refusal = setupLog(L"kelvane-setup.log");
    for (const std::wstring& name : boardNames) {
        EXPECT_NE(refusal.find("\r\n" + win32::narrow(name) + ": not written by Setup"), std::string::npos)
            << win32::narrow(name) << "\n"
            << refusal;
        EXPECT_EQ(fileContent(platform + name), marker(name));
    }

    // The same through the wizard: the folder page names each file and stays; then cancelled.
    {
        Wizard wizard(L"/SIMBOARD /D=" + withoutTrailingSeparator(platform));
        ASSERT_TRUE(wizard.window) << "no wizard";
        Wizard::press(wizard.window, IDOK);  // the components, the board chosen
        ASSERT_TRUE(e2e::waitUntil([&] { return !wizard.folderField().empty(); }, kSetupTimeoutMs));
        EXPECT_EQ(wizard.folderField(), win32::narrow(withoutTrailingSeparator(platform)));
        Wizard::press(wizard.window, IDOK);
        std::string text;
        HWND box = wizard.messageBox(text);
        ASSERT_TRUE(box) << "no refusal";
        EXPECT_NE(text.find("Setup never replaces a file it did not write"), std::string::npos) << text;
        for (const std::wstring& name : boardNames)
            EXPECT_NE(text.find(win32::narrow(name) + ": not written by Setup"), std::string::npos) << text;
        Wizard::press(box, IDOK);
        ASSERT_TRUE(e2e::waitUntil([&] { return !::IsWindow(box); }, kSetupTimeoutMs));
        EXPECT_FALSE(wizard.folderField().empty()) << "it stays on the folder page";
        Wizard::press(wizard.window, IDCANCEL);
        HWND confirm = wizard.messageBox(text);
        ASSERT_TRUE(confirm) << "no question before cancelling";
        Wizard::press(confirm, IDYES);
        EXPECT_TRUE(wizard.exitCode()) << "the wizard did not end";
    }
    for (const std::wstring& name : boardNames) EXPECT_EQ(fileContent(platform + name), marker(name));
    for (const auto& [name, built] : kInstalledFiles) EXPECT_FALSE(fileExists(platform + name));
    EXPECT_FALSE(fileExists(platform + L"kelvane-uninstall.exe"));
    EXPECT_FALSE(registryText(HKEY_LOCAL_MACHINE, kRunKey, L"Kelvane"));
    EXPECT_FALSE(registryKeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));

    // An evaluation in a folder of its own.
    const std::wstring folder = makeFolder(L"board");
    ASSERT_EQ(runSetup(L"/S /SIMBOARD /D=" + withoutTrailingSeparator(folder)), 0u)
        << setupLog(L"kelvane-setup.log");
    std::vector<std::pair<std::wstring, std::wstring>> board = {
        {e2e::kBoardDeviceTree, L"standins\\" + e2e::kBoardDeviceTree}};
    for (const std::wstring& name : e2e::kBoardTools) board.emplace_back(name, L"bin\\" + name);
    for (const std::wstring& name : kPlatformFiles) board.emplace_back(name, L"standins\\" + name);
    for (const auto& [name, built] : board)
        EXPECT_EQ(fileContent(folder + name), fileContent(e2e::builtFile(built))) << win32::narrow(name);

    // The evaluation runs on the installed board: the server from the Run value, the board's linkctl.
    ServerProcess server =
        startAsAtLogon(registryText(HKEY_LOCAL_MACHINE, kRunKey, L"Kelvane").value_or(L""));
    ASSERT_TRUE(server.process) << "the server did not start";
    EXPECT_NE(remoteCardCount(folder + L"linkctl.exe").find(kCardCountAnswer), std::string::npos);

    // The platform software's installer replaces one stand-in (tiktor's clock library, which the
    // server does not hold) with its own: it stays, the log says so; everything else of ours goes.
    const std::wstring replaced = L"Ticksmith.dll";
    std::ofstream(win32::narrow(folder + replaced), std::ios::binary | std::ios::trunc) << "the vendor's own";
    ASSERT_EQ(runUninstallerInPlace(folder), 0u) << setupLog(L"kelvane-uninstall.log");
    EXPECT_EQ(server.exitCode(0), 0u) << "closed by the uninstaller, not killed";
    EXPECT_EQ(fileContent(folder + replaced), "the vendor's own");
    const std::string log = setupLog(L"kelvane-uninstall.log");
    EXPECT_NE(log.find("Kept " + win32::narrow(folder + replaced) + ": it has changed"), std::string::npos)
        << log;
    EXPECT_NE(log.find("Removed Kelvane Server"), std::string::npos) << log;
    // Run in place, the uninstaller cannot remove itself; everything else of ours is gone.
    ::DeleteFileW((folder + L"kelvane-uninstall.exe").c_str());
    for (const auto& [name, built] : board)
        EXPECT_EQ(fileExists(folder + name), name == replaced) << win32::narrow(name);
    for (const auto& [name, built] : kInstalledFiles)
        EXPECT_FALSE(fileExists(folder + name)) << win32::narrow(name);
    EXPECT_FALSE(registryKeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
}

// A server that does not close (here: its single-instance mutex, held by the test, and no window
// to ask) is never killed, and the update changes nothing; nor does an update or a removal while
// another session's server runs, while a squatter of the machine's mutex lets both go on; a removal
// that cannot delete a file of ours keeps the installation.
TEST_F(Installer, AServerThatCannotBeClosedOrAFileThatCannotBeDeletedLeavesTheInstallationAsItWas) {
    const std::wstring folder = makeFolder(L"stuck");
    ASSERT_EQ(runSetup(L"/S /SIMBOARD /D=" + withoutTrailingSeparator(folder)), 0u)
        << setupLog(L"kelvane-setup.log");
    // A squatter: any other program (here the test) holding the machine's mutex. It keeps the server
    // from starting, which the log says; the update goes on.
    {
        const win32::UniqueHandle squatter(::CreateMutexW(nullptr, FALSE, wire::kMachineServerMutexName));
        ASSERT_TRUE(squatter);
        EXPECT_EQ(runSetup(L"/S"), 0u) << setupLog(L"kelvane-setup.log");
        EXPECT_NE(setupLog(L"kelvane-setup.log").find(kSquatterLine), std::string::npos)
            << setupLog(L"kelvane-setup.log");
        EXPECT_EQ(setupLog(L"kelvane-setup.log").find("Another user's"), std::string::npos);
    }
    const std::wstring infoIni = folder + L"Info.ini";
    {
        std::ofstream edited(win32::narrow(infoIni), std::ios::binary | std::ios::app);
        edited << "[Edited]\r\nby=test\r\n";
    }
    const std::string infoIniBefore = fileContent(infoIni);
    win32::UniqueHandle server(::CreateMutexW(nullptr, FALSE, wire::kSessionServerMutexName));
    ASSERT_TRUE(server);

    const ULONGLONG start = ::GetTickCount64();
    EXPECT_EQ(runSetup(L"/S"), kExitServerRunning);
    EXPECT_GE(::GetTickCount64() - start, 30000u) << "it waited for the server";
    EXPECT_NE(setupLog(L"kelvane-setup.log").find("did not close"), std::string::npos)
        << setupLog(L"kelvane-setup.log");
    EXPECT_EQ(fileContent(infoIni), infoIniBefore);
    server.reset();

    // The installation as it stands: what no refused update or removal may change.
    const auto installed = [&] {
        return std::make_tuple(fileContent(infoIni), fileContent(folder + L"kelvane.exe").size(),
                               fileExists(folder + L"kelvane-uninstall.exe"),
                               registryText(HKEY_LOCAL_MACHINE, kRunKey, L"Kelvane"),
                               registryText(HKEY_LOCAL_MACHINE, kUninstallKey, L"DisplayName"));
    };
    const auto before = installed();
    ASSERT_GT(std::get<1>(before), 0u);
    ASSERT_TRUE(std::get<3>(before) && std::get<4>(before));

    // Another session's server (OtherSessionServer): the folder's kelvane.exe holds the machine's
    // mutex, with no window and no session mutex here. Neither the update nor the uninstaller can
    // close it; both say so at once.
    {
        const OtherSessionServer other(folder + L"kelvane.exe");
        ASSERT_TRUE(other.holdsTheMachinesMutex());
        const ULONGLONG otherStart = ::GetTickCount64();
        EXPECT_EQ(runSetup(L"/S"), kExitServerRunning);
        EXPECT_LT(::GetTickCount64() - otherStart, 30000u) << "no wait for a server it cannot ask to close";
        EXPECT_NE(setupLog(L"kelvane-setup.log").find("Another user's Kelvane Server is running"),
                  std::string::npos)
            << setupLog(L"kelvane-setup.log");
        EXPECT_EQ(runUninstallerInPlace(folder), kExitServerRunning);
        EXPECT_NE(setupLog(L"kelvane-uninstall.log").find("Another user's Kelvane Server is running"),
                  std::string::npos)
            << setupLog(L"kelvane-uninstall.log");
        EXPECT_EQ(installed(), before);
    }

    // kelvane.exe held open without delete sharing, then tiktor.exe mapped as a running program's image
    // (which lets it be held, never deleted): the uninstaller (run from a copy elsewhere, as Add/Remove
    // Programs runs it) checks every recorded file first and deletes nothing, keeping the entry and the
    // Run value; run again once the files are free, it completes. The edited Info.ini (changed
    // otherwise than by the server's own write) is the user's now, and stays.
    const std::wstring elsewhere = makeFolder(L"uninstaller-copy");
    ASSERT_TRUE(::CopyFileW((folder + L"kelvane-uninstall.exe").c_str(),
                            (elsewhere + L"kelvane-uninstall.exe").c_str(), FALSE));
    const std::wstring uninstall =
        L"\"" + elsewhere + L"kelvane-uninstall.exe\" /S _?=" + withoutTrailingSeparator(folder);
    std::string log;
    const auto refusedWhileInUse = [&](const char* name) {
        ::DeleteFileW(setupLogPath(L"kelvane-uninstall.log").c_str());
        EXPECT_EQ(runToEnd(uninstall, kSetupTimeoutMs), kExitNotRemoved);
        log = setupLog(L"kelvane-uninstall.log");
        EXPECT_NE(log.find(std::string("\r\n") + name + ": in use"), std::string::npos) << log;
        EXPECT_NE(log.find("nothing was deleted"), std::string::npos) << log;
        EXPECT_EQ(log.find("Removed"), std::string::npos) << log;
        EXPECT_EQ(installed(), before);
        for (const auto& [file, built] : kInstalledFiles)
            EXPECT_TRUE(fileExists(folder + file)) << "nothing deleted: " << win32::narrow(file);
        EXPECT_TRUE(fileExists(folder + e2e::kBoardDeviceTree));
    };
    {
        const win32::UniqueHandle holder(::CreateFileW((folder + L"kelvane.exe").c_str(), GENERIC_READ,
                                                       FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                                       FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(holder);
        refusedWhileInUse("kelvane.exe");
    }
    {
        const HMODULE running =
            ::LoadLibraryExW((folder + L"tiktor.exe").c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES);
        ASSERT_NE(running, nullptr);
        refusedWhileInUse("tiktor.exe");
        ::FreeLibrary(running);
    }

    // Run again once the files are free, with a squatter of the machine's mutex: it completes.
    server.reset(::CreateMutexW(nullptr, FALSE, wire::kMachineServerMutexName));
    ASSERT_TRUE(server);
    ::DeleteFileW(setupLogPath(L"kelvane-uninstall.log").c_str());
    EXPECT_EQ(runToEnd(uninstall, kSetupTimeoutMs), 0u);
    log = setupLog(L"kelvane-uninstall.log");
    EXPECT_NE(log.find(kSquatterLine), std::string::npos) << log;
    EXPECT_NE(log.find("Removed Kelvane Server"), std::string::npos) << log;
    EXPECT_NE(log.find("Kept " + win32::narrow(infoIni) + ": it has changed since Setup installed it"),
              std::string::npos)
        << log;
    EXPECT_EQ(fileContent(infoIni), infoIniBefore);
    EXPECT_FALSE(fileExists(folder + L"kelvane.exe"));
    EXPECT_FALSE(fileExists(folder + L"kelvane-uninstall.exe"));
    EXPECT_FALSE(fileExists(folder + e2e::kBoardDeviceTree)) << "the board, recorded, went too";
    EXPECT_FALSE(registryText(HKEY_LOCAL_MACHINE, kRunKey, L"Kelvane"));
    EXPECT_FALSE(registryKeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
}

// An installation as no refused or failed run may change it: every file in the folder, the record,
// the Run value.
auto installationIn(const std::wstring& folder) {
    return std::make_tuple(filesIn(folder), recordValues(),
                           registryText(HKEY_LOCAL_MACHINE, kRunKey, L"Kelvane"));
}

// While it lives, Setup runs without the system's cryptography provider (wine's library choice for
// kelvane-setup.exe leaves out rsaenh.dll): every hash Setup makes fails.
class WithoutCryptography {
  public:
    WithoutCryptography() {
        ::RegSetKeyValueW(HKEY_CURRENT_USER, kKey, L"rsaenh", REG_SZ, L"", sizeof(wchar_t));
    }
    ~WithoutCryptography() {
        ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Wine\\AppDefaults\\kelvane-setup.exe");
    }
    WithoutCryptography(const WithoutCryptography&) = delete;
    WithoutCryptography& operator=(const WithoutCryptography&) = delete;

  private:
    static constexpr wchar_t kKey[] = L"Software\\Wine\\AppDefaults\\kelvane-setup.exe\\DllOverrides";
};

// An update that cannot replace a file (tiktor.exe held as a running program holds it) or cannot hash
// what it wrote changes nothing, writes no empty record value and starts again the server it closed,
// as the desktop's user through the shell; a fresh install whose hashes fail leaves nothing behind.
TEST_F(Installer, AnUpdateThatCannotFinishChangesNothingAndStartsTheServerItClosedAgain) {
    // 32-bit: into the platform's folder without the board, so that the update hashes only what it
    // writes (the board's recorded files are hashed before anything is closed or written).
    const std::wstring folder = makeFolder(L"whole");
    if (!amd64()) installPlatform(folder);
    ASSERT_EQ(runSetup((amd64() ? L"/S /SIMBOARD /D=" : L"/S /D=") + withoutTrailingSeparator(folder)), 0u)
        << setupLog(L"kelvane-setup.log");
    // The installation as the running server leaves it: its one write into Info.ini made (which each
    // later start makes again, byte for byte).
    ServerProcess first = startAsAtLogon(registryText(HKEY_LOCAL_MACHINE, kRunKey, L"Kelvane").value_or(L""));
    ASSERT_TRUE(first.process) << "the server did not start";
    ASSERT_TRUE(
        e2e::waitUntil([&] { return fileContent(folder + L"Info.ini").find("Large=") != std::string::npos; },
                       e2e::kPatienceMs));
    const auto before = installationIn(folder);
    ASSERT_FALSE(std::get<1>(before).empty());
    for (const auto& [name, value] : std::get<1>(before)) EXPECT_GE(value.size(), 64u) << win32::narrow(name);
    win32::UniqueHandle tiktor(::CreateFileW((folder + L"tiktor.exe").c_str(), GENERIC_READ, FILE_SHARE_READ,
                                             nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(tiktor);
    EXPECT_EQ(runSetup(L"/S"), kExitInUse);
    std::string log = setupLog(L"kelvane-setup.log");
    EXPECT_NE(log.find("\r\ntiktor.exe: in use"), std::string::npos) << log;
    EXPECT_EQ(first.exitCode(0), 0u) << "closed for the update\n" << log;
    ServerProcess second = ServerProcess::find(first.id, e2e::kPatienceMs);
    ASSERT_TRUE(second.process) << "the server it closed is started again\n" << log;
    EXPECT_NE(log.find("Started Kelvane Server as the signed-in user, "), std::string::npos) << log;
    printServerStart(log);
    EXPECT_EQ(installationIn(folder), before);
    tiktor.reset();

    {
        const WithoutCryptography noHashes;
        EXPECT_EQ(runSetup(L"/S"), kExitWriteFailed);
    }
    log = setupLog(L"kelvane-setup.log");
    EXPECT_NE(log.find("Not installed: "), std::string::npos) << log;
    EXPECT_EQ(installationIn(folder), before) << log;
    // 64-bit: refused before the server was closed; 32-bit: closed, and started again.
    ServerProcess running = ServerProcess::find(0, e2e::kPatienceMs);
    EXPECT_TRUE(running.process) << "a server runs after the failed update\n" << log;
    EXPECT_TRUE(e2e::waitUntil([&] { return !callsTo(running.id, "NuSysSvr_RegisterNotify").empty(); },
                               e2e::kPatienceMs));

    // A fresh install whose hashes fail: nothing of it stays, no entry, no Run value.
    running.end();
    forgetInstallation();
    const std::wstring fresh = makeFolder(L"fresh");
    {
        const WithoutCryptography noHashes;
        EXPECT_EQ(runSetup(L"/S /SIMBOARD /D=" + withoutTrailingSeparator(fresh)), kExitWriteFailed);
    }
    log = setupLog(L"kelvane-setup.log");
    EXPECT_TRUE(filesIn(fresh).empty()) << log;
    EXPECT_FALSE(registryText(HKEY_LOCAL_MACHINE, kRunKey, L"Kelvane"));
    EXPECT_FALSE(registryKeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
}

// One installation, whatever folder it moves to or however that is spelt: the old folder's recorded,
// unchanged files go when the new one is in, its old uninstaller touches nothing of the new one, and
// Info.ini is the user's whenever Setup did not write it or it changed otherwise than by the server.
TEST_F(Installer, MovesBetweenFoldersAsOneInstallationAndLeavesNoFileOrphanedOrForeignFileTouched) {
    const std::wstring first = makeFolder(L"first");
    ASSERT_EQ(runSetup(L"/S /SIMBOARD /D=" + withoutTrailingSeparator(first)), 0u)
        << setupLog(L"kelvane-setup.log");
    const std::wstring oldUninstaller = makeFolder(L"old-uninstaller");
    ASSERT_TRUE(::CopyFileW((first + L"kelvane-uninstall.exe").c_str(),
                            (oldUninstaller + L"kelvane-uninstall.exe").c_str(), FALSE));

    // A board file replaced by the platform's own while Setup waits for a server to close (a mutex
    // the test holds) is never overwritten: Setup looks again as it writes.
    const auto before = installationIn(first);
    // A library that loads as the board's does, with bytes of its own.
    const std::string platformsOwn =
        fileContent(e2e::builtFile(L"standins\\nuacpi.dll")) + "the platform's own";
    {
        win32::UniqueHandle server(::CreateMutexW(nullptr, FALSE, wire::kSessionServerMutexName));
        ASSERT_TRUE(server);
        ::DeleteFileW(setupLogPath(L"kelvane-setup.log").c_str());
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        const e2e::StartedProcess update =
            e2e::startProcess(nullptr, L"\"" + setupProgram() + L"\" /S", nullptr, startup);
        ASSERT_TRUE(update.handle);
        ASSERT_TRUE(e2e::waitUntil(
            [&] { return setupLog(L"kelvane-setup.log").find("Closing the running") != std::string::npos; },
            kSetupTimeoutMs))
            << setupLog(L"kelvane-setup.log");
        std::ofstream(win32::narrow(first + L"nuacpi.dll"), std::ios::binary | std::ios::trunc)
            << platformsOwn;
        server.reset();
        ASSERT_EQ(::WaitForSingleObject(update.handle.get(), kSetupTimeoutMs), WAIT_OBJECT_0);
        DWORD code = 0;
        ::GetExitCodeProcess(update.handle.get(), &code);
        EXPECT_EQ(code, kExitBoardWouldReplace) << setupLog(L"kelvane-setup.log");
    }
    EXPECT_NE(setupLog(L"kelvane-setup.log").find("nuacpi.dll: changed since Setup wrote it"),
              std::string::npos)
        << setupLog(L"kelvane-setup.log");
    EXPECT_EQ(fileContent(first + L"nuacpi.dll"), platformsOwn);
    auto after = installationIn(first);
    std::get<0>(after).erase(L"nuacpi.dll");
    auto expected = before;
    std::get<0>(expected).erase(L"nuacpi.dll");
    EXPECT_EQ(after, expected) << "nothing else changed";

    // Another session's server of this installation (OtherSessionServer) while Setup is asked to
    // install into another folder: the move would delete the files it runs from, so it is no
    // squatter. Refused at once as an update in place is; nothing is written anywhere.
    {
        const std::wstring elsewhere = makeFolder(L"elsewhere");
        const auto installation = installationIn(first);
        const OtherSessionServer other(first + L"kelvane.exe");
        ASSERT_TRUE(other.holdsTheMachinesMutex());
        EXPECT_EQ(runSetup(L"/S /SIMBOARD /D=" + withoutTrailingSeparator(elsewhere)), kExitServerRunning)
            << setupLog(L"kelvane-setup.log");
        const std::string log = setupLog(L"kelvane-setup.log");
        EXPECT_NE(log.find("Another user's Kelvane Server is running"), std::string::npos) << log;
        EXPECT_EQ(log.find(kSquatterLine), std::string::npos) << log;
        EXPECT_TRUE(filesIn(elsewhere).empty());
        EXPECT_TRUE(installationIn(first) == installation) << "the installation changed";
    }

    // The server writes its one value into Info.ini; the user keeps an Info.ini of their own in the
    // second folder. The install there closes the first folder's server, removes that installation's
    // unchanged files (Info.ini with it), keeps the foreign nuacpi.dll and the user's Info.ini, and
    // starts the new server.
    ServerProcess server =
        startAsAtLogon(registryText(HKEY_LOCAL_MACHINE, kRunKey, L"Kelvane").value_or(L""));
    ASSERT_TRUE(server.process);
    ASSERT_TRUE(
        e2e::waitUntil([&] { return fileContent(first + L"Info.ini").find("Large=") != std::string::npos; },
                       e2e::kPatienceMs));
    const std::wstring second = makeFolder(L"second");
    // (The new server rewrites it with its one write as soon as it starts: the user's line stays.)
    const std::string usersLine = "; the user's own";
    const std::string usersIni = fileContent(e2e::builtFile(L"bin\\Info.ini")) + usersLine + "\r\n";
    std::ofstream(win32::narrow(second + L"Info.ini"), std::ios::binary) << usersIni;
    ASSERT_EQ(runSetup(L"/S /SIMBOARD /D=" + withoutTrailingSeparator(second)), 0u)
        << setupLog(L"kelvane-setup.log");
    std::string log = setupLog(L"kelvane-setup.log");
    EXPECT_NE(log.find("Kept " + win32::narrow(second) + "Info.ini: Setup did not write it"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("Deleting " + win32::narrow(first) +
                       "Info.ini: only the server's own voltage write changed it"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("Removed the installation in " + win32::narrow(withoutTrailingSeparator(first))),
              std::string::npos)
        << log;
    EXPECT_NE(fileContent(second + L"Info.ini").find(usersLine), std::string::npos);
    EXPECT_EQ(filesIn(first), (std::map<std::wstring, std::string>{{L"nuacpi.dll", platformsOwn}}))
        << "nothing orphaned\n"
        << log;
    EXPECT_EQ(server.exitCode(0), 0u);
    ServerProcess moved = ServerProcess::find(server.id, e2e::kPatienceMs);
    ASSERT_TRUE(moved.process);
    wchar_t image[MAX_PATH];
    DWORD imageLength = MAX_PATH;
    ASSERT_TRUE(::QueryFullProcessImageNameW(moved.process.get(), 0, image, &imageLength));
    EXPECT_TRUE(sameText(image, second + L"kelvane.exe")) << win32::narrow(image);

    // The first folder's old uninstaller removes nothing of the installation now registered (as its
    // server has left it, with its one write).
    ASSERT_TRUE(
        e2e::waitUntil([&] { return fileContent(second + L"Info.ini").find("Large=") != std::string::npos; },
                       e2e::kPatienceMs));
    const auto registered = std::make_tuple(installationIn(second),
                                            registryText(HKEY_LOCAL_MACHINE, kUninstallKey, L"DisplayName"));
    ::DeleteFileW(setupLogPath(L"kelvane-uninstall.log").c_str());
    EXPECT_EQ(
        runToEnd(L"\"" + oldUninstaller + L"kelvane-uninstall.exe\" /S _?=" + withoutTrailingSeparator(first),
                 kSetupTimeoutMs),
        kExitNotRegistered);
    EXPECT_NE(setupLog(L"kelvane-uninstall.log").find("Nothing was removed"), std::string::npos)
        << setupLog(L"kelvane-uninstall.log");
    EXPECT_EQ(moved.exitCode(0), std::nullopt) << "the server runs on";
    EXPECT_EQ(std::make_tuple(installationIn(second),
                              registryText(HKEY_LOCAL_MACHINE, kUninstallKey, L"DisplayName")),
              registered);

    // The same folder spelt otherwise is the same installation: one record, nothing removed.
    std::wstring forward = withoutTrailingSeparator(second);
    std::replace(forward.begin(), forward.end(), L'\\', L'/');
    ASSERT_EQ(runSetup(L"/S /D=" + forward), 0u) << setupLog(L"kelvane-setup.log");
    log = setupLog(L"kelvane-setup.log");
    EXPECT_EQ(log.find("Removed the installation"), std::string::npos) << log;
    EXPECT_EQ(registryText(HKEY_LOCAL_MACHINE, kUninstallKey, L"InstallLocation"),
              withoutTrailingSeparator(second));
    EXPECT_EQ(recordValues(), std::get<1>(std::get<0>(registered)));
    ServerProcess updated = ServerProcess::find(moved.id, e2e::kPatienceMs);

    // Its removal keeps the user's Info.ini, which Setup never recorded.
    ASSERT_EQ(runUninstallerInPlace(second), 0u) << setupLog(L"kelvane-uninstall.log");
    EXPECT_NE(fileContent(second + L"Info.ini").find(usersLine), std::string::npos);
    EXPECT_FALSE(fileExists(second + L"kelvane.exe"));
}

// Who can change the program folder: a folder (or a platform file in it) that a standard account may
// change is refused unless the board's evaluation accepts it; what Setup creates only administrators
// can change; a file under the server's names that Setup did not write is never replaced. Under wine
// the folders the test makes belong to the wine user, who runs Setup as an administrator: the test
// gives them the access lists it judges.
TEST_F(Installer, RefusesAFolderOthersCanChangeAndCreatesFoldersOnlyAdministratorsCanChange) {
    const std::wstring open = makeFolder(L"open");
    ASSERT_TRUE(setAccess(withoutTrailingSeparator(open), kOthersMayModify));
    EXPECT_EQ(runSetup(L"/S /SIMBOARD /D=" + withoutTrailingSeparator(open)), kExitFolderWritable);
    std::string log = setupLog(L"kelvane-setup.log");
    EXPECT_NE(log.find("Everyone: add files, add subfolders"), std::string::npos) << log;
    EXPECT_TRUE(filesIn(open).empty());
    EXPECT_FALSE(registryKeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));

    // The folder page says why, naming the account, and stays.
    {
        Wizard wizard(L"/SIMBOARD /D=" + withoutTrailingSeparator(open));
        ASSERT_TRUE(wizard.window) << "no wizard";
        Wizard::press(wizard.window, IDOK);
        ASSERT_TRUE(e2e::waitUntil([&] { return !wizard.folderField().empty(); }, kSetupTimeoutMs));
        Wizard::press(wizard.window, IDOK);
        std::string text;
        HWND box = wizard.messageBox(text);
        ASSERT_TRUE(box) << "no refusal";
        EXPECT_NE(text.find("accounts besides the administrators can change"), std::string::npos) << text;
        EXPECT_NE(text.find("Everyone: add files"), std::string::npos) << text;
        Wizard::press(box, IDOK);
        ASSERT_TRUE(e2e::waitUntil([&] { return !::IsWindow(box); }, kSetupTimeoutMs));
        EXPECT_FALSE(wizard.folderField().empty()) << "it stays on the folder page";
        Wizard::press(wizard.window, IDCANCEL);
        HWND confirm = wizard.messageBox(text);
        ASSERT_TRUE(confirm);
        Wizard::press(confirm, IDYES);
        EXPECT_TRUE(wizard.exitCode());
    }
    EXPECT_TRUE(filesIn(open).empty());

    // A platform library that standard users may change, in a folder they may not: refused, named.
    const std::wstring platform = makeFolder(L"platform-open");
    installPlatform(platform);
    ASSERT_TRUE(setAccess(platform + L"nuacpi.dll", kOthersMayModify));
    const auto platformBefore = filesIn(platform);
    EXPECT_EQ(runSetup(L"/S /SIMBOARD /D=" + withoutTrailingSeparator(platform)), kExitFolderWritable);
    log = setupLog(L"kelvane-setup.log");
    EXPECT_NE(log.find("Kelvane Server loads " + win32::narrow(platform) + "nuacpi.dll, and accounts"),
              std::string::npos)
        << log;
    EXPECT_EQ(filesIn(platform), platformBefore);

    // Another program's kelvane.exe: refused, named, kept.
    const std::wstring taken = makeFolder(L"taken");
    std::ofstream(win32::narrow(taken + L"kelvane.exe"), std::ios::binary) << "another program";
    EXPECT_EQ(runSetup(L"/S /SIMBOARD /D=" + withoutTrailingSeparator(taken)), kExitNotWrittenBySetup);
    log = setupLog(L"kelvane-setup.log");
    EXPECT_NE(log.find("\r\nkelvane.exe: not written by Setup"), std::string::npos) << log;
    EXPECT_EQ(filesIn(taken), (std::map<std::wstring, std::string>{{L"kelvane.exe", "another program"}}));

    // Folders Setup creates (the program folder and its missing parent, the resource folder) get the
    // protected access list before anything goes in, and go with the installation. Wine keeps of it
    // what its file modes can say: SYSTEM and the owner, no one else (the list itself is read back
    // whole in AccessLists.BuiltFromTheModelAndReadBackTheSame).
    const std::wstring parent = makeFolder(L"created");
    ASSERT_TRUE(::RemoveDirectoryW(parent.c_str()));
    const std::wstring made = parent + L"Kelvane";
    ASSERT_EQ(runSetup(L"/S /SIMBOARD /D=" + made), 0u) << setupLog(L"kelvane-setup.log");
    const std::wstring onlyTrusted = L"D:(A;OICI;FA;;;SY)(A;OICI;FA;;;" + ownerOf(made) + L")";
    for (const std::wstring& folder : {withoutTrailingSeparator(parent), made, made + L"\\resource"})
        EXPECT_EQ(accessOf(folder), onlyTrusted) << win32::narrow(folder);
    EXPECT_NE(accessOf(withoutTrailingSeparator(platform)), onlyTrusted)
        << "a folder the test made is open to more";
    ::DeleteFileW(setupLogPath(L"kelvane-uninstall.log").c_str());
    EXPECT_EQ(runToEnd(registryText(HKEY_LOCAL_MACHINE, kUninstallKey, L"QuietUninstallString").value(),
                       kSetupTimeoutMs),
              0u);
    EXPECT_TRUE(e2e::waitUntil([&] { return !fileExists(parent); }, kSetupTimeoutMs))
        << setupLog(L"kelvane-uninstall.log");

    // The board's evaluation may accept the open folder; the log says so. Setup leaves that folder's
    // access list as it was, and protects the folder it creates in it.
    const std::wstring openAccess = accessOf(withoutTrailingSeparator(open));
    ASSERT_EQ(runSetup(L"/S /SIMBOARD /ACCEPTWRITABLE /D=" + withoutTrailingSeparator(open)), 0u)
        << setupLog(L"kelvane-setup.log");
    log = setupLog(L"kelvane-setup.log");
    EXPECT_NE(log.find("Accepted for the simulated mainboard's evaluation (/ACCEPTWRITABLE)"),
              std::string::npos)
        << log;
    EXPECT_EQ(accessOf(withoutTrailingSeparator(open)), openAccess);
    EXPECT_NE(openAccess.find(L";;;WD)"), std::wstring::npos) << win32::narrow(openAccess);
    EXPECT_EQ(accessOf(open + L"resource"), onlyTrusted);

    // Updated through the wizard, its finish page's "Start Kelvane Server now" (ticked) starts the
    // server as the desktop's user.
    Wizard wizard(L"/SIMBOARD /ACCEPTWRITABLE /D=" + withoutTrailingSeparator(open));
    ASSERT_TRUE(wizard.window) << "no wizard";
    Wizard::press(wizard.window, IDOK);
    ASSERT_TRUE(e2e::waitUntil([&] { return !wizard.folderField().empty(); }, kSetupTimeoutMs));
    Wizard::press(wizard.window, IDOK);
    HWND startNow = nullptr;
    ASSERT_TRUE(e2e::waitUntil(
        [&] {
            HWND page = ::FindWindowExW(wizard.window, nullptr, L"#32770", nullptr);
            startNow =
                page ? ::FindWindowExW(page, nullptr, L"Button", L"Start Kelvane Server now") : nullptr;
            return startNow != nullptr;
        },
        kSetupTimeoutMs))
        << "no finish page";
    EXPECT_EQ(::SendMessageW(startNow, BM_GETCHECK, 0, 0), BST_CHECKED);
    Wizard::press(wizard.window, IDOK);
    EXPECT_EQ(wizard.exitCode(), 0u);
    ServerProcess started = ServerProcess::find(0, e2e::kPatienceMs);
    ASSERT_TRUE(started.process) << "the finish page started no server\n" << setupLog(L"kelvane-setup.log");
    EXPECT_NE(setupLog(L"kelvane-setup.log").find("Started Kelvane Server as the signed-in user, "),
              std::string::npos)
        << setupLog(L"kelvane-setup.log");
    printServerStart(setupLog(L"kelvane-setup.log"));
    wchar_t image[MAX_PATH];
    DWORD imageLength = MAX_PATH;
    ASSERT_TRUE(::QueryFullProcessImageNameW(started.process.get(), 0, image, &imageLength));
    EXPECT_TRUE(sameText(image, open + L"kelvane.exe")) << win32::narrow(image);
}

// Each built program says who made it and which version it is, and carries its manifest.
TEST(VersionResources, ReadBackFromTheBuiltFiles) {
    struct Expected {
        const wchar_t* file;
        const wchar_t* product;
        const char* version;
        std::vector<const char*> inManifest;
    };
    const Expected table[] = {
        {L"bin\\kelvane.exe",
         L"Kelvane Server",
         KV_TEST_VERSION,
         {"level=\"asInvoker\"", "Microsoft.Windows.Common-Controls", ">true/pm</dpiAware>",
          ">PerMonitorV2, PerMonitor</dpiAwareness>"}},
        {L"bin\\tiktor.exe",
         L"Tiktor",
         KV_TEST_TIKTOR_VERSION,
         {"level=\"asInvoker\"", "Microsoft.Windows.Common-Controls", ">false</dpiAware>"}},
        {L"kelvane-setup.exe", L"Kelvane Server", KV_TEST_VERSION, {"level=\"requireAdministrator\""}},
    };
    for (const Expected& e : table) {
        SCOPED_TRACE(win32::narrow(e.file));
        const std::wstring path = e2e::builtFile(e.file);
        ::SetLastError(0xdeadbeef);
        const auto resource = win32::VersionResource::read(path);
        ASSERT_TRUE(resource) << "error " << ::GetLastError();
        EXPECT_EQ(resource->fileVersion(), e.version);
        EXPECT_EQ(resource->productVersion(), e.version);
        EXPECT_EQ(resource->text(L"CompanyName"), L"Kelvane Software");
        EXPECT_EQ(resource->text(L"ProductName"), e.product);
        EXPECT_EQ(resource->text(L"FileVersion"), win32::widen(e.version));
        EXPECT_EQ(resource->text(L"ProductVersion"), win32::widen(e.version));

        win32::UniqueModule image(::LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
        ASSERT_TRUE(image);
        HRSRC manifest = ::FindResourceW(image.get(), MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
        ASSERT_TRUE(manifest);
        const std::string xml(static_cast<const char*>(::LockResource(::LoadResource(image.get(), manifest))),
                              ::SizeofResource(image.get(), manifest));
        for (const char* part : e.inManifest)
            EXPECT_NE(xml.find(part), std::string::npos) << part << "\n" << xml;
    }
}

}  // namespace
}  // namespace installer_e2e
