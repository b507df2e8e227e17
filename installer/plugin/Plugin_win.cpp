// KelvaneSetup.dll: the functions kelvane.nsi calls as KelvaneSetup::Name. Each takes its parameters
// from NSIS's stack and leaves a reply (NsisStack_win.h): a status word first, then its values, then
// lines for the log and the messages.

#include <windows.h>

#include <algorithm>
#include <exception>
#include <optional>

#include "InstallFacts.h"
#include "installer/plugin/AccessLists_win.h"
#include "installer/plugin/Installation.h"
#include "installer/plugin/NsisStack_win.h"
#include "installer/plugin/ProgramFolder_win.h"
#include "installer/plugin/Registration_win.h"
#include "installer/plugin/ServerStart_win.h"
#include "win32/Text.h"

namespace setupkit {
namespace {

using nsis::Reply;

const FileLists& lists() {
    static const FileLists known = facts::fileLists();
    return known;
}

DWORD attributesOf(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()); }
bool exists(DWORD attributes) { return attributes != INVALID_FILE_ATTRIBUTES; }

// The nearest existing folder above the path ("C:\" for "C:\a\b" when only the drive is there).
std::optional<std::wstring> nearestExistingParent(std::wstring path) {
    for (;;) {
        const std::size_t separator = path.find_last_of(L"\\/");
        if (separator == std::wstring::npos || separator == 0) return std::nullopt;
        const bool atRoot = separator == 2 && path[1] == L':';
        path.resize(atRoot ? separator + 1 : separator);
        const DWORD attributes = attributesOf(path);
        if (exists(attributes) && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return path;
        if (atRoot) return std::nullopt;
    }
}

// The reply to a judgement of who can change a folder or file: "ok", "writable" with a line per
// account ("BUILTIN\Users: add files"), "link" or "error"; its value the path judged.
Reply judgement(const std::wstring& judged, Subject subject) {
    DWORD error = 0;
    const std::optional<AccessList> list = readAccessList(judged, error);
    if (!list) return {L"error", {judged}, {win32::systemMessage(error)}};
    Reply reply{L"ok", {judged}, {}};
    for (const ChangeRight& right : changeRights(*list, subject, trustedAccounts(runningAdministrator()))) {
        reply.status = L"writable";
        reply.lines.push_back(accountName(right.account) + L": " + rightsText(right.rights, subject));
    }
    return reply;
}

Reply checkFolder(const std::wstring& folder) {
    const DWORD attributes = attributesOf(folder);
    if (exists(attributes)) {
        if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return {L"link", {folder}, {}};
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
            return {L"error", {folder}, {L"it is a file, not a folder"}};
        return judgement(folder, Subject::Folder);
    }
    const std::optional<std::wstring> parent = nearestExistingParent(folder);
    if (!parent) return {L"error", {folder}, {L"no folder on its path exists, not even its drive"}};
    return judgement(*parent, Subject::ParentOfNewFolder);
}

Reply checkFile(const std::wstring& file) {
    if (!exists(attributesOf(file))) return {L"ok", {file}, {}};
    return judgement(file, Subject::File);
}

// Findings as the script tells them apart: the most serious kind's status and its files.
Reply findingsReply(const std::vector<Finding>& findings, bool ofAnotherFolder) {
    const auto statusOf = [&](const Finding& f) -> std::wstring {
        if (ofAnotherFolder) return L"old-in-use";
        switch (f.problem) {
            case Problem::Link:
                return L"link";
            case Problem::NotWrittenBySetup:
                return lists().isBoardFile(f.name) ? L"foreign-board" : L"foreign-server";
            case Problem::ChangedSinceWritten:
                return L"foreign-board";
            case Problem::Unreadable:
                return L"unreadable";
            case Problem::InUse:
                return L"in-use";
            case Problem::NotWritten:
                return L"write-failed";
        }
        return L"error";
    };
    const auto whyOf = [](const Finding& f) -> std::wstring {
        switch (f.problem) {
            case Problem::Link:
                return L"a junction or symbolic link, which Setup does not follow";
            case Problem::NotWrittenBySetup:
                return L"not written by Setup";
            case Problem::ChangedSinceWritten:
                return L"changed since Setup wrote it";
            case Problem::Unreadable:
                return L"cannot be read (" + f.detail + L")";
            case Problem::InUse:
                return L"in use (" + f.detail + L")";
            case Problem::NotWritten:
                return L"could not be written (" + f.detail + L")";
        }
        return {};
    };
    const std::vector<const wchar_t*> severity = {L"link",       L"foreign-server", L"foreign-board",
                                                  L"unreadable", L"in-use",         L"write-failed",
                                                  L"old-in-use"};
    Reply reply{L"ok", {}, {}};
    for (const wchar_t* status : severity) {
        for (const Finding& f : findings)
            if (statusOf(f) == status) reply.lines.push_back(f.name + L": " + whyOf(f));
        if (!reply.lines.empty()) {
            reply.status = status;
            break;
        }
    }
    return reply;
}

bool registeredElsewhere(const std::wstring& folder, std::wstring& registered) {
    registered = registeredFolder().value_or(L"");
    return !registered.empty() && exists(attributesOf(registered)) && !sameFolder(registered, folder);
}

// The removal of the registered installation in another folder, with the uninstaller of that folder
// (records made before the uninstaller had an entry leave it out).
Record recordOfOtherFolder(Record record) {
    if (!record.count(lists().uninstaller)) record[lists().uninstaller] = L"any";
    return record;
}

Reply surveyFolder(const std::wstring& folder, bool withBoard, bool forChange) {
    const bool installedHere = exists(attributesOf(folder)) && isRegisteredFolder(folder);
    const Record record = readRecord();
    WindowsProgramFolder here(folder, L"", lists());
    const std::vector<Finding> findings = survey(
        plan(lists(), withBoard, installedHere ? record : Record{}, installedHere), here, lists(), forChange);
    if (!findings.empty()) return findingsReply(findings, false);
    std::wstring registered;
    if (installedHere || !forChange || !registeredElsewhere(folder, registered)) return {L"ok", {}, {}};
    WindowsProgramFolder previous(registered, L"", lists());
    Removal removal(previous, lists(), recordOfOtherFolder(record), false);
    return findingsReply(removal.prepare(), true);
}

Reply makeFolder(const std::wstring& folder) {
    const DWORD attributes = attributesOf(folder);
    if (exists(attributes)) {
        if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return {L"link", {folder, L""}, {}};
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
            return {L"error", {folder, L""}, {folder + L": it is a file, not a folder"}};
        return {L"ok", {finalFolderPath(folder), L""}, {}};
    }
    std::vector<std::wstring> missing{folder};
    const std::optional<std::wstring> parent = nearestExistingParent(folder);
    if (!parent) return {L"error", {folder, L""}, {folder + L": no folder on its path exists"}};
    for (std::wstring up = folder; (up = up.substr(0, up.find_last_of(L"\\/"))).size() > parent->size();)
        missing.push_back(up);
    std::vector<std::wstring> created;
    for (auto made = missing.rbegin(); made != missing.rend(); ++made) {
        DWORD error = 0;
        if (!makeProtectedFolder(*made, error)) {
            for (auto undone = created.rbegin(); undone != created.rend(); ++undone)
                ::RemoveDirectoryW(undone->c_str());
            return {L"error", {folder, L""}, {*made + L": " + win32::systemMessage(error)}};
        }
        created.push_back(*made);
    }
    const std::wstring final = finalFolderPath(folder);
    for (std::wstring& made : created) made = final.substr(0, final.size() - (folder.size() - made.size()));
    return {L"ok", {final, joinedFolders(created)}, {}};
}

Reply makeStageIn(const std::wstring& folder) {
    DWORD error = 0;
    const std::optional<std::wstring> stage = makeStage(folder, lists(), error);
    if (!stage) return {L"error", {L""}, {win32::systemMessage(error)}};
    return {L"ok", {*stage}, {}};
}

Reply commitStaged(const std::wstring& folder, const std::wstring& stage, const std::wstring& created,
                   bool withBoard) {
    const bool installedHere = isRegisteredFolder(folder);
    const Record record = readRecord();
    // The installation in another folder gives way to this one: its files are held before anything
    // changes here, and deleted once this one is in.
    std::wstring registered;
    std::optional<WindowsProgramFolder> previousFolder;
    std::optional<Removal> previous;
    std::vector<std::wstring> previousCreated;
    if (!installedHere && registeredElsewhere(folder, registered)) {
        previousFolder.emplace(registered, L"", lists());
        previous.emplace(*previousFolder, lists(), recordOfOtherFolder(record), false);
        const std::vector<Finding> held = previous->prepare();
        if (!held.empty()) {
            Reply reply = findingsReply(held, true);
            for (const std::wstring& line : removeStage(stage, lists())) reply.lines.push_back(line);
            return reply;
        }
        previousCreated = createdFolders(registered, lists());
    }

    WindowsProgramFolder here(folder, stage, lists());
    // The record is stored while the previous files can still be put back: an installation is never
    // left without it. One that could not be stored is put back as it was.
    const RecordKeeper keepRecord = [&](const Record& kept) -> std::optional<Finding> {
        DWORD error = 0;
        if (writeRecord(kept, error)) return std::nullopt;
        const Finding notKept{Problem::NotWritten, L"HKEY_LOCAL_MACHINE\\" + std::wstring(facts::kRecordKey),
                              win32::systemMessage(error)};
        writeRecord(record, error);
        return notKept;
    };
    const Outcome outcome = commit(plan(lists(), withBoard, installedHere ? record : Record{}, installedHere),
                                   here, lists(), installedHere ? record : Record{}, keepRecord);
    std::vector<std::wstring> log = outcome.log;
    const auto finish = [&](Reply reply) {
        for (const std::wstring& line : removeStage(stage, lists())) log.push_back(line);
        reply.lines.insert(reply.lines.begin(), log.begin(), log.end());
        return reply;
    };
    if (!outcome.findings.empty()) return finish(findingsReply(outcome.findings, false));

    DWORD error = 0;
    std::vector<std::wstring> folders =
        installedHere ? createdFolders(folder, lists()) : std::vector<std::wstring>{};
    for (const std::wstring& made : splitFolders(created)) folders.push_back(made);
    if (outcome.madeResourceFolder) folders.push_back(folder + L'\\' + lists().resourceFolder);
    if (!writeCreatedFolders(folders, error))
        log.push_back(L"Could not write the list of folders Setup created: " + win32::systemMessage(error));

    if (previous) {
        previous->finish(false);
        for (const std::wstring& line : previous->log()) log.push_back(line);
        for (auto made = previousCreated.rbegin(); made != previousCreated.rend(); ++made)
            ::RemoveDirectoryW(made->c_str());
        log.push_back(L"Removed the installation in " + registered);
    }
    return finish({L"ok", {}, {}});
}

Reply tidy(const std::wstring& stage, const std::wstring& created) {
    Reply reply{L"ok", {}, stage.empty() ? std::vector<std::wstring>{} : removeStage(stage, lists())};
    const std::vector<std::wstring> folders = splitFolders(created);
    for (auto made = folders.rbegin(); made != folders.rend(); ++made) ::RemoveDirectoryW(made->c_str());
    return reply;
}

Reply removeInstallation(const std::wstring& folder) {
    if (!isRegisteredFolder(folder)) return {L"not-registered", {registeredFolder().value_or(L""), L""}, {}};
    WindowsProgramFolder here(folder, L"", lists());
    Removal removal(here, lists(), readRecord(), true);
    // Nothing deleted: what stands in the way, after what the removal logged.
    const auto nothingRemoved = [&](const std::vector<Finding>& findings) {
        Reply reply = findingsReply(findings, false);
        reply.values = {L"", L""};
        reply.lines.insert(reply.lines.begin(), removal.log().begin(), removal.log().end());
        return reply;
    };
    const std::vector<Finding> held = removal.prepare();
    if (!held.empty()) return nothingRemoved(held);
    // The Run value first: no logon starts a server that is going.
    const std::optional<std::wstring> runValue = readRunValue();
    DWORD error = 0;
    if (!deleteRunValue(error))
        return {L"failed", {L"", L""}, {L"Could not delete the Run value: " + win32::systemMessage(error)}};
    const std::vector<Finding> notDeleted = removal.finish(true);
    if (!notDeleted.empty() && !removal.deletedAny()) {
        // The server's program stayed, and with it everything: the installation is whole again.
        Reply reply = nothingRemoved(notDeleted);
        if (runValue && !writeRunValue(*runValue, error))
            reply.lines.push_back(L"Could not put back the Run value: " + win32::systemMessage(error));
        return reply;
    }
    writeRecord(removal.remaining(), error);
    const std::vector<std::wstring> folders = createdFolders(folder, lists());
    return {notDeleted.empty() ? L"ok" : L"partly", {L"", joinedFolders(folders)}, removal.log()};
}

Reply startServer(const std::wstring& program, const std::wstring& folder) {
    const StartReport report = startAsDesktopUser(program, folder);
    return {report.started ? L"started" : L"not-started", {report.reason}, {}};
}

// Runs one function of the plug-in: a failure of its own is a reply too, never an exception in NSIS.
template <typename Function>
void serve(int stringSize, nsis::StackEntry** top, Function function) {
    nsis::Stack stack(stringSize, top);
    Reply reply;
    try {
        reply = function(stack);
    } catch (const std::exception& e) {
        reply = {L"error", {}, {win32::widen(e.what())}};
    }
    nsis::push(stack, reply);
}

}  // namespace
}  // namespace setupkit

