#include "installer/plugin/ProgramFolder_win.h"

#include <memory>

#include "installer/plugin/AccessLists_win.h"
#include "installer/plugin/FileContent_win.h"
#include "win32/Handles.h"
#include "win32/Text.h"

namespace setupkit {
namespace {

// Opened with the flags that never follow a link at the name and that also open a folder.
win32::UniqueHandle openAtName(const std::wstring& path, DWORD access, DWORD sharing) {
    return win32::UniqueHandle(::CreateFileW(path.c_str(), access, sharing, nullptr, OPEN_EXISTING,
                                             FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS,
                                             nullptr));
}

Standing standingOf(HANDLE opened) {
    BY_HANDLE_FILE_INFORMATION information{};
    if (!::GetFileInformationByHandle(opened, &information)) return Standing::Unreachable;
    if (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) return Standing::Link;
    if (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return Standing::Folder;
    return Standing::File;
}

Standing standingOfError(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return Standing::Absent;
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_ACCESS_DENIED:
            return Standing::InUse;
        default:
            return Standing::Unreachable;
    }
}

// A read-only file is deleted all the same: Setup wrote it.
bool clearReadOnly(HANDLE file) {
    FILE_BASIC_INFO basic{};
    if (!::GetFileInformationByHandleEx(file, FileBasicInfo, &basic, sizeof basic)) return false;
    if ((basic.FileAttributes & FILE_ATTRIBUTE_READONLY) == 0) return true;
    basic.FileAttributes &= ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY);
    if (basic.FileAttributes == 0) basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    return ::SetFileInformationByHandle(file, FileBasicInfo, &basic, sizeof basic) != 0;
}

class WindowsHeldFile final : public HeldFile {
  public:
    WindowsHeldFile(win32::UniqueHandle file, bool cardDatabase, std::wstring previousPath,
                    std::wstring& problem)
        : m_file(std::move(file)),
          m_cardDatabase(cardDatabase),
          m_previousPath(std::move(previousPath)),
          m_problem(problem) {}

    std::optional<Content> content() override {
        DWORD error = 0;
        std::optional<Content> found = contentOf(m_file.get(), m_cardDatabase, error);
        if (!found) m_problem = win32::systemMessage(error);
        return found;
    }
    bool moveToPrevious() override {
        // Renamed through the handle that was judged: what moves is what was looked at.
        std::vector<std::uint64_t> buffer(
            (sizeof(FILE_RENAME_INFO) + m_previousPath.size() * sizeof(wchar_t)) / 8 + 1);
        auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
        rename->ReplaceIfExists = FALSE;
        rename->RootDirectory = nullptr;
        rename->FileNameLength = static_cast<DWORD>(m_previousPath.size() * sizeof(wchar_t));
        std::copy(m_previousPath.begin(), m_previousPath.end(), rename->FileName);
        return ::SetFileInformationByHandle(m_file.get(), FileRenameInfo, rename,
                                            static_cast<DWORD>(buffer.size() * 8)) ||
               failed();
    }
    bool deletable() override {
        // Only the mark itself tells: the system refuses it for a file that a program runs from or has
        // loaded. Marked, then unmarked at once (a mark that would not come off again, which the system
        // never refuses, would delete the file when it is let go); a read-only file gets its
        // attribute back.
        FILE_BASIC_INFO was{};
        if (!::GetFileInformationByHandleEx(m_file.get(), FileBasicInfo, &was, sizeof was) ||
            !clearReadOnly(m_file.get()))
            return failed();
        const DWORD error = !markedForDeletion(true) || !markedForDeletion(false) ? ::GetLastError() : 0;
        FILE_BASIC_INFO attributes{};  // times of 0 stay as they are
        attributes.FileAttributes = was.FileAttributes;
        ::SetFileInformationByHandle(m_file.get(), FileBasicInfo, &attributes, sizeof attributes);
        if (error == 0) return true;
        m_problem = win32::systemMessage(error);
        return false;
    }
    bool markDeleted() override {
        return (clearReadOnly(m_file.get()) && markedForDeletion(true)) || failed();
    }

  private:
    bool markedForDeletion(bool deleted) {
        FILE_DISPOSITION_INFO disposition{deleted};
        return ::SetFileInformationByHandle(m_file.get(), FileDispositionInfo, &disposition,
                                            sizeof disposition);
    }
    bool failed() {
        m_problem = win32::systemMessage(::GetLastError());
        return false;
    }

    win32::UniqueHandle m_file;
    bool m_cardDatabase;
    std::wstring m_previousPath;
    std::wstring& m_problem;
};

}  // namespace

WindowsProgramFolder::WindowsProgramFolder(std::wstring folder, std::wstring stage, const FileLists& lists)
    : m_folder(std::move(folder)), m_stage(std::move(stage)), m_lists(lists) {}

bool WindowsProgramFolder::failed(DWORD error) {
    m_problem = win32::systemMessage(error);
    return false;
}

std::wstring WindowsProgramFolder::staged(const std::wstring& name) const {
    return m_stage + L'\\' + kStagedFolder + L'\\' + name;
}

std::wstring WindowsProgramFolder::previous(const std::wstring& name) const {
    return m_stage + L'\\' + kPreviousFolder + L'\\' + name;
}

std::wstring WindowsProgramFolder::shown(const std::wstring& name) const { return m_folder + L'\\' + name; }

