#include "installer/plugin/AccessLists_win.h"

#include <aclapi.h>
#include <sddl.h>

#include "win32/Handles.h"

namespace setupkit {
namespace {

std::wstring sidText(PSID sid) {
    wchar_t* text = nullptr;
    if (!sid || !::ConvertSidToStringSidW(sid, &text)) return {};
    const win32::UniqueLocalMemory owned(text);
    return text;
}

win32::UniqueLocalMemory sidOf(const std::wstring& text) {
    PSID sid = nullptr;
    if (!::ConvertStringSidToSidW(text.c_str(), &sid)) return {};
    return win32::UniqueLocalMemory(sid);
}

}  // namespace

AccessList accessListOf(PSECURITY_DESCRIPTOR descriptor) {
    AccessList list;
    PSID owner = nullptr;
    BOOL defaulted = FALSE;
    if (::GetSecurityDescriptorOwner(descriptor, &owner, &defaulted)) list.owner = sidText(owner);
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    if (::GetSecurityDescriptorControl(descriptor, &control, &revision))
        list.isProtected = (control & SE_DACL_PROTECTED) != 0;
    BOOL present = FALSE;
    PACL acl = nullptr;
    if (!::GetSecurityDescriptorDacl(descriptor, &present, &acl, &defaulted) || !present || !acl) {
        list.hasEntries = false;
        return list;
    }
    for (DWORD i = 0; i < acl->AceCount; ++i) {
        void* ace = nullptr;
        if (!::GetAce(acl, i, &ace)) continue;
        const auto* header = static_cast<const ACE_HEADER*>(ace);
        // Allowed and denied entries, plain or conditional, share the layout up to the account. A
        // conditional allow counts as an allow; a conditional deny is left out: either way Setup
        // judges a folder no safer than it is.
        bool allows = false;
        switch (header->AceType) {
            case ACCESS_ALLOWED_ACE_TYPE:
            case ACCESS_ALLOWED_CALLBACK_ACE_TYPE:
                allows = true;
                break;
            case ACCESS_DENIED_ACE_TYPE:
                break;
            default:
                continue;
        }
        const auto* entry = static_cast<const ACCESS_ALLOWED_ACE*>(ace);
        list.entries.push_back(
            {allows, entry->Mask, header->AceFlags, sidText(const_cast<DWORD*>(&entry->SidStart))});
    }
    return list;
}

std::optional<AccessList> readAccessList(const std::wstring& path, DWORD& error) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    error = ::GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT,
                                    OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                    nullptr, nullptr, &descriptor);
    if (error != ERROR_SUCCESS) return std::nullopt;
    const win32::UniqueLocalMemory owned(descriptor);
    return accessListOf(descriptor);
}

BuiltDescriptor::BuiltDescriptor(const AccessList& list) {
    DWORD size = sizeof(ACL);
    for (const AccessEntry& entry : list.entries) {
        m_accounts.push_back(sidOf(entry.account));
        if (!m_accounts.back()) return;
        size += static_cast<DWORD>(sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD)) +
                ::GetLengthSid(m_accounts.back().get());
    }
    win32::UniqueLocalMemory& owner = m_accounts.emplace_back(sidOf(list.owner));
    m_list.assign((size + sizeof(std::uint64_t) - 1) / sizeof(std::uint64_t), 0);
    auto* acl = reinterpret_cast<ACL*>(m_list.data());
    if (!owner || !::InitializeAcl(acl, size, ACL_REVISION)) return;
    for (std::size_t i = 0; i < list.entries.size(); ++i) {
        const AccessEntry& entry = list.entries[i];
        const BOOL added = entry.allows ? ::AddAccessAllowedAceEx(acl, ACL_REVISION, entry.inheritance,
                                                                  entry.mask, m_accounts[i].get())
                                        : ::AddAccessDeniedAceEx(acl, ACL_REVISION, entry.inheritance,
                                                                 entry.mask, m_accounts[i].get());
        if (!added) return;
    }
    m_valid =
        ::InitializeSecurityDescriptor(&m_descriptor, SECURITY_DESCRIPTOR_REVISION) &&
        ::SetSecurityDescriptorOwner(&m_descriptor, owner.get(), FALSE) &&
        ::SetSecurityDescriptorDacl(&m_descriptor, list.hasEntries, list.hasEntries ? acl : nullptr, FALSE) &&
        ::SetSecurityDescriptorControl(&m_descriptor, SE_DACL_PROTECTED,
                                       list.isProtected ? SE_DACL_PROTECTED : 0);
}

bool makeProtectedFolder(const std::wstring& path, DWORD& error) {
    BuiltDescriptor built(protectedFolderAccess());
    if (!built.valid()) {
        error = ::GetLastError();
        return false;
    }
    SECURITY_ATTRIBUTES attributes{sizeof attributes, built.descriptor(), FALSE};
    if (::CreateDirectoryW(path.c_str(), &attributes)) return true;
    error = ::GetLastError();
    return false;
}

std::wstring accountName(const std::wstring& sid) {
    const win32::UniqueLocalMemory account = sidOf(sid);
    wchar_t name[256];
    wchar_t domain[256];
    DWORD nameSize = std::size(name);
    DWORD domainSize = std::size(domain);
    SID_NAME_USE use{};
    if (!account || !::LookupAccountSidW(nullptr, account.get(), name, &nameSize, domain, &domainSize, &use))
        return sid;
    return domainSize > 0 && domain[0] ? std::wstring(domain) + L'\\' + name : std::wstring(name);
}

std::wstring runningAdministrator() {
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) return {};
    const win32::UniqueHandle owned(token);
    alignas(TOKEN_USER) BYTE buffer[512];
    DWORD size = 0;
    if (!::GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &size)) return {};
    const win32::UniqueLocalMemory administrators = sidOf(account::kAdministrators);
    BOOL member = FALSE;
    if (!administrators || !::CheckTokenMembership(nullptr, administrators.get(), &member) || !member)
        return {};
    return sidText(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid);
}

}  // namespace setupkit
