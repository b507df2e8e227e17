#include "installer/plugin/Installation.h"

#include <algorithm>
#include <optional>

#include "Version.h"

namespace setupkit {
namespace {

wchar_t folded(wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c; }

bool listed(const std::vector<std::wstring>& names, const std::wstring& name) {
    return std::any_of(names.begin(), names.end(), [&](const std::wstring& n) { return sameName(n, name); });
}

bool isUnder(const std::wstring& name, const std::wstring& folder) {
    return name.size() > folder.size() && name[folder.size()] == L'\\' &&
           sameName(name.substr(0, folder.size()), folder);
}

// The finding for what stands at a name, or none when a file stands there (which the caller judges)
// or nothing.
std::optional<Finding> standingFinding(Standing standing, const std::wstring& name,
                                       const ProgramFolder& folder) {
    switch (standing) {
        case Standing::Absent:
        case Standing::File:
            return std::nullopt;
        case Standing::Link:
            return Finding{Problem::Link, name, {}};
        case Standing::Folder:
            return Finding{Problem::NotWrittenBySetup, name, {}};
        case Standing::InUse:
            return Finding{Problem::InUse, name, folder.lastProblem()};
        case Standing::Unreachable:
            return Finding{Problem::Unreadable, name, folder.lastProblem()};
    }
    return std::nullopt;
}

// The finding for a file that stands at a planned name, or none when Setup may act on it.
std::optional<Finding> fileFinding(const PlannedFile& planned, HeldFile& file, const ProgramFolder& folder) {
    switch (planned.expectation) {
        case Expectation::Absent:
            return Finding{Problem::NotWrittenBySetup, planned.name, {}};
        case Expectation::Ours:
        case Expectation::KeptIfPresent:
            return std::nullopt;
        case Expectation::OursUnchanged: {
            const std::optional<Content> now = file.content();
            if (!now) return Finding{Problem::Unreadable, planned.name, folder.lastProblem()};
            if (compare(planned.recorded, *now) != Sameness::AsWritten)
                return Finding{Problem::ChangedSinceWritten, planned.name, {}};
            return std::nullopt;
        }
    }
    return std::nullopt;
}

std::optional<Finding> resourceFolderFinding(ProgramFolder& folder, const FileLists& lists) {
    const Standing standing = folder.folderStanding(lists.resourceFolder);
    if (standing == Standing::Folder || standing == Standing::Absent) return std::nullopt;
    if (standing == Standing::File) return Finding{Problem::NotWrittenBySetup, lists.resourceFolder, {}};
    return standingFinding(standing, lists.resourceFolder, folder);
}

// What commit has done, to be undone in reverse.
struct Step {
    enum class Kind { MadeFolder, MovedPrevious, Placed } kind;
    std::wstring name;
};

void undo(const std::vector<Step>& done, ProgramFolder& folder, std::vector<std::wstring>& log) {
    bool whole = true;
    // A step that could not be taken back is said, and the folder is then not whole.
    const auto takenBack = [&](bool taken, const wchar_t* what, const std::wstring& name) {
        if (taken) return;
        log.push_back(std::wstring(L"Could not ") + what + folder.shown(name) + L": " + folder.lastProblem());
        whole = false;
    };
    for (std::size_t at = done.size(); at-- > 0;) {
        const Step& step = done[at];
        switch (step.kind) {
            case Step::Kind::Placed:
                takenBack(folder.unplace(step.name), L"take back the new ", step.name);
                break;
            case Step::Kind::MovedPrevious:
                takenBack(folder.restorePrevious(step.name), L"put back the previous ", step.name);
                break;
            case Step::Kind::MadeFolder:
                folder.removeEmptyFolder(step.name);
                break;
        }
    }
    if (!done.empty() && whole) log.push_back(L"Every file in the folder is back as it was");
}

}  // namespace

bool NameLess::operator()(const std::wstring& a, const std::wstring& b) const {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](wchar_t x, wchar_t y) { return folded(x) < folded(y); });
}

