#include "installer/plugin/Installation.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "Version.h"

namespace setupkit {
namespace {

const FileLists kLists{
    {L"kelvane.exe", L"tiktor.exe", L"Info.ini", L"resource\\connect.ico", L"kelvane-uninstall.exe"},
    {L"nuacpi.dll", L"linkctl.exe"},
    L"kelvane.exe",
    L"Info.ini",
    L"kelvane-uninstall.exe",
    L"resource"};

// 64 hexadecimal digits that stand for the bytes (the record's hashes are the system's business).
std::wstring digest(const std::string& bytes) {
    std::wstring hex = std::to_wstring(std::hash<std::string>{}(bytes));
    return hex + std::wstring(64 - hex.size(), L'0');
}

Content contentOf(const std::wstring& name, const std::string& bytes) {
    return {digest(bytes), sameName(name, kLists.cardDatabase) ? digest(withoutServerWrite(bytes)) : L""};
}

// A program folder in memory: its files (a link or a folder has no bytes), the stage's new and
// previous files, and a failure made to happen at the n-th step that can fail.
class FakeFolder : public ProgramFolder {
  public:
    struct Entry {
        Standing standing = Standing::File;
        std::string bytes;
        bool operator==(const Entry&) const = default;
    };
    std::map<std::wstring, Entry, NameLess> files;
    std::set<std::wstring, NameLess> folders;
    std::map<std::wstring, std::string, NameLess> staged, previous;
    std::set<std::wstring, NameLess> inUse;
    std::set<std::wstring, NameLess> running;      // held, but a program runs from it: not deletable
    std::set<std::wstring, NameLess> undeletable;  // held and deletable, yet not deleted after all
    std::vector<std::wstring> deleted;             // in the order the holds were let go
    std::optional<Record> kept;                    // the record as commit kept it
    std::size_t previousWhenKept = 0;              // the previous files still in the stage then
    int failingStep = -1;
    int steps = 0;

    bool stepSucceeds() { return steps++ != failingStep; }

    class Held : public HeldFile {
      public:
        Held(FakeFolder& folder, std::wstring name) : m_folder(folder), m_name(std::move(name)) {}
        ~Held() override {
            if (m_deleted) {
                m_folder.files.erase(m_name);
                m_folder.deleted.push_back(m_name);
            }
        }
        std::optional<Content> content() override {
            if (!m_folder.stepSucceeds()) return std::nullopt;
            return contentOf(m_name, m_folder.files.at(m_name).bytes);
        }
        bool moveToPrevious() override {
            if (!m_folder.stepSucceeds()) return false;
            m_folder.previous[m_name] = m_folder.files.at(m_name).bytes;
            m_folder.files.erase(m_name);
            return true;
        }
        bool deletable() override { return !m_folder.running.count(m_name); }
        bool markDeleted() override {
            return m_deleted = !m_folder.undeletable.count(m_name) && m_folder.stepSucceeds();
        }

      private:
        FakeFolder& m_folder;
        std::wstring m_name;
        bool m_deleted = false;
    };

    Hold hold(const std::wstring& name, bool forChange) override {
        const auto entry = files.find(name);
        if (entry == files.end()) return {Standing::Absent, nullptr};
        if (entry->second.standing != Standing::File) return {entry->second.standing, nullptr};
        if (forChange && (inUse.count(name) || !stepSucceeds())) return {Standing::InUse, nullptr};
        return {Standing::File, std::make_unique<Held>(*this, name)};
    }
    Standing folderStanding(const std::wstring& name) override {
        if (folders.count(name)) return Standing::Folder;
        const auto entry = files.find(name);
        return entry == files.end() ? Standing::Absent : entry->second.standing;
    }
    bool makeFolder(const std::wstring& name) override {
        return stepSucceeds() && folders.insert(name).second;
    }
    bool removeEmptyFolder(const std::wstring& name) override { return folders.erase(name) == 1; }
    std::optional<Content> stagedContent(const std::wstring& name) override {
        if (!staged.count(name) || !stepSucceeds()) return std::nullopt;
        return contentOf(name, staged.at(name));
    }
    bool placeStaged(const std::wstring& name) override {
        if (files.count(name) || !stepSucceeds()) return false;
        files[name] = {Standing::File, staged.at(name)};
        staged.erase(name);
        return true;
    }
    bool unplace(const std::wstring& name) override {
        staged[name] = files.at(name).bytes;
        files.erase(name);
        return true;
    }
    bool restorePrevious(const std::wstring& name) override {
        files[name] = {Standing::File, previous.at(name)};
        previous.erase(name);
        return true;
    }
    bool dropPrevious(const std::wstring& name) override { return previous.erase(name) == 1; }
    std::wstring shown(const std::wstring& name) const override { return L"C:\\kv\\" + name; }
    std::wstring lastProblem() const override { return L"made to fail"; }

