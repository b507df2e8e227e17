#pragma once
// The program folder as Setup acts on it, file by file: what stands at a name (links are never
// followed), a file held while Setup judges and moves or deletes it, and Setup's stage in the folder
// (the new files, written and hashed before any of them goes in, and the previous files, kept until
// the new ones are in). Names are relative to the folder ("resource\connect.ico").

#include <memory>
#include <optional>
#include <string>

#include "installer/plugin/RecordedContent.h"

namespace setupkit {

enum class Standing { Absent, File, Folder, Link, InUse, Unreachable };

// A file of the program folder, open. Held for a change, nobody else may write, rename or delete it
// until it is let go.
class HeldFile {
  public:
    virtual ~HeldFile() = default;
    // Its content as the record compares it; none when it cannot be read or hashed.
    virtual std::optional<Content> content() = 0;
    // Into the stage's previous files, under the same name.
    virtual bool moveToPrevious() = 0;
    // Whether it could be deleted now, left as it was: a running program's file, or a library one has
    // loaded, can be held and renamed, but not deleted.
    virtual bool deletable() = 0;
    // Gone once let go.
    virtual bool markDeleted() = 0;
};

struct Hold {
    Standing standing = Standing::Absent;
    std::unique_ptr<HeldFile> file;  // while standing is File
};

class ProgramFolder {
  public:
    virtual ~ProgramFolder() = default;
    // The file at the name: held for a change (written by nobody else, deletable), or only opened
    // to be read (which a running program does not prevent).
    virtual Hold hold(const std::wstring& name, bool forChange) = 0;
    // What stands at a folder's name.
    virtual Standing folderStanding(const std::wstring& name) = 0;
    // A folder of the program folder with the protected access list; removed again while empty.
    virtual bool makeFolder(const std::wstring& name) = 0;
    virtual bool removeEmptyFolder(const std::wstring& name) = 0;

    // The stage: a new file's content; the new file put in place (never over another); taken back
    // out; the previous file put back; the previous file let go of for good (deleted, or at the next
    // restart while a program still runs it).
    virtual std::optional<Content> stagedContent(const std::wstring& name) = 0;
    virtual bool placeStaged(const std::wstring& name) = 0;
    virtual bool unplace(const std::wstring& name) = 0;
    virtual bool restorePrevious(const std::wstring& name) = 0;
    virtual bool dropPrevious(const std::wstring& name) = 0;

    // The name as a person reads it in a log line (the full path), and why the last step failed.
    virtual std::wstring shown(const std::wstring& name) const = 0;
    virtual std::wstring lastProblem() const = 0;
};

}  // namespace setupkit
