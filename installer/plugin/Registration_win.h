#pragma once
// What Setup keeps under HKEY_LOCAL_MACHINE about an installation, as the plug-in reads and writes
// it: the record of the files it wrote, the folders it created, the registered folder (compared by
// identity, not by spelling) and the value that starts the server at logon.

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "installer/plugin/Installation.h"

namespace setupkit {

// Whether two paths name the same existing folder: the same volume and file id, however spelt.
bool sameFolder(const std::wstring& a, const std::wstring& b);

// The folder as the system names it: full, with the names it has on disk (no short or relative forms,
// no "/"); the path as given when it does not exist.
std::wstring finalFolderPath(const std::wstring& folder);

// The folder of the registered installation (its Add/Remove Programs entry), if any.
std::optional<std::wstring> registeredFolder();

// Whether the folder is that of the registered installation.
bool isRegisteredFolder(const std::wstring& folder);

Record readRecord();
// Replaces the record with this one (never an empty value). False, with the system's error, when not.
bool writeRecord(const Record& record, DWORD& error);

// The folders Setup created for the registered installation, parents first; only ever the program
// folder, its resource folder and parents of the program folder (anything else on the list is
// not taken from it).
std::vector<std::wstring> createdFolders(const std::wstring& programFolder, const FileLists& lists);
bool writeCreatedFolders(const std::vector<std::wstring>& folders, DWORD& error);

// The value that starts the server at logon: its text, if there is one; deleted; put back.
std::optional<std::wstring> readRunValue();
bool deleteRunValue(DWORD& error);
bool writeRunValue(const std::wstring& text, DWORD& error);

// Folders kept in one text, "|" between them (a character no path holds).
std::wstring joinedFolders(const std::vector<std::wstring>& folders);
std::vector<std::wstring> splitFolders(const std::wstring& text);

}  // namespace setupkit