    auto live() const { return std::make_tuple(files, folders); }

    // Keeping the record is a step that can fail too.
    RecordKeeper keeper() {
        return [this](const Record& record) -> std::optional<Finding> {
            if (!stepSucceeds()) return Finding{Problem::NotWritten, L"the record", L"made to fail"};
            kept = record;
            previousWhenKept = previous.size();
            return std::nullopt;
        };
    }
};

Record recordOf(const FakeFolder& folder, std::initializer_list<std::wstring> names) {
    Record record;
    for (const std::wstring& name : names)
        record[name] = recordValue(contentOf(name, folder.files.at(name).bytes));
    return record;
}

// An installation with the board, as an earlier Setup left it, and the next version staged.
struct Installed {
    FakeFolder folder;
    Record record;
    Installed() {
        for (std::wstring name : {L"kelvane.exe", L"tiktor.exe", L"resource\\connect.ico",
                                  L"kelvane-uninstall.exe", L"nuacpi.dll", L"linkctl.exe"})
            folder.files[name] = {Standing::File, "old " + std::string(name.begin(), name.end())};
        folder.files[L"Info.ini"] = {Standing::File, "[1_NV]\ncore_def=650\n"};
        folder.folders.insert(L"resource");
        record = recordOf(folder, {L"kelvane.exe", L"tiktor.exe", L"Info.ini", L"resource\\connect.ico",
                                   L"kelvane-uninstall.exe", L"nuacpi.dll", L"linkctl.exe"});
        for (const std::wstring& name : kLists.server)
            folder.staged[name] = "new " + std::string(name.begin(), name.end());
        for (const std::wstring& name : kLists.board)
            folder.staged[name] = "new " + std::string(name.begin(), name.end());
    }
};

TEST(InstallPlan, TermsFollowTheRecordOfThisFolder) {
    Installed here;
    const auto terms = [](const std::vector<PlannedFile>& planned) {
        std::map<std::wstring, Expectation> found;
        for (const PlannedFile& p : planned) found[p.name] = p.expectation;
        return found;
    };
    using E = Expectation;
    EXPECT_EQ(terms(plan(kLists, true, here.record, true)),
              (std::map<std::wstring, E>{{L"kelvane.exe", E::Ours},
                                         {L"tiktor.exe", E::Ours},
                                         {L"Info.ini", E::Ours},
                                         {L"resource\\connect.ico", E::Ours},
                                         {L"kelvane-uninstall.exe", E::Ours},
                                         {L"nuacpi.dll", E::OursUnchanged},
                                         {L"linkctl.exe", E::OursUnchanged}}));
    EXPECT_EQ(terms(plan(kLists, false, {}, false)),
              (std::map<std::wstring, E>{{L"kelvane.exe", E::Absent},
                                         {L"tiktor.exe", E::Absent},
                                         {L"Info.ini", E::KeptIfPresent},
                                         {L"resource\\connect.ico", E::Absent},
                                         {L"kelvane-uninstall.exe", E::Absent}}));
    // A record made before the uninstaller had an entry; a value that is no content is no entry.
    Record older = here.record;
    older.erase(L"kelvane-uninstall.exe");
    older[L"tiktor.exe"] = L"";
    const auto planned = terms(plan(kLists, false, older, true));
    EXPECT_EQ(planned.at(L"kelvane-uninstall.exe"), E::Ours);
    EXPECT_EQ(planned.at(L"tiktor.exe"), E::Absent);
    EXPECT_EQ(plan(kLists, false, here.record, true).front().name, L"kelvane.exe");
}

TEST(InstallSurvey, NamesWhatStandsInTheWay) {
    Installed here;
    here.folder.files[L"nuacpi.dll"].bytes = "the platform's own";  // changed since Setup wrote it
    here.folder.files[L"tiktor.exe"].standing = Standing::Link;     // planted
    here.folder.files.erase(L"resource\\connect.ico");
    here.folder.folders.erase(L"resource");
    here.folder.files[L"resource"] = {Standing::Link, ""};
    here.folder.files[L"resource\\connect.ico"] = {Standing::File, "behind the link"};
    here.folder.inUse.insert(L"kelvane.exe");
    const auto planned = plan(kLists, true, here.record, true);
    EXPECT_EQ(survey(planned, here.folder, kLists, false),
              (std::vector<Finding>{{Problem::Link, L"resource", L""},
                                    {Problem::Link, L"tiktor.exe", L""},
                                    {Problem::ChangedSinceWritten, L"nuacpi.dll", L""}}));
    EXPECT_EQ(survey(planned, here.folder, kLists, true).front(), (Finding{Problem::Link, L"resource", L""}));
    EXPECT_EQ(survey(planned, here.folder, kLists, true).at(1),
              (Finding{Problem::InUse, L"kelvane.exe", L"made to fail"}));

    // A folder that holds another program's files under the server's names; its own card database.
    FakeFolder platform;
    platform.files[L"kelvane.exe"] = {Standing::File, "someone's"};
    platform.files[L"Info.ini"] = {Standing::File, "someone's"};
    platform.files[L"kelvane-uninstall.exe"] = {Standing::Folder, ""};
    EXPECT_EQ(survey(plan(kLists, false, {}, false), platform, kLists, true),
              (std::vector<Finding>{{Problem::NotWrittenBySetup, L"kelvane.exe", L""},
                                    {Problem::NotWrittenBySetup, L"kelvane-uninstall.exe", L""}}));
}

// Every step that can fail is made to fail in turn: the folder is then exactly as before.
TEST(InstallCommit, AFailureAtAnyStepLeavesTheFolderAsItWas) {
    Installed clean;
    const auto planned = plan(kLists, true, clean.record, true);
    const Outcome done = commit(planned, clean.folder, kLists, clean.record, clean.folder.keeper());
    ASSERT_TRUE(done.findings.empty());
    EXPECT_EQ(clean.folder.kept, done.record);
    EXPECT_EQ(clean.folder.previousWhenKept, clean.record.size()) << "every previous file kept till then";
    const int steps = clean.folder.steps;
    ASSERT_GT(steps, 20);
    for (const std::wstring& name : kLists.server)
        EXPECT_EQ(clean.folder.files.at(name).bytes, "new " + std::string(name.begin(), name.end()));
    EXPECT_TRUE(clean.folder.previous.empty()) << "the previous files are let go of";
    EXPECT_EQ(done.record.at(L"tiktor.exe"), recordValue(contentOf(L"tiktor.exe", "new tiktor.exe")));
    EXPECT_EQ(done.record.size(), kLists.server.size() + kLists.board.size());

    for (int failing = 0; failing < steps; ++failing) {
        Installed here;
        here.folder.failingStep = failing;
        const auto before = here.folder.live();
        const Outcome failed = commit(planned, here.folder, kLists, here.record, here.folder.keeper());
        ASSERT_EQ(failed.findings.size(), 1u) << "step " << failing;
        EXPECT_EQ(here.folder.live(), before) << "step " << failing;
        EXPECT_TRUE(failed.record.empty());
        EXPECT_FALSE(here.folder.kept) << "step " << failing;
    }
}

TEST(InstallCommit, ActsOnWhatStandsAtEachNameAsItActs) {
    // A fresh folder with a card database of its own; the resource folder made.
    FakeFolder fresh;
    fresh.files[L"Info.ini"] = {Standing::File, "the platform's database"};
    for (const std::wstring& name : kLists.server) fresh.staged[name] = "new";
    Outcome done = commit(plan(kLists, false, {}, false), fresh, kLists, {}, fresh.keeper());
    ASSERT_TRUE(done.findings.empty());
    EXPECT_TRUE(done.madeResourceFolder);
    EXPECT_EQ(fresh.files.at(L"Info.ini").bytes, "the platform's database");
    EXPECT_EQ(done.log, std::vector<std::wstring>{L"Kept C:\\kv\\Info.ini: Setup did not write it"});
    EXPECT_EQ(done.record.count(L"Info.ini"), 0u);

    // A name Setup has not written here that a file took after the survey is not overwritten.
    {
        Installed here;
        Record withoutTiktor = here.record;
        withoutTiktor.erase(L"tiktor.exe");
        const auto planned = plan(kLists, true, withoutTiktor, true);
        here.folder.files[L"tiktor.exe"] = {Standing::File, "another program's"};
        const auto before = here.folder.live();
        EXPECT_EQ(commit(planned, here.folder, kLists, withoutTiktor, here.folder.keeper()).findings,
                  (std::vector<Finding>{{Problem::NotWrittenBySetup, L"tiktor.exe", L""}}));
        EXPECT_EQ(here.folder.live(), before);
    }
    // Nor is a board file that changed after the survey.
    {
        Installed here;
        const auto planned = plan(kLists, true, here.record, true);
        here.folder.files[L"nuacpi.dll"].bytes = "the platform's own";
        const auto before = here.folder.live();
        EXPECT_EQ(commit(planned, here.folder, kLists, here.record, here.folder.keeper()).findings,
                  (std::vector<Finding>{{Problem::ChangedSinceWritten, L"nuacpi.dll", L""}}));
        EXPECT_EQ(here.folder.live(), before);
    }

    // An update without the board keeps the board's entries on the record.
    Installed here;
    done = commit(plan(kLists, false, here.record, true), here.folder, kLists, here.record,
                  here.folder.keeper());
    ASSERT_TRUE(done.findings.empty());
    EXPECT_EQ(done.record.at(L"nuacpi.dll"), here.record.at(L"nuacpi.dll"));
    EXPECT_EQ(here.folder.files.at(L"nuacpi.dll").bytes, "old nuacpi.dll");
}

TEST(InstallRemoval, DeletesWhatIsStillSetupsServerFirstOrNothingWhenOneIsHeld) {
    Installed here;
    here.record[L"..\\outside.dll"] = here.record.at(L"nuacpi.dll");  // not a name Setup writes
    here.folder.files[L"..\\outside.dll"] = here.folder.files.at(L"nuacpi.dll");
    here.folder.files[L"linkctl.exe"].bytes = "replaced by the platform";
    here.folder.files[L"Info.ini"].bytes += "[Voltage]\nLarge=1075\n";  // the server's write

    // Held by a program, or a program runs from it (which does not keep it from being held)
    for (auto* inUse : {&here.folder.inUse, &here.folder.running}) {
        inUse->insert(L"tiktor.exe");
        const auto before = here.folder.live();
        Removal refused(here.folder, kLists, here.record, true);
        EXPECT_EQ(refused.prepare(),
                  (std::vector<Finding>{{Problem::InUse, L"tiktor.exe", L"made to fail"}}));
        EXPECT_EQ(here.folder.live(), before) << "nothing deleted";
        inUse->clear();
    }

    // Held, and then still not deleted: the server's program keeps everything at an uninstall (not at
    // a move, whose new installation is in); another file only itself.
    const auto deletedWhen = [&](const wchar_t* undeletable, bool wholeWhileServerStays) {
        Installed again;
        again.folder.undeletable.insert(undeletable);
        Removal removal(again.folder, kLists, again.record, true);
        EXPECT_TRUE(removal.prepare().empty());
        EXPECT_EQ(removal.finish(wholeWhileServerStays),
                  (std::vector<Finding>{{Problem::InUse, undeletable, L"made to fail"}}));
        EXPECT_EQ(removal.remaining().count(undeletable), 1u);
        EXPECT_EQ(removal.deletedAny(), !again.folder.deleted.empty());
        return again.folder.deleted.size();
    };
    EXPECT_EQ(deletedWhen(L"kelvane.exe", true), 0u);
    EXPECT_EQ(deletedWhen(L"kelvane.exe", false), 5u);
    EXPECT_EQ(deletedWhen(L"tiktor.exe", true), 5u);

    Removal removal(here.folder, kLists, here.record, true);
    ASSERT_TRUE(removal.prepare().empty());
    EXPECT_TRUE(here.folder.deleted.empty()) << "held, not yet deleted";
    EXPECT_TRUE(removal.finish(true).empty());
    EXPECT_TRUE(removal.deletedAny());
    EXPECT_EQ(here.folder.deleted.front(), L"kelvane.exe");
    EXPECT_EQ(std::set<std::wstring>(here.folder.deleted.begin(), here.folder.deleted.end()),
              (std::set<std::wstring>{L"kelvane.exe", L"tiktor.exe", L"Info.ini", L"resource\\connect.ico",
                                      L"nuacpi.dll"}));
    EXPECT_EQ(here.folder.files.count(L"linkctl.exe"), 1u);
    EXPECT_EQ(here.folder.files.count(L"..\\outside.dll"), 1u);
    EXPECT_EQ(here.folder.files.count(L"kelvane-uninstall.exe"), 1u) << "removed by itself, last";
    EXPECT_EQ(removal.remaining(),
              (Record{{L"kelvane-uninstall.exe", here.record.at(L"kelvane-uninstall.exe")}}));
    EXPECT_EQ(removal.log(),
              (std::vector<std::wstring>{
                  L"Ignored the record's entry \"..\\outside.dll\": it names no file of " KV_PRODUCT_NAME,
                  L"Deleting C:\\kv\\Info.ini: only the server's own voltage write changed it",
                  L"Kept C:\\kv\\linkctl.exe: it has changed since Setup installed it"}));
}

}  // namespace
}  // namespace setupkit
