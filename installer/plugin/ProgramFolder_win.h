#pragma once
// The program folder and Setup's stage in it, on the file system: files held through handles that
// do not follow links and share nothing that would let another program change them meanwhile; moves
// within the folder's volume, so that each is whole or not done.

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "installer/plugin/Installation.h"
#include "installer/plugin/ProgramFolder.h"

namespace setupkit {

class WindowsProgramFolder final : public ProgramFolder {
  public:
    // stage: Setup's stage in the folder (makeStage), or empty for a folder that is only removed from.
    WindowsProgramFolder(std::wstring folder, std::wstring stage, const FileLists& lists);

    Hold hold(const std::wstring& name, bool forChange) override;
    Standing folderStanding(const std::wstring& name) override;
    bool makeFolder(const std::wstring& name) override;
    bool removeEmptyFolder(const std::wstring& name) override;
    std::optional<Content> stagedContent(const std::wstring& name) override;
    bool placeStaged(const std::wstring& name) override;
    bool unplace(const std::wstring& name) override;
    bool restorePrevious(const std::wstring& name) override;
    bool dropPrevious(const std::wstring& name) override;
    std::wstring shown(const std::wstring& name) const override;
    std::wstring lastProblem() const override { return m_problem; }

  private:
    bool failed(DWORD error);
    bool moved(const std::wstring& from, const std::wstring& to);
    std::wstring staged(const std::wstring& name) const;
    std::wstring previous(const std::wstring& name) const;

    std::wstring m_folder;
    std::wstring m_stage;
    const FileLists& m_lists;
    std::wstring m_problem;
};

// Setup's stage in the folder: a folder of its own with the protected access list, made fresh (never
// one that was there), holding "new" (what Setup writes, laid out as in the program folder) and
// "previous" (what the new files replace). None, with the system's error, when it cannot be made.
std::optional<std::wstring> makeStage(const std::wstring& folder, const FileLists& lists, DWORD& error);
inline constexpr wchar_t kStagedFolder[] = L"new";
inline constexpr wchar_t kPreviousFolder[] = L"previous";

// Removes the stage: the new files still in it, then its folders. Previous files still in it (which
// were not put back) are kept, and so is the stage then; a line for the log says where.
std::vector<std::wstring> removeStage(const std::wstring& stage, const FileLists& lists);

}  // namespace setupkit
