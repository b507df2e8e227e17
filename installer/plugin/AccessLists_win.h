#pragma once
// Access lists of files and folders as the system keeps them, read into the model that Setup judges,
// and the protected access list given to each folder Setup creates.

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "installer/plugin/AccessRules.h"
#include "win32/LocalMemory.h"

namespace setupkit {

// The model of a security descriptor's owner and access list.
AccessList accessListOf(PSECURITY_DESCRIPTOR descriptor);

// The owner and access list of a file or folder (following a link at its name); none, with the
// system's error, when they cannot be read.
std::optional<AccessList> readAccessList(const std::wstring& path, DWORD& error);

// A security descriptor built from the model, with what it points into.
class BuiltDescriptor {
  public:
    explicit BuiltDescriptor(const AccessList& list);
    BuiltDescriptor(const BuiltDescriptor&) = delete;
    BuiltDescriptor& operator=(const BuiltDescriptor&) = delete;

    bool valid() const { return m_valid; }
    PSECURITY_DESCRIPTOR descriptor() { return &m_descriptor; }

  private:
    std::vector<win32::UniqueLocalMemory> m_accounts;
    std::vector<std::uint64_t> m_list;  // the ACL, aligned
    SECURITY_DESCRIPTOR m_descriptor{};
    bool m_valid = false;
};

// Makes a folder with the protected access list (protectedFolderAccess). False, with the system's
// error, when it cannot; ERROR_ALREADY_EXISTS when something already stands at the name.
bool makeProtectedFolder(const std::wstring& path, DWORD& error);

// The account's name as the system shows it ("BUILTIN\Users"), else its identifier.
std::wstring accountName(const std::wstring& sid);

// The account running Setup, when it is an administrator (its token holds Administrators); else "".
std::wstring runningAdministrator();

}  // namespace setupkit
