// What a run keeps so that an administrator can put back what it deleted: every registry branch or
// value is exported, before it goes, into the run's registry file (one `reg import` restores it),
// and every deleted file is listed with its size, last-write time and SHA-256 (the contents are
// not kept). Both live in "Undo\<run stamp>" below the log folder, reached through pinned folders
// with the log folder's owner checks; the folder and each file are made at their first use, so a
// run that deletes nothing leaves nothing, and the newest five run folders are kept.
#pragma once

#include <windows.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "logging/LogFileIo.h"
#include "sysops/registry/BranchGuard.h"
#include "sysops/registry/RegExport.h"

class UndoMaterial {
 public:
  // Registry text above this size (UTF-16 bytes) is not exported: the branch goes without it.
  static constexpr std::size_t kExportLimitBytes = 64u << 20;
  // Run folders kept in "Undo", this run's included.
  static constexpr std::size_t kRunsKept = 5;
  static constexpr wchar_t kRegistryFileName[] = L"registry.reg";
  static constexpr wchar_t kFileListName[] = L"files.tsv";

  // What the list keeps of one file, read before it is deleted.
  struct FileFacts {
    std::wstring path;  // as the clean-up named it
    bool found = false;
    unsigned long long size = 0;
    FILETIME lastWrite{};
    std::wstring sha256;  // empty for a link or a file that could not be read
  };

  static UndoMaterial& Instance();

  // Starts keeping material for the run (nothing is kept before, so programs and tests that only
  // use the deleting primitives write none). The run's start names its folder
  // ("20261209T151602Z"). With `required` (--require-undo), a deletion whose export fails is
  // skipped and the running product fails.
  void Begin(const FILETIME& started, bool required);

  // Called by the deleting primitives just before a registry deletion, never in plan mode: exports
  // what is about to go. True when the deletion may go ahead: exported, nothing there, too large
  // (a warning says so), or an export that failed (logged) without --require-undo.
  // With `held`, the branch's keys are held there when they were exported and written, for the
  // deletion to take them without a walk of its own (left empty otherwise).
  bool BeforeBranchDeletion(const RegOps::CheckedBranch& branch, RegExport::HeldKey* held = nullptr);
  bool BeforeValueDeletion(const RegOps::CheckedBranch& branch, const std::wstring& value);

  // Called by the file deletion: the facts before the first attempt, the line once the file went
  // or was scheduled for deletion at the next restart.
  FileFacts DescribeFile(const std::wstring& systemPath, const std::wstring& display) const;
  void ListDeletedFile(const FileFacts& facts, bool scheduled);

  // This run's folder and the files written in it; empty while nothing was kept.
  std::wstring Folder() const;
  std::vector<std::wstring> Files() const;

  // Stops keeping material and closes the files; what was written stays, and Folder and Files
  // still name it.
  void End();
  // Forgets the run (tests): stopped, files closed, no folder.
  void Reset();

 private:
  UndoMaterial() = default;

  enum class FolderState { NotYet, Open, Refused };
  bool Active() const;
  // The export of one deletion's target: kept (`written`: it is in the file), or the decision what
  // to do without it. True when the deletion may go ahead.
  bool Keep(RegExport::Result result, const std::wstring& text, const std::wstring& target, bool& written);
  bool OpenRunFolder();
  bool OpenFile(const wchar_t* name, std::unique_ptr<QvBrelLogging::LogFileIo::File>& file,
                const std::string& firstBytes);
  void RemoveOldRuns();

  mutable std::mutex mutex_;
  bool active_ = false;
  FILETIME started_{};
  bool required_ = false;
  FolderState folderState_ = FolderState::NotYet;
  std::wstring runName_;
  std::wstring folder_;
  std::unique_ptr<QvBrelLogging::LogFileIo::File> registryFile_;
  std::unique_ptr<QvBrelLogging::LogFileIo::File> fileList_;
  std::vector<std::wstring> files_;
  // An export that repeats the one just written restores nothing more (a service's key exported
  // before the service is deleted and again before its key is).
  std::wstring lastExport_;
};