bool sameName(const std::wstring& a, const std::wstring& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](wchar_t x, wchar_t y) { return folded(x) == folded(y); });
}

bool FileLists::isBoardFile(const std::wstring& name) const { return listed(board, name); }

bool FileLists::isKnown(const std::wstring& name) const {
    return listed(server, name) || listed(board, name);
}

std::vector<PlannedFile> plan(const FileLists& lists, bool withBoard, const Record& record,
                              bool installedHere) {
    std::vector<std::wstring> names = lists.server;
    if (withBoard) names.insert(names.end(), lists.board.begin(), lists.board.end());
    std::vector<PlannedFile> planned;
    for (const std::wstring& name : names) {
        const auto entry = record.find(name);
        const std::optional<RecordedContent> recorded =
            entry == record.end() ? std::nullopt : parseRecordValue(entry->second);
        if (recorded)
            planned.push_back(
                {name, lists.isBoardFile(name) ? Expectation::OursUnchanged : Expectation::Ours, *recorded});
        else if (sameName(name, lists.cardDatabase))
            planned.push_back({name, Expectation::KeptIfPresent, {}});
        else if (sameName(name, lists.uninstaller) && installedHere)
            planned.push_back({name, Expectation::Ours, {}});  // recorded only since this Setup
        else
            planned.push_back({name, Expectation::Absent, {}});
    }
    return planned;
}

std::vector<Finding> survey(const std::vector<PlannedFile>& planned, ProgramFolder& folder,
                            const FileLists& lists, bool forChange) {
    std::vector<Finding> findings;
    const std::optional<Finding> resource = resourceFolderFinding(folder, lists);
    if (resource) findings.push_back(*resource);
    for (const PlannedFile& file : planned) {
        // Nothing under a resource folder that is not one is looked at: it would be followed.
        if (resource && isUnder(file.name, lists.resourceFolder)) continue;
        Hold hold = folder.hold(file.name, forChange && file.expectation != Expectation::KeptIfPresent);
        std::optional<Finding> finding = standingFinding(hold.standing, file.name, folder);
        if (!finding && hold.file) finding = fileFinding(file, *hold.file, folder);
        if (finding) findings.push_back(*finding);
    }
    return findings;
}

Outcome commit(const std::vector<PlannedFile>& planned, ProgramFolder& folder, const FileLists& lists,
               Record record, const RecordKeeper& keepRecord) {
    Outcome out;
    std::vector<Step> done;
    const auto fail = [&](Finding finding) {
        undo(done, folder, out.log);
        out.findings.push_back(std::move(finding));
        out.madeResourceFolder = false;
        return out;
    };
    Record written;
    for (const PlannedFile& file : planned) {
        const std::optional<Content> content = folder.stagedContent(file.name);
        const std::wstring value = content ? recordValue(*content) : L"";
        if (value.empty()) return fail({Problem::NotWritten, file.name, folder.lastProblem()});
        written[file.name] = value;
    }
    if (const std::optional<Finding> resource = resourceFolderFinding(folder, lists)) return fail(*resource);
    if (folder.folderStanding(lists.resourceFolder) == Standing::Absent) {
        if (!folder.makeFolder(lists.resourceFolder))
            return fail({Problem::NotWritten, lists.resourceFolder, folder.lastProblem()});
        done.push_back({Step::Kind::MadeFolder, lists.resourceFolder});
        out.madeResourceFolder = true;
    }
    for (const PlannedFile& file : planned) {
        Hold hold = folder.hold(file.name, file.expectation != Expectation::KeptIfPresent);
        if (const std::optional<Finding> finding = standingFinding(hold.standing, file.name, folder))
            return fail(*finding);
        if (hold.file) {
            if (const std::optional<Finding> finding = fileFinding(file, *hold.file, folder))
                return fail(*finding);
            if (file.expectation == Expectation::KeptIfPresent) {
                out.log.push_back(L"Kept " + folder.shown(file.name) + L": Setup did not write it");
                continue;
            }
            if (!hold.file->moveToPrevious()) return fail({Problem::InUse, file.name, folder.lastProblem()});
            done.push_back({Step::Kind::MovedPrevious, file.name});
            hold.file.reset();
        }
        if (!folder.placeStaged(file.name))
            return fail({Problem::NotWritten, file.name, folder.lastProblem()});
        done.push_back({Step::Kind::Placed, file.name});
        record[file.name] = written[file.name];
    }
    if (const std::optional<Finding> notKept = keepRecord(record)) return fail(*notKept);
    for (const Step& step : done)
        if (step.kind == Step::Kind::MovedPrevious && !folder.dropPrevious(step.name))
            out.log.push_back(L"The previous " + folder.shown(step.name) + L" " + folder.lastProblem());
    out.record = std::move(record);
    return out;
}

