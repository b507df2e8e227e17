#include "installer/plugin/Registration_win.h"

#include "InstallFacts.h"
#include "win32/Handles.h"

namespace setupkit {
namespace {

// Beside the record, in the Add/Remove Programs entry: the folders Setup created, "|" between them.
constexpr wchar_t kCreatedFoldersValue[] = L"CreatedFolders";
constexpr wchar_t kFolderSeparator = L'|';

std::optional<BY_HANDLE_FILE_INFORMATION> identityOf(const std::wstring& folder) {
    const win32::UniqueHandle opened(::CreateFileW(
        folder.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION information{};
    if (!opened || !::GetFileInformationByHandle(opened.get(), &information)) return std::nullopt;
    return information;
}

std::optional<std::wstring> readText(HKEY key, const wchar_t* subkey, const wchar_t* value) {
    DWORD bytes = 0;
    if (::RegGetValueW(key, subkey, value, RRF_RT_REG_SZ, nullptr, nullptr, &bytes) != ERROR_SUCCESS)
        return std::nullopt;
    std::wstring text(bytes / sizeof(wchar_t) + 1, L'\0');
    bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    if (::RegGetValueW(key, subkey, value, RRF_RT_REG_SZ, nullptr, text.data(), &bytes) != ERROR_SUCCESS)
        return std::nullopt;
    text.resize(bytes / sizeof(wchar_t) - 1);  // without the terminator
    return text;
}

bool setText(HKEY key, const wchar_t* value, const std::wstring& text, DWORD& error) {
    error = static_cast<DWORD>(::RegSetValueExW(key, value, 0, REG_SZ,
                                                reinterpret_cast<const BYTE*>(text.c_str()),
                                                static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))));
    return error == ERROR_SUCCESS;
}

// The value under the key of HKEY_LOCAL_MACHINE, the key made when it is not there.
bool setTextUnder(const wchar_t* subkey, const wchar_t* value, const std::wstring& text, DWORD& error) {
    HKEY key = nullptr;
    error = static_cast<DWORD>(
        ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, subkey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr));
    if (error != ERROR_SUCCESS) return false;
    const win32::UniqueRegistryKey owned(key);
    return setText(key, value, text, error);
}

// "C:\a" is "C:\a\b"'s parent.
bool isParentOf(const std::wstring& parent, const std::wstring& path) {
    return path.size() > parent.size() && path[parent.size()] == L'\\' &&
           sameName(path.substr(0, parent.size()), parent);
}

}  // namespace

bool sameFolder(const std::wstring& a, const std::wstring& b) {
    const auto first = identityOf(a);
    const auto second = identityOf(b);
    return first && second && first->dwVolumeSerialNumber == second->dwVolumeSerialNumber &&
           first->nFileIndexHigh == second->nFileIndexHigh && first->nFileIndexLow == second->nFileIndexLow;
}

std::wstring finalFolderPath(const std::wstring& folder) {
    const win32::UniqueHandle opened(::CreateFileW(
        folder.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    wchar_t path[MAX_PATH * 4];
    const DWORD length = opened ? ::GetFinalPathNameByHandleW(opened.get(), path, std::size(path), 0) : 0;
    if (length == 0 || length >= std::size(path)) return folder;
    std::wstring found(path, length);
    // "\\?\C:\x" is "C:\x"; "\\?\UNC\server\share" is "\\server\share".
    if (found.rfind(L"\\\\?\\UNC\\", 0) == 0) return L"\\" + found.substr(7);
    if (found.rfind(L"\\\\?\\", 0) == 0) found = found.substr(4);
    if (found.size() > 3 && found.back() == L'\\') found.pop_back();
    return found;
}

std::optional<std::wstring> registeredFolder() {
    return readText(HKEY_LOCAL_MACHINE, facts::kUninstallKey, facts::kInstallLocationValue);
}

bool isRegisteredFolder(const std::wstring& folder) {
    const std::optional<std::wstring> registered = registeredFolder();
    return registered && !registered->empty() && sameFolder(*registered, folder);
}

Record readRecord() {
    Record record;
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, facts::kRecordKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return record;
    const win32::UniqueRegistryKey owned(key);
    for (DWORD index = 0;; ++index) {
        wchar_t name[MAX_PATH];
        DWORD nameLength = std::size(name);
        DWORD type = 0;
        if (::RegEnumValueW(key, index, name, &nameLength, nullptr, &type, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        if (type != REG_SZ) continue;
        if (std::optional<std::wstring> value = readText(key, nullptr, name)) record[name] = *value;
    }
    return record;
}

bool writeRecord(const Record& record, DWORD& error) {
    error = static_cast<DWORD>(::RegDeleteTreeW(HKEY_LOCAL_MACHINE, facts::kRecordKey));
    if (error != ERROR_SUCCESS && error != ERROR_FILE_NOT_FOUND) return false;
    HKEY key = nullptr;
    error = static_cast<DWORD>(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, facts::kRecordKey, 0, nullptr, 0,
                                                 KEY_SET_VALUE, nullptr, &key, nullptr));
    if (error != ERROR_SUCCESS) return false;
    const win32::UniqueRegistryKey owned(key);
    for (const auto& [name, value] : record)
        if (!value.empty() && !setText(key, name.c_str(), value, error)) return false;
    return true;
}

std::vector<std::wstring> createdFolders(const std::wstring& programFolder, const FileLists& lists) {
    std::vector<std::wstring> found;
    const std::wstring resource = programFolder + L'\\' + lists.resourceFolder;
    for (const std::wstring& folder :
         splitFolders(readText(HKEY_LOCAL_MACHINE, facts::kUninstallKey, kCreatedFoldersValue).value_or(L"")))
        if (sameName(folder, programFolder) || sameName(folder, resource) ||
            isParentOf(folder, programFolder))
            found.push_back(folder);
    return found;
}

bool writeCreatedFolders(const std::vector<std::wstring>& folders, DWORD& error) {
    return setTextUnder(facts::kUninstallKey, kCreatedFoldersValue, joinedFolders(folders), error);
}

std::optional<std::wstring> readRunValue() {
    return readText(HKEY_LOCAL_MACHINE, facts::kRunKey, facts::kRunValue);
}

bool deleteRunValue(DWORD& error) {
    error = static_cast<DWORD>(::RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, facts::kRunKey, facts::kRunValue));
    return error == ERROR_SUCCESS || error == ERROR_FILE_NOT_FOUND;
}

bool writeRunValue(const std::wstring& text, DWORD& error) {
    return setTextUnder(facts::kRunKey, facts::kRunValue, text, error);
}

std::wstring joinedFolders(const std::vector<std::wstring>& folders) {
    std::wstring text;
    for (const std::wstring& folder : folders)
        text += (text.empty() ? L"" : std::wstring(1, kFolderSeparator)) + folder;
    return text;
}

std::vector<std::wstring> splitFolders(const std::wstring& text) {
    std::vector<std::wstring> folders;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = std::min(text.find(kFolderSeparator, start), text.size());
        if (end > start) folders.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return folders;
}

}  // namespace setupkit