#define KV_NSIS_FUNCTION(name)                                                         \
    extern "C" __declspec(dllexport) void __cdecl name(HWND, int stringSize, wchar_t*, \
                                                       setupkit::nsis::StackEntry** stack, void*)

using setupkit::nsis::Stack;

// CheckFolder FOLDER: who other than the administrators can change the folder (or, when it does not
// exist, what its nearest existing parent passes on). Values: the folder judged.
KV_NSIS_FUNCTION(CheckFolder) {
    setupkit::serve(stringSize, stack, [](Stack& s) { return setupkit::checkFolder(s.pop()); });
}

// CheckFile FILE: who other than the administrators can change the file. Values: the file.
KV_NSIS_FUNCTION(CheckFile) {
    setupkit::serve(stringSize, stack, [](Stack& s) { return setupkit::checkFile(s.pop()); });
}

// Survey FOLDER BOARD(0|1) FORCHANGE(0|1): what stands in the way of writing the server's files (and
// the board's) into the folder; with FORCHANGE, also whether each is free to be replaced, and the
// files of a registered installation in another folder free to be deleted.
KV_NSIS_FUNCTION(Survey) {
    setupkit::serve(stringSize, stack, [](Stack& s) {
        const std::wstring folder = s.pop();
        const bool board = s.pop() == L"1";
        return setupkit::surveyFolder(folder, board, s.pop() == L"1");
    });
}