Removal::Removal(ProgramFolder& folder, const FileLists& lists, Record record, bool keepUninstaller)
    : m_folder(folder), m_lists(lists), m_keepUninstaller(keepUninstaller), m_remaining(std::move(record)) {}

std::vector<Finding> Removal::prepare() {
    std::vector<Finding> findings;
    const Record record = m_remaining;
    for (const auto& [name, value] : record) {
        if (!m_lists.isKnown(name)) {
            m_log.push_back(L"Ignored the record's entry \"" + name +
                            L"\": it names no file of " KV_PRODUCT_NAME);
            m_remaining.erase(name);
            continue;
        }
        if (m_keepUninstaller && sameName(name, m_lists.uninstaller)) continue;
        const std::optional<RecordedContent> recorded = parseRecordValue(value);
        Hold hold = m_folder.hold(name, true);
        if (hold.standing == Standing::InUse || hold.standing == Standing::Unreachable) {
            findings.push_back(*standingFinding(hold.standing, name, m_folder));
            continue;
        }
        if (!hold.file) {
            if (hold.standing != Standing::Absent)
                m_log.push_back(L"Kept " + m_folder.shown(name) + L": it is not the file Setup installed");
            m_remaining.erase(name);
            continue;
        }
        const std::optional<Content> now = hold.file->content();
        if (!now) {
            findings.push_back({Problem::Unreadable, name, m_folder.lastProblem()});
            continue;
        }
        const Sameness sameness = recorded ? compare(*recorded, *now) : Sameness::Changed;
        const bool database = sameName(name, m_lists.cardDatabase);
        if (sameness == Sameness::Changed) {
            m_log.push_back(L"Kept " + m_folder.shown(name) + L": it has changed since Setup installed it");
            m_remaining.erase(name);
            continue;
        }
        if (!hold.file->deletable()) {
            findings.push_back({Problem::InUse, name, m_folder.lastProblem()});
            continue;
        }
        if (database)
            m_log.push_back(L"Deleting " + m_folder.shown(name) +
                            (sameness == Sameness::AsWritten
                                 ? L": as Setup installed it"
                                 : L": only the server's own voltage write changed it"));
        m_doomed.push_back({name, std::move(hold.file)});
    }
    if (!findings.empty()) m_doomed.clear();
    return findings;
}

std::vector<Finding> Removal::finish(bool wholeWhileServerStays) {
    std::stable_partition(m_doomed.begin(), m_doomed.end(),
                          [&](const Doomed& d) { return sameName(d.name, m_lists.serverProgram); });
    std::vector<Finding> findings;
    for (Doomed& doomed : m_doomed) {
        if (doomed.file->markDeleted()) {
            m_remaining.erase(doomed.name);
            m_deletedAny = true;
        } else {
            findings.push_back({Problem::InUse, doomed.name, m_folder.lastProblem()});
            m_log.push_back(L"Could not delete " + m_folder.shown(doomed.name) + L": " +
                            m_folder.lastProblem());
            // Were the rest to go, the server that stays would start without its card database.
            if (wholeWhileServerStays && sameName(doomed.name, m_lists.serverProgram)) break;
        }
        doomed.file.reset();
    }
    m_doomed.clear();
    return findings;
}

}  // namespace setupkit
