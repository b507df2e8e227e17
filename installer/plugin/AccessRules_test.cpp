#include "installer/plugin/AccessRules.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace setupkit {
namespace {

using namespace inheritance;
constexpr std::uint8_t kEverywhere = kToFiles | kToFolders;
constexpr std::uint32_t kModify = 0x001301BF;
const std::wstring kAlice = L"S-1-5-21-1-2-3-1001";  // a standard user
const std::wstring kAdmin = L"S-1-5-21-1-2-3-500";   // the administrator running Setup
const std::wstring kAppPackages = L"S-1-15-2-1";

AccessEntry allow(std::uint32_t mask, std::uint8_t flags, const std::wstring& who) {
    return {true, mask, flags, who};
}
AccessEntry deny(std::uint32_t mask, std::uint8_t flags, const std::wstring& who) {
    return {false, mask, flags, who};
}

// "account: rights; ..." as the folder page lists them.
std::wstring judged(const AccessList& list, Subject subject,
                    const std::wstring& runningAdministrator = kAdmin) {
    std::wstring text;
    for (const ChangeRight& c : changeRights(list, subject, trustedAccounts(runningAdministrator)))
        text += (text.empty() ? L"" : L"; ") + c.account + L": " + rightsText(c.rights, subject);
    return text;
}

TEST(FolderRights, OnlyAccountsOtherThanTheAdministratorsThatCanChangeTheFolderCount) {
    // The system's own folders as Windows lays them out.
    const AccessList programFiles{
        account::kTrustedInstaller,
        true,
        false,
        {allow(rights::kGenericAll, kToFolders | kInheritOnly, account::kTrustedInstaller),
         allow(kModify, 0, account::kSystem),
         allow(rights::kGenericAll, kEverywhere | kInheritOnly, account::kSystem),
         allow(kModify, 0, account::kAdministrators),
         allow(rights::kGenericAll, kEverywhere | kInheritOnly, account::kAdministrators),
         allow(rights::kReadAndExecute, kEverywhere, account::kUsers),
         allow(rights::kGenericAll, kEverywhere | kInheritOnly, account::kCreatorOwner),
         allow(rights::kReadAndExecute, kEverywhere, kAppPackages)}};
    const AccessList driveRoot{
        account::kTrustedInstaller,
        true,
        false,
        {allow(rights::kFullControl, kEverywhere, account::kAdministrators),
         allow(rights::kFullControl, kEverywhere, account::kSystem),
         allow(rights::kReadAndExecute, kEverywhere, account::kUsers),
         allow(rights::kAppendData, 0, account::kAuthenticatedUsers),
         allow(kModify, kEverywhere | kInheritOnly, account::kAuthenticatedUsers),
         allow(rights::kGenericAll, kEverywhere | kInheritOnly, account::kCreatorOwner)}};
    // A suite's folder made under the drive's root: it inherits Modify for every signed-in user.
    AccessList suiteUnderRoot = driveRoot;
    suiteUnderRoot.owner = account::kAdministrators;
    suiteUnderRoot.entries = {allow(rights::kFullControl, kEverywhere | kInherited, account::kAdministrators),
                              allow(kModify, kEverywhere | kInherited, account::kAuthenticatedUsers)};
    const AccessList adminOnly{account::kAdministrators,
                               true,
                               true,
                               {allow(rights::kFullControl, kEverywhere, account::kAdministrators),
                                allow(rights::kReadAndExecute, kEverywhere, account::kUsers)}};
    AccessList ownedByAlice = adminOnly;
    ownedByAlice.owner = kAlice;
    AccessList ownerRightsReadOnly = ownedByAlice;
    ownerRightsReadOnly.entries.push_back(allow(rights::kReadAndExecute, 0, account::kOwnerRights));
    AccessList ownedByRunningAdmin = adminOnly;
    ownedByRunningAdmin.owner = kAdmin;
    ownedByRunningAdmin.entries.push_back(allow(rights::kFullControl, kEverywhere, kAdmin));

    const struct {
        const char* what;
        AccessList list;
        Subject subject;
        std::wstring expected;
    } cases[] = {
        {"Program Files", programFiles, Subject::Folder, L""},
        {"Program Files, for a new folder", programFiles, Subject::ParentOfNewFolder, L""},
        {"the drive's root", driveRoot, Subject::Folder, L"S-1-5-11: add files, add subfolders, delete"},
        {"the drive's root, for a new folder", driveRoot, Subject::ParentOfNewFolder,
         L"S-1-5-11: add files, add subfolders, delete"},
        {"a suite's folder under the root", suiteUnderRoot, Subject::Folder,
         L"S-1-5-11: add files, add subfolders, delete"},
        {"administrators only", adminOnly, Subject::Folder, L""},
        {"owned by a standard user", ownedByAlice, Subject::Folder, kAlice + L": change permissions"},
        {"owned by a standard user, the owner's rights limited", ownerRightsReadOnly, Subject::Folder, L""},
        {"owned by the administrator running Setup", ownedByRunningAdmin, Subject::Folder, L""},
        {"no access list at all",
         {account::kAdministrators, false, false, {}},
         Subject::Folder,
         account::kEveryone +
             L": add files, add subfolders, delete what is in it, delete, change permissions, "
             L"take ownership"},
        {"generic write for Users",
         {account::kSystem, true, false, {allow(rights::kGenericWrite, 0, account::kUsers)}},
         Subject::Folder,
         L"S-1-5-32-545: add files, add subfolders"},
        {"a platform library that Users may modify",
         {account::kAdministrators, true, false, {allow(kModify, kInherited, account::kUsers)}},
         Subject::File,
         L"S-1-5-32-545: write, append, delete"},
        {"a platform library inheriting what its folder passes on to files only",
         {account::kAdministrators, true, false, {allow(kModify, kToFiles | kInheritOnly, account::kUsers)}},
         Subject::File,
         L""},
        {"Setup's own protected folder", protectedFolderAccess(), Subject::Folder, L""},
        {"Setup's own protected folder, for a new folder", protectedFolderAccess(),
         Subject::ParentOfNewFolder, L""},
    };
    for (const auto& c : cases) EXPECT_EQ(judged(c.list, c.subject), c.expected) << c.what;
}

TEST(FolderRights, DenyEntriesTakeAwayOnlyWhatNoEarlierEntryAllowed) {
    const std::uint32_t write = rights::kWriteData | rights::kAppendData;
    const struct {
        const char* what;
        std::vector<AccessEntry> entries;
        std::wstring expected;
    } cases[] = {
        {"Users denied writing, then allowed all",
         {deny(write, 0, account::kUsers), allow(rights::kFullControl, 0, account::kUsers)},
         L"S-1-5-32-545: delete what is in it, delete, change permissions, take ownership"},
        {"Everyone denied all, then Users allowed all",
         {deny(rights::kFullControl, 0, account::kEveryone), allow(rights::kFullControl, 0, account::kUsers)},
         L""},
        {"Users allowed all, then Everyone denied all",
         {allow(write, 0, account::kUsers), deny(rights::kFullControl, 0, account::kEveryone)},
         L"S-1-5-32-545: add files, add subfolders"},
        {"a deny for another account",
         {deny(write, 0, kAlice), allow(write, 0, account::kUsers)},
         L"S-1-5-32-545: add files, add subfolders"},
        {"a deny by generic write", {deny(rights::kGenericWrite, 0, kAlice), allow(write, 0, kAlice)}, L""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(judged({account::kAdministrators, true, true, c.entries}, Subject::Folder), c.expected)
            << c.what;
}

TEST(FolderRights, TheRunningAccountIsTrustedOnlyWhenItIsAnAdministrator) {
    const AccessList list{kAdmin, true, false, {allow(rights::kFullControl, 0, kAdmin)}};
    EXPECT_EQ(judged(list, Subject::Folder), L"");
    EXPECT_EQ(
        judged(list, Subject::Folder, L""),
        kAdmin +
            L": add files, add subfolders, delete what is in it, delete, change permissions, take ownership");
}

}  // namespace
}  // namespace setupkit