// MakeFolder FOLDER: the folder and any missing parent, each with the protected access list. Values:
// the folder's final path, the folders created ("|" between them).
KV_NSIS_FUNCTION(MakeFolder) {
    setupkit::serve(stringSize, stack, [](Stack& s) { return setupkit::makeFolder(s.pop()); });
}

// Stage FOLDER: Setup's stage in the folder. Values: its path.
KV_NSIS_FUNCTION(Stage) {
    setupkit::serve(stringSize, stack, [](Stack& s) { return setupkit::makeStageIn(s.pop()); });
}

// Commit FOLDER STAGE CREATED BOARD(0|1): the staged files into the folder, all or nothing; the record;
// the installation in another folder removed. The stage goes either way.
KV_NSIS_FUNCTION(Commit) {
    setupkit::serve(stringSize, stack, [](Stack& s) {
        const std::wstring folder = s.pop();
        const std::wstring stage = s.pop();
        const std::wstring created = s.pop();
        return setupkit::commitStaged(folder, stage, created, s.pop() == L"1");
    });
}

// Tidy STAGE FOLDERS: Setup's stage goes (a failed install's), and of the folders Setup created ("|"
// between them, parents first) each that is empty, the last first.
KV_NSIS_FUNCTION(Tidy) {
    setupkit::serve(stringSize, stack, [](Stack& s) {
        const std::wstring stage = s.pop();
        return setupkit::tidy(stage, s.pop());
    });
}

// Remove FOLDER: the uninstaller's removal of the registered installation's recorded files, the Run
// value before them. Values: the registered folder (when FOLDER is not it), the folders Setup created.
KV_NSIS_FUNCTION(Remove) {
    setupkit::serve(stringSize, stack, [](Stack& s) { return setupkit::removeInstallation(s.pop()); });
}

// IsRegistered FOLDER: "1" when the folder is the registered installation's, however spelt.
KV_NSIS_FUNCTION(IsRegistered) {
    setupkit::serve(stringSize, stack, [](Stack& s) {
        return setupkit::nsis::Reply{setupkit::isRegisteredFolder(s.pop()) ? L"1" : L"0", {}, {}};
    });
}

// StartServer PROGRAM FOLDER: the server started as the desktop's signed-in user, or not at all.
// Values: why not.
KV_NSIS_FUNCTION(StartServer) {
    setupkit::serve(stringSize, stack, [](Stack& s) {
        const std::wstring program = s.pop();
        return setupkit::startServer(program, s.pop());
    });
}
