// The plug-in's Windows side against the system (here: wine): access lists built and read back,
// hashes, the program folder's files held, replaced and deleted through handles, folders by identity.

#include <windows.h>

#include <aclapi.h>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "installer/plugin/AccessLists_win.h"
#include "installer/plugin/FileContent_win.h"
#include "installer/plugin/ProgramFolder_win.h"
#include "installer/plugin/Registration_win.h"
#include "win32/Application.h"
#include "win32/Handles.h"
#include "win32/Text.h"

namespace setupkit {
namespace {

const FileLists kLists{{L"kelvane.exe", L"Info.ini", L"resource\\connect.ico"},
                       {L"nuacpi.dll"},
                       L"kelvane.exe",
                       L"Info.ini",
                       L"kelvane-uninstall.exe",
                       L"resource"};

std::string contentOfPath(const std::wstring& path) {
    std::ifstream in(win32::narrow(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}
void write(const std::wstring& path, const std::string& bytes) {
    std::ofstream(win32::narrow(path), std::ios::binary | std::ios::trunc) << bytes;
}

// A folder of the test's own in the build tree, emptied of what the test made.
class Folder : public ::testing::Test {
  protected:
    void SetUp() override {
        path = win32::executableFolder() + L"setupkit-" + std::to_wstring(::GetCurrentProcessId());
        ::CreateDirectoryW(path.c_str(), nullptr);
        ::CreateDirectoryW((path + L"\\resource").c_str(), nullptr);
    }
    void TearDown() override {
        for (const wchar_t* name : {L"kelvane.exe", L"Info.ini", L"resource\\connect.ico", L"nuacpi.dll"})
            ::DeleteFileW((path + L'\\' + name).c_str());
        ::RemoveDirectoryW((path + L"\\resource").c_str());
        ::RemoveDirectoryW((path + L"\\made").c_str());
        ::RemoveDirectoryW(path.c_str());
    }
    std::wstring path;
};

TEST(AccessLists, BuiltFromTheModelAndReadBackTheSame) {
    AccessList list = protectedFolderAccess();
    list.entries.insert(list.entries.begin(),
                        {false, rights::kWriteData, inheritance::kToFiles, account::kEveryone});
    BuiltDescriptor built(list);
    ASSERT_TRUE(built.valid());
    const AccessList read = accessListOf(built.descriptor());
    EXPECT_EQ(read.owner, list.owner);
    EXPECT_TRUE(read.isProtected);
    ASSERT_EQ(read.entries.size(), list.entries.size());
    for (std::size_t i = 0; i < list.entries.size(); ++i) {
        EXPECT_EQ(read.entries[i].allows, list.entries[i].allows) << i;
        EXPECT_EQ(read.entries[i].mask, list.entries[i].mask) << i;
        EXPECT_EQ(read.entries[i].inheritance, list.entries[i].inheritance) << i;
        EXPECT_EQ(read.entries[i].account, list.entries[i].account) << i;
    }
    EXPECT_FALSE(runningAdministrator().empty()) << "the tests run as an administrator";
    EXPECT_EQ(accountName(account::kAdministrators), L"BUILTIN\\Administrators");
}

TEST(FileContent, IsTheSha256OfTheBytesAndForTheDatabaseOfItsTextWithoutTheServersWrite) {
    DWORD error = 0;
    EXPECT_EQ(sha256("abc", error), L"ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(sha256("", error), L"e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    const std::wstring file =
        win32::executableFolder() + L"setupkit-content-" + std::to_wstring(::GetCurrentProcessId()) + L".ini";
    write(file, "[A]\nx=1\n[Voltage]\nLarge=1075\n");
    win32::UniqueHandle opened(
        ::CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    const std::optional<Content> content = contentOf(opened.get(), true, error);
    ASSERT_TRUE(content);
    EXPECT_EQ(content->hash, sha256("[A]\nx=1\n[Voltage]\nLarge=1075\n", error));
    EXPECT_EQ(content->hashWithoutServerWrite, sha256("[A]\nx=1\n", error));
    opened.reset();
    ::DeleteFileW(file.c_str());
}

TEST_F(Folder, AProtectedFolderGrantsNoOneButTheAdministratorsChangeAndAnOpenOneIsFound) {
    DWORD error = 0;
    ASSERT_TRUE(makeProtectedFolder(path + L"\\made", error)) << error;
    EXPECT_FALSE(makeProtectedFolder(path + L"\\made", error));
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_ALREADY_EXISTS)) << "never one that was there";
    const std::vector<std::wstring> trusted = trustedAccounts(runningAdministrator());
    std::optional<AccessList> made = readAccessList(path + L"\\made", error);
    ASSERT_TRUE(made);
    EXPECT_TRUE(changeRights(*made, Subject::Folder, trusted).empty());
    for (const AccessEntry& entry : made->entries) EXPECT_NE(entry.account, account::kEveryone);

    // The same folder opened to every account (wine keeps only what its file modes can say).
    BuiltDescriptor open({account::kAdministrators,
                          true,
                          false,
                          {{true, rights::kFullControl, inheritance::kToFiles | inheritance::kToFolders,
                            account::kEveryone}}});
    BOOL present = FALSE, defaulted = FALSE;
    PACL acl = nullptr;
    ASSERT_TRUE(::GetSecurityDescriptorDacl(open.descriptor(), &present, &acl, &defaulted));
    ASSERT_EQ(::SetNamedSecurityInfoW((path + L"\\made").data(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                                      nullptr, nullptr, acl, nullptr),
              static_cast<DWORD>(ERROR_SUCCESS));
    made = readAccessList(path + L"\\made", error);
    ASSERT_TRUE(made);
    const std::vector<ChangeRight> found = changeRights(*made, Subject::Folder, trusted);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].account, account::kEveryone);
    EXPECT_NE(found[0].rights & rights::kWriteData, 0u);
}

TEST_F(Folder, FilesAreHeldReplacedAndDeletedAllOrNothing) {
    write(path + L"\\kelvane.exe", "old server");
    write(path + L"\\resource\\connect.ico", "old icon");
    DWORD error = 0;
    const std::optional<std::wstring> stage = makeStage(path, kLists, error);
    ASSERT_TRUE(stage) << error;
    for (const std::wstring& name : kLists.server)
        write(*stage + L"\\new\\" + name, "new " + win32::narrow(name));
    WindowsProgramFolder folder(path, *stage, kLists);
    Record record{{L"kelvane.exe", recordValue(*folder.hold(L"kelvane.exe", false).file->content())},
                  {L"resource\\connect.ico",
                   recordValue(*folder.hold(L"resource\\connect.ico", false).file->content())}};
    const auto planned = plan(kLists, false, record, true);
    const RecordKeeper kept = [](const Record&) { return std::optional<Finding>(); };

    // Another program reads the icon without letting it be deleted: nothing changes.
    win32::UniqueHandle reader(::CreateFileW((path + L"\\resource\\connect.ico").c_str(), GENERIC_READ,
                                             FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(reader);
    EXPECT_EQ(folder.hold(L"resource\\connect.ico", true).standing, Standing::InUse);
    EXPECT_EQ(folder.hold(L"resource\\connect.ico", false).standing, Standing::File);
    Outcome outcome = commit(planned, folder, kLists, record, kept);
    ASSERT_EQ(outcome.findings.size(), 1u);
    EXPECT_EQ(outcome.findings[0].problem, Problem::InUse);
    EXPECT_EQ(outcome.findings[0].name, L"resource\\connect.ico");
    EXPECT_EQ(contentOfPath(path + L"\\kelvane.exe"), "old server");
    EXPECT_EQ(::GetFileAttributesW((path + L"\\Info.ini").c_str()), INVALID_FILE_ATTRIBUTES);
    reader.reset();

    outcome = commit(planned, folder, kLists, record, kept);
    ASSERT_TRUE(outcome.findings.empty());
    EXPECT_EQ(contentOfPath(path + L"\\kelvane.exe"), "new kelvane.exe");
    EXPECT_EQ(contentOfPath(path + L"\\resource\\connect.ico"), "new resource\\connect.ico");
    EXPECT_TRUE(removeStage(*stage, kLists).empty());
    EXPECT_EQ(::GetFileAttributesW(stage->c_str()), INVALID_FILE_ATTRIBUTES) << "the stage is gone";

    // A removal while the server's program is held deletes nothing; once it is free, everything.
    ASSERT_TRUE(::SetFileAttributesW((path + L"\\Info.ini").c_str(), FILE_ATTRIBUTE_READONLY));
    reader.reset(::CreateFileW((path + L"\\kelvane.exe").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                               OPEN_EXISTING, 0, nullptr));
    {
        Removal held(folder, kLists, outcome.record, false);
        EXPECT_EQ(held.prepare().size(), 1u);
    }
    EXPECT_NE(::GetFileAttributesW((path + L"\\Info.ini").c_str()), INVALID_FILE_ATTRIBUTES);
    reader.reset();
    Removal removal(folder, kLists, outcome.record, false);
    ASSERT_TRUE(removal.prepare().empty());
    EXPECT_TRUE(removal.finish(true).empty());
    for (const std::wstring& name : kLists.server)
        EXPECT_EQ(::GetFileAttributesW((path + L'\\' + name).c_str()), INVALID_FILE_ATTRIBUTES)
            << win32::narrow(name);
}

TEST_F(Folder, AProgramsOwnFileIsHeldYetNotDeletableAndTheProbeLeavesItAsItWas) {
    // This test program as the server's program, mapped as a running program's image is.
    wchar_t self[MAX_PATH];
    ASSERT_NE(::GetModuleFileNameW(nullptr, self, MAX_PATH), 0u);
    const std::wstring program = path + L"\\kelvane.exe";
    ASSERT_TRUE(::CopyFileW(self, program.c_str(), FALSE));
    WindowsProgramFolder folder(path, L"", kLists);
    const Record record{{L"kelvane.exe", recordValue(*folder.hold(L"kelvane.exe", false).file->content())}};
    HMODULE image = ::LoadLibraryExW(program.c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES);
    ASSERT_NE(image, nullptr);
    {
        Hold held = folder.hold(L"kelvane.exe", true);
        ASSERT_EQ(held.standing, Standing::File)
            << "a running program does not keep its file from being held";
        EXPECT_FALSE(held.file->deletable());
        Removal removal(folder, kLists, record, false);
        const std::vector<Finding> findings = removal.prepare();
        ASSERT_EQ(findings.size(), 1u);
        EXPECT_EQ(findings[0].problem, Problem::InUse);
        EXPECT_FALSE(findings[0].detail.empty()) << "the system's reason";
    }
    ::FreeLibrary(image);

    // Free, read-only or not: deletable, and still there, read-only as before, once let go.
    for (const bool readOnly : {false, true}) {
        ASSERT_TRUE(::SetFileAttributesW(program.c_str(),
                                         readOnly ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL));
        EXPECT_TRUE(folder.hold(L"kelvane.exe", true).file->deletable());
        const DWORD after = ::GetFileAttributesW(program.c_str());
        ASSERT_NE(after, INVALID_FILE_ATTRIBUTES);
        EXPECT_EQ((after & FILE_ATTRIBUTE_READONLY) != 0, readOnly);
    }
    ::SetFileAttributesW(program.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(Folder, IsKnownByIdentityHoweverSpelt) {
    std::wstring forward = path;
    std::replace(forward.begin(), forward.end(), L'\\', L'/');
    EXPECT_TRUE(sameFolder(forward, path + L"\\"));
    EXPECT_TRUE(sameFolder(path + L"\\resource\\..", path));
    EXPECT_FALSE(sameFolder(path + L"\\resource", path));
    EXPECT_FALSE(sameFolder(path + L"\\missing", path + L"\\missing"));
    EXPECT_EQ(finalFolderPath(forward), path);
}

}  // namespace
}  // namespace setupkit
