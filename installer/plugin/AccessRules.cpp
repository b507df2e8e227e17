#include "installer/plugin/AccessRules.h"

#include <algorithm>
#include <map>

namespace setupkit {
namespace {

// Where an entry applies: the object itself, files made in the folder, folders made in it.
enum class Target { Itself, NewFiles, NewFolders };

bool appliesTo(const AccessEntry& entry, Target target) {
    switch (target) {
        case Target::Itself:
            return (entry.inheritance & inheritance::kInheritOnly) == 0;
        case Target::NewFiles:
            return (entry.inheritance & inheritance::kToFiles) != 0;
        case Target::NewFolders:
            // A folder made there takes both: what applies to it, and what it passes on to its files.
            return (entry.inheritance & (inheritance::kToFiles | inheritance::kToFolders)) != 0;
    }
    return false;
}

std::vector<Target> targetsOf(Subject subject) {
    switch (subject) {
        case Subject::Folder:
            return {Target::Itself, Target::NewFiles, Target::NewFolders};
        case Subject::File:
            return {Target::Itself};
        case Subject::ParentOfNewFolder:
            return {Target::NewFolders};
    }
    return {};
}

std::uint32_t withGenericRightsMapped(std::uint32_t mask) {
    std::uint32_t mapped = mask & ~(rights::kGenericAll | rights::kGenericExecute | rights::kGenericWrite |
                                    rights::kGenericRead);
    if (mask & rights::kGenericRead) mapped |= rights::kFileGenericRead;
    if (mask & rights::kGenericWrite) mapped |= rights::kFileGenericWrite;
    if (mask & rights::kGenericExecute) mapped |= rights::kFileGenericExecute;
    if (mask & rights::kGenericAll) mapped |= rights::kFullControl;
    return mapped;
}

// The rights each account holds on the target, entry by entry as the system evaluates them.
void addHeldRights(const AccessList& list, Target target, std::map<std::wstring, std::uint32_t>& held) {
    if (!list.hasEntries) {
        held[account::kEveryone] |= rights::kFullControl;
        return;
    }
    std::map<std::wstring, std::uint32_t> granted;
    std::map<std::wstring, std::uint32_t> denied;
    bool ownerRightsListed = false;
    for (const AccessEntry& entry : list.entries) {
        if (!appliesTo(entry, target)) continue;
        std::wstring who = entry.account;
        if (who == account::kOwnerRights) {
            // What Setup makes is owned by Setup; only the object itself has an owner to speak of.
            if (target != Target::Itself) continue;
            ownerRightsListed = true;
            who = list.owner;
        }
        const std::uint32_t mask = withGenericRightsMapped(entry.mask);
        if (entry.allows)
            granted[who] |= mask & ~denied[who] & ~denied[account::kEveryone];
        else
            denied[who] |= mask & ~granted[who];
    }
    if (target == Target::Itself && !ownerRightsListed && !list.owner.empty())
        granted[list.owner] |= rights::kReadControl | rights::kWriteDac;
    for (const auto& [who, mask] : granted) held[who] |= mask;
}

}  // namespace

std::vector<ChangeRight> changeRights(const AccessList& list, Subject subject,
                                      const std::vector<std::wstring>& trusted) {
    std::map<std::wstring, std::uint32_t> held;
    for (Target target : targetsOf(subject)) addHeldRights(list, target, held);
    std::vector<ChangeRight> found;
    for (const auto& [who, mask] : held) {
        if (std::find(trusted.begin(), trusted.end(), who) != trusted.end()) continue;
        if (mask & rights::kChange) found.push_back({who, mask & rights::kChange});
    }
    return found;
}

std::vector<std::wstring> trustedAccounts(const std::wstring& runningAdministrator) {
    std::vector<std::wstring> trusted = {account::kAdministrators, account::kSystem,
                                         account::kTrustedInstaller, account::kCreatorOwner};
    if (!runningAdministrator.empty()) trusted.push_back(runningAdministrator);
    return trusted;
}

std::wstring rightsText(std::uint32_t mask, Subject subject) {
    const bool file = subject == Subject::File;
    const struct {
        std::uint32_t right;
        const wchar_t* name;
    } names[] = {
        {rights::kWriteData, file ? L"write" : L"add files"},
        {rights::kAppendData, file ? L"append" : L"add subfolders"},
        {rights::kDeleteChild, L"delete what is in it"},
        {rights::kDelete, L"delete"},
        {rights::kWriteDac, L"change permissions"},
        {rights::kWriteOwner, L"take ownership"},
    };
    std::wstring text;
    for (const auto& [right, name] : names) {
        if ((mask & right) == 0) continue;
        if (!text.empty()) text += L", ";
        text += name;
    }
    return text;
}

AccessList protectedFolderAccess() {
    constexpr std::uint8_t everywhere = inheritance::kToFiles | inheritance::kToFolders;
    return {account::kAdministrators,
            true,
            true,
            {{true, rights::kFullControl, everywhere, account::kAdministrators},
             {true, rights::kFullControl, everywhere, account::kSystem},
             {true, rights::kReadAndExecute, everywhere, account::kUsers}}};
}

}  // namespace setupkit
