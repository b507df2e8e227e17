#pragma once
// Who besides the administrators can change a folder or a file: the access list as Setup judges it
// (owner; entries that allow or deny rights to an account, with their inheritance), the judgement,
// and the access list that Setup gives every folder it creates.

#include <cstdint>
#include <string>
#include <vector>

namespace setupkit {

// Access rights of files and folders (the values of the Windows headers).
namespace rights {
inline constexpr std::uint32_t kWriteData = 0x0002;   // of a folder: add a file
inline constexpr std::uint32_t kAppendData = 0x0004;  // of a folder: add a subfolder
inline constexpr std::uint32_t kDeleteChild = 0x0040;
inline constexpr std::uint32_t kDelete = 0x00010000;
inline constexpr std::uint32_t kReadControl = 0x00020000;
inline constexpr std::uint32_t kWriteDac = 0x00040000;
inline constexpr std::uint32_t kWriteOwner = 0x00080000;
inline constexpr std::uint32_t kGenericAll = 0x10000000;
inline constexpr std::uint32_t kGenericExecute = 0x20000000;
inline constexpr std::uint32_t kGenericWrite = 0x40000000;
inline constexpr std::uint32_t kGenericRead = 0x80000000;
inline constexpr std::uint32_t kFileGenericRead = 0x00120089;
inline constexpr std::uint32_t kFileGenericWrite = 0x00120116;
inline constexpr std::uint32_t kFileGenericExecute = 0x001200A0;
inline constexpr std::uint32_t kFullControl = 0x001F01FF;
inline constexpr std::uint32_t kReadAndExecute = kFileGenericRead | kFileGenericExecute;
// Being able to change a folder or a file: add to it, write it, delete it or what is in it, or
// change who may. Generic rights count by what they stand for on files (generic write and all
// include adding and writing).
inline constexpr std::uint32_t kChange =
    kWriteData | kAppendData | kDeleteChild | kDelete | kWriteDac | kWriteOwner;
}  // namespace rights

// An entry's inheritance flags (the values of the Windows headers).
namespace inheritance {
inline constexpr std::uint8_t kToFiles = 0x01;    // object inherit
inline constexpr std::uint8_t kToFolders = 0x02;  // container inherit
inline constexpr std::uint8_t kNoPropagate = 0x04;
inline constexpr std::uint8_t kInheritOnly = 0x08;  // passed on, not applied to the folder itself
inline constexpr std::uint8_t kInherited = 0x10;
}  // namespace inheritance

// Accounts by their security identifiers, as text.
namespace account {
inline const std::wstring kAdministrators = L"S-1-5-32-544";
inline const std::wstring kSystem = L"S-1-5-18";
inline const std::wstring kTrustedInstaller =
    L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";
inline const std::wstring kUsers = L"S-1-5-32-545";
inline const std::wstring kAuthenticatedUsers = L"S-1-5-11";
inline const std::wstring kEveryone = L"S-1-1-0";
// Stand for the owner of what is made in a folder (its creator), and for the owner of the object.
inline const std::wstring kCreatorOwner = L"S-1-3-0";
inline const std::wstring kOwnerRights = L"S-1-3-4";
}  // namespace account

struct AccessEntry {
    bool allows = true;  // else it denies
    std::uint32_t mask = 0;
    std::uint8_t inheritance = 0;
    std::wstring account;
};

struct AccessList {
    std::wstring owner;
    bool hasEntries = true;    // no list at all (a null DACL) lets everyone do everything
    bool isProtected = false;  // takes nothing from its parent
    std::vector<AccessEntry> entries;
};

// What is judged: a folder that Setup writes into (the folder itself, and what it passes on to files
// and folders made in it), a file the server loads, or the nearest existing parent of a folder that
// Setup would create (what it passes on to that folder).
enum class Subject { Folder, File, ParentOfNewFolder };

struct ChangeRight {
    std::wstring account;
    std::uint32_t rights = 0;  // of rights::kChange

    bool operator==(const ChangeRight&) const = default;
};

// The accounts other than the trusted ones that can change the subject, by account, with the rights
// of rights::kChange that they hold. Entries apply in their order: a deny takes away what no earlier
// entry allowed, for its account (for every account when it names Everyone). The owner may always
// change the permissions, unless an entry for the owner's rights says otherwise.
std::vector<ChangeRight> changeRights(const AccessList& list, Subject subject,
                                      const std::vector<std::wstring>& trusted);

// The accounts whose rights do not count: Administrators, SYSTEM, TrustedInstaller, the creator of
// what Setup makes (Setup itself), and the administrator's account that runs Setup, if any.
std::vector<std::wstring> trustedAccounts(const std::wstring& runningAdministrator);

// "add files, delete", for the folder page and the log.
std::wstring rightsText(std::uint32_t mask, Subject subject);

// Every folder Setup creates: owned by Administrators, inheriting nothing; Administrators and SYSTEM
// have full control, Users read and execute, in the folder and everything made in it.
AccessList protectedFolderAccess();

}  // namespace setupkit