Hold WindowsProgramFolder::hold(const std::wstring& name, bool forChange) {
    // Held for a change, the file may be read by others meanwhile but not written, renamed or deleted.
    const DWORD access = FILE_READ_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE |
                         (forChange ? DELETE | FILE_WRITE_ATTRIBUTES : 0);
    const DWORD sharing =
        forChange ? FILE_SHARE_READ : FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    win32::UniqueHandle file = openAtName(shown(name), access, sharing);
    if (!file) {
        const DWORD error = ::GetLastError();
        m_problem = win32::systemMessage(error);
        return {standingOfError(error), nullptr};
    }
    const Standing standing = standingOf(file.get());
    if (standing != Standing::File) return {standing, nullptr};
    return {Standing::File,
            std::make_unique<WindowsHeldFile>(std::move(file), sameName(name, m_lists.cardDatabase),
                                              previous(name), m_problem)};
}

Standing WindowsProgramFolder::folderStanding(const std::wstring& name) {
    win32::UniqueHandle opened =
        openAtName(shown(name), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
    if (!opened) {
        const DWORD error = ::GetLastError();
        m_problem = win32::systemMessage(error);
        return standingOfError(error);
    }
    return standingOf(opened.get());
}

bool WindowsProgramFolder::makeFolder(const std::wstring& name) {
    DWORD error = 0;
    return makeProtectedFolder(shown(name), error) || failed(error);
}

bool WindowsProgramFolder::removeEmptyFolder(const std::wstring& name) {
    return ::RemoveDirectoryW(shown(name).c_str()) || failed(::GetLastError());
}

std::optional<Content> WindowsProgramFolder::stagedContent(const std::wstring& name) {
    const win32::UniqueHandle file(::CreateFileW(staged(name).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                                 OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    DWORD error = ::GetLastError();
    std::optional<Content> content =
        file ? contentOf(file.get(), sameName(name, m_lists.cardDatabase), error) : std::nullopt;
    if (!content) failed(error);
    return content;
}

bool WindowsProgramFolder::moved(const std::wstring& from, const std::wstring& to) {
    // Within one volume and never over another file: whole or not at all.
    return ::MoveFileExW(from.c_str(), to.c_str(), 0) || failed(::GetLastError());
}

bool WindowsProgramFolder::placeStaged(const std::wstring& name) { return moved(staged(name), shown(name)); }

bool WindowsProgramFolder::unplace(const std::wstring& name) { return moved(shown(name), staged(name)); }

bool WindowsProgramFolder::restorePrevious(const std::wstring& name) {
    return moved(previous(name), shown(name));
}

bool WindowsProgramFolder::dropPrevious(const std::wstring& name) {
    const std::wstring path = previous(name);
    ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (::DeleteFileW(path.c_str())) return true;
    // A program still runs it (a running program's file can be renamed, not deleted).
    const DWORD error = ::GetLastError();
    const bool scheduled = ::MoveFileExW(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    m_problem = L"could not be deleted (" + win32::systemMessage(error) + L"): it is in " + m_stage +
                (scheduled ? L" until the next restart deletes it" : L"");
    return false;
}

std::optional<std::wstring> makeStage(const std::wstring& folder, const FileLists& lists, DWORD& error) {
    const std::wstring base = folder + L"\\kelvane-setup-" + std::to_wstring(::GetCurrentProcessId());
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::wstring stage = base + (attempt ? L"-" + std::to_wstring(attempt) : L"") + L".tmp";
        if (!makeProtectedFolder(stage, error)) {
            if (error == ERROR_ALREADY_EXISTS) continue;
            return std::nullopt;
        }
        // What is made inside takes the stage's protected access list.
        for (const wchar_t* part : {kStagedFolder, kPreviousFolder}) {
            const std::wstring inside = stage + L'\\' + part;
            if (!::CreateDirectoryW(inside.c_str(), nullptr) ||
                !::CreateDirectoryW((inside + L'\\' + lists.resourceFolder).c_str(), nullptr)) {
                error = ::GetLastError();
                removeStage(stage, lists);
                return std::nullopt;
            }
        }
        return stage;
    }
    return std::nullopt;
}

std::vector<std::wstring> removeStage(const std::wstring& stage, const FileLists& lists) {
    std::vector<std::wstring> names = lists.server;
    names.insert(names.end(), lists.board.begin(), lists.board.end());
    for (const std::wstring& name : names) {
        const std::wstring path = stage + L'\\' + kStagedFolder + L'\\' + name;
        ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileW(path.c_str());
    }
    bool whole = true;
    for (const wchar_t* part : {kStagedFolder, kPreviousFolder}) {
        const std::wstring inside = stage + L'\\' + part;
        whole &= ::RemoveDirectoryW((inside + L'\\' + lists.resourceFolder).c_str()) != 0;
        whole &= ::RemoveDirectoryW(inside.c_str()) != 0;
    }
    whole &= ::RemoveDirectoryW(stage.c_str()) != 0;
    if (whole || ::GetFileAttributesW(stage.c_str()) == INVALID_FILE_ATTRIBUTES) return {};
    // Once its last files are gone, at the next restart, the stage goes too.
    for (const wchar_t* part : {kStagedFolder, kPreviousFolder}) {
        const std::wstring inside = stage + L'\\' + part;
        ::MoveFileExW((inside + L'\\' + lists.resourceFolder).c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
        ::MoveFileExW(inside.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    }
    ::MoveFileExW(stage.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    return {L"Setup's folder " + stage + L" stays: it holds files that could not be deleted or put back"};
}

}  // namespace setupkit
