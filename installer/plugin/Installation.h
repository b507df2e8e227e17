#pragma once
// Setup's decisions over the program folder: what it writes there and on what terms (the plan), what
// stands in the way (the survey, which the folder page and a silent run report), the writing itself,
// all or nothing (commit), and the removal of an installation's recorded files (the uninstaller's,
// and that of an installation moving to another folder).

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "installer/plugin/ProgramFolder.h"
#include "installer/plugin/RecordedContent.h"

namespace setupkit {

// Names compare as Windows compares file names: without regard to case.
struct NameLess {
    bool operator()(const std::wstring& a, const std::wstring& b) const;
};
bool sameName(const std::wstring& a, const std::wstring& b);

// The names Setup writes: the server's files (its programs, the card database, the skin in the
// resource folder, the uninstaller) and the simulated mainboard's.
struct FileLists {
    std::vector<std::wstring> server;
    std::vector<std::wstring> board;
    std::wstring serverProgram;  // at a removal, gone first (after the Run value that starts it)
    std::wstring cardDatabase;
    std::wstring uninstaller;
    std::wstring resourceFolder;

    bool isBoardFile(const std::wstring& name) const;
    bool isKnown(const std::wstring& name) const;
};

// The record: a value per file Setup wrote, by its name in the folder.
using Record = std::map<std::wstring, std::wstring, NameLess>;

enum class Expectation {
    Absent,         // Setup has not written this name here: nothing may stand there
    Ours,           // the server's own file on the record: replaced whatever it holds now
    OursUnchanged,  // the board's file on the record: replaced only while it is as Setup wrote it
    KeptIfPresent,  // the card database that Setup did not write: one that is there stays
};

struct PlannedFile {
    std::wstring name;
    Expectation expectation = Expectation::Absent;
    RecordedContent recorded;
};

// What Setup writes, in order (the server's program first), and on what terms. `record` is the record
// of this folder: empty when there is none, or when it is of another folder (`installedHere` false).
std::vector<PlannedFile> plan(const FileLists& lists, bool withBoard, const Record& record,
                              bool installedHere);

enum class Problem {
    Link,                 // a junction or symbolic link: never followed
    NotWrittenBySetup,    // a file or folder under the name that is not on the record
    ChangedSinceWritten,  // the board's file on the record, changed since
    Unreadable,           // cannot be read or hashed, so cannot be judged
    InUse,                // held by a program, so cannot be replaced or deleted
    NotWritten,           // Setup's own write or hash failed
};

struct Finding {
    Problem problem;
    std::wstring name;
    std::wstring detail;  // the system's reason, where it has one

    bool operator==(const Finding&) const = default;
};

// What stands in the way of the plan now. forChange (once the server has closed): whether each file
// that Setup would replace is free to be replaced.
std::vector<Finding> survey(const std::vector<PlannedFile>& planned, ProgramFolder& folder,
                            const FileLists& lists, bool forChange);

struct Outcome {
    std::vector<Finding> findings;  // empty when done; the first failure otherwise
    std::vector<std::wstring> log;
    Record record;  // the record to keep, when done
    bool madeResourceFolder = false;
};

// Stores the record once every new file is in; a finding when it cannot.
using RecordKeeper = std::function<std::optional<Finding>(const Record&)>;

// Puts the staged files in place, all or nothing. Every staged file is hashed first; then each name
// is judged again as it is acted on, held so that nothing changes between the judgement and the act,
// its previous file moved into the stage and the new one put in. The record, `record` with what was
// written, is then kept (keepRecord). A failure at any step, the record's among them, puts everything
// back; only when done are the previous files let go of.
Outcome commit(const std::vector<PlannedFile>& planned, ProgramFolder& folder, const FileLists& lists,
               Record record, const RecordKeeper& keepRecord);

// Removes an installation's recorded files that are still as Setup wrote them (and the card database
// that only the server has written to); the others are kept and logged. prepare holds every such file
// and, when one cannot be held or read, lets go of all of them: nothing is deleted. finish deletes
// them, the server's program first. Should that one still not go (a program started from it after
// all), an uninstall keeps the rest too (wholeWhileServerStays): the installation stays whole; a
// move to another folder, whose new installation is already in, deletes what it can.
class Removal {
  public:
    // keepUninstaller: the uninstaller that runs removes itself at its end.
    Removal(ProgramFolder& folder, const FileLists& lists, Record record, bool keepUninstaller);

    std::vector<Finding> prepare();
    std::vector<Finding> finish(bool wholeWhileServerStays);

    const std::vector<std::wstring>& log() const { return m_log; }
    // Whether finish deleted any file.
    bool deletedAny() const { return m_deletedAny; }
    // What is still Setup's afterwards: the files that could not be deleted after all (and the
    // uninstaller, when kept).
    const Record& remaining() const { return m_remaining; }

  private:
    struct Doomed {
        std::wstring name;
        std::unique_ptr<HeldFile> file;
    };
    ProgramFolder& m_folder;
    const FileLists& m_lists;
    bool m_keepUninstaller;
    bool m_deletedAny = false;
    Record m_remaining;
    std::vector<Doomed> m_doomed;
    std::vector<std::wstring> m_log;
};

}  // namespace setupkit
