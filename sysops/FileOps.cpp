// Forceful removal primitives: each step falls back to an access repair and then to deletion at
// restart instead of giving up at the first error.
#include "sysops/FileOps.h"

#include "base/ChangeJournal.h"
#include "base/DirectoryListing.h"
#include "base/RestartSchedule.h"
#include "base/TreeWalk.h"
#include "core/Status.h"
#include "logging/QvBrelLogging.h"
#include "sysops/FileAccess.h"
#include "sysops/FileOpsSeam.h"
#include "sysops/UndoMaterial.h"

namespace FileOpsSeam {
DeleteFileCall deleteFile = ::DeleteFileW;
RemoveDirectoryCall removeDirectory = ::RemoveDirectoryW;
}  // namespace FileOpsSeam

namespace {

bool IsNotFound(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

void ClearReadOnly(const QvPath::CheckedPath& path, DWORD attributes) {
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
    ::SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
}

ChangeJournal& Journal() { return ChangeJournal::Instance(); }

unsigned long long SizeOf(const QvPath::CheckedPath& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  return (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::wstring Holding(unsigned long long files, unsigned long long folders, unsigned long long bytes) {
  return std::to_wstring(files) + L" files, " + std::to_wstring(folders) + L" folders, " +
         std::to_wstring(bytes) + L" bytes";
}

// The plan's walk: what the tree holds, nothing changed (no access repair either).
class Census : public QvPath::WalkPolicy {
 public:
  bool RemoveFile(const QvPath::CheckedPath& path, DWORD) override {
    ++files;
    bytes += SizeOf(path);
    return true;
  }
  bool RemoveFolder(const QvPath::CheckedPath&) override {
    ++folders;
    return true;
  }
  bool RepairListing(const QvPath::CheckedPath&) override { return false; }
  void ListingFailed(const QvPath::CheckedPath&, DWORD) override {}

  unsigned long long files = 0, folders = 0, bytes = 0;
};

// Runs a removal and journals it as one change: scheduled when any part of it was left to the next
// restart, failed (with `failure`) when something stays.
template <typename Removal>
bool JournalledRemoval(const wchar_t* op, const QvPath::CheckedPath& path, DWORD failure, Removal&& removal) {
  const size_t scheduledBefore = Journal().Count(ChangeResult::Scheduled);
  const bool removed = removal();
  const bool scheduled = Journal().Count(ChangeResult::Scheduled) > scheduledBefore;
  Journal().Record(op, path.Display(),
                   !removed    ? ChangeResult::Failed
                   : scheduled ? ChangeResult::Scheduled
                               : ChangeResult::Done,
                   removed ? ERROR_SUCCESS : failure);
  return removed;
}

// A folder whose every entry the plan already takes.
bool EmptyAfterPlan(const QvPath::CheckedPath& path) {
  QvPath::DirectoryListing listing(path.System() + L"\\*");
  const std::wstring display = path.Display();
  while (listing.Next())
    if (!Journal().PlannedGone(display + L"\\" + listing.Name())) return false;
  return listing.Completed();
}

enum class Wiped { Deleted, Absent, Scheduled, Failed };

Wiped WipeFile(QvBrelLogging::LogSite site, const QvPath::CheckedPath& path, DWORD attributes) {
  ClearReadOnly(path, attributes);
  if (FileOpsSeam::deleteFile(path.c_str())) return Wiped::Deleted;
  // The first refusal is the one worth reporting, not what the fall-backs ran into.
  const DWORD error = ::GetLastError();
  if (IsNotFound(error)) return Wiped::Absent;

  if (FileAccess::AddFullAccessForAdmins(path)) {
    ClearReadOnly(path, attributes);
    if (FileOpsSeam::deleteFile(path.c_str())) return Wiped::Deleted;
    if (IsNotFound(::GetLastError())) return Wiped::Absent;
  }
  if (FileOpsInternal::DelayDelete(path)) return Wiped::Scheduled;
  QV_BREL_LOG_AT(site, QV_WARNING, L"Failed to remove file '%ls', error: %d", path.Display().c_str(),
                 static_cast<int>(error));
  return Wiped::Failed;
}

}  // namespace

namespace FileOpsInternal {

// The forced removal's policy for the tree walk: every fall-back, every failure logged.
class ForcedRemoval : public QvPath::WalkPolicy {
 public:
  // The walk's own records carry the name of the removal it serves.
  explicit ForcedRemoval(QvBrelLogging::LogSite site) : site_(site) {}
  bool RemoveFile(const QvPath::CheckedPath& path, DWORD attributes) override {
    return TryWipeFile(path, attributes);
  }
  bool RemoveFolder(const QvPath::CheckedPath& path) override { return TryWipeDirectory(path); }
  bool RepairListing(const QvPath::CheckedPath& path) override {
    FileAccess::AddFullAccessForAdmins(path);
    return true;  // a partial repair may be enough: one more try either way
  }
  void ListingFailed(const QvPath::CheckedPath& path, DWORD error) override {
    QV_BREL_LOG_AT(site_, QV_WARNING, L"Failed to enumerate: '%ls': %lu", path.Display().c_str(), error);
  }

 private:
  QvBrelLogging::LogSite site_;
};

bool DelayDelete(const QvPath::CheckedPath& path) {
  if (!QvRestartSchedule::ScheduleDeletion(path.System(), path.Display())) {
    const DWORD error = ::GetLastError();
    QV_BREL_LOG(QV_ERROR, L"MoveFileEx('%s') failed: %lu", path.Display().c_str(), error);
    return false;
  }
  const std::wstring display = path.Display();
  QV_BREL_LOG(QV_DEBUG, L"Delay delete: '%s'", display.c_str());
  Status::Instance().SetRebootNeeded(display);
  return true;
}

bool TryWipeFile(const QvPath::CheckedPath& path, DWORD attributes) {
  if (path.empty()) return false;
  UndoMaterial& undo = UndoMaterial::Instance();
  const UndoMaterial::FileFacts facts = undo.DescribeFile(path.System(), path.Display());
  const Wiped wiped = WipeFile(QV_LOG_SITE, path, attributes);
  if (wiped == Wiped::Deleted || wiped == Wiped::Scheduled)
    undo.ListDeletedFile(facts, wiped == Wiped::Scheduled);
  return wiped != Wiped::Failed;
}

bool TryWipeDirectory(const QvPath::CheckedPath& path) {
  if (path.empty()) return false;
  if (FileOpsSeam::removeDirectory(path.c_str())) return true;
  DWORD error = ::GetLastError();
  if (IsNotFound(error)) return true;

  if (FileAccess::AddFullAccessForAdmins(path)) {
    if (FileOpsSeam::removeDirectory(path.c_str())) return true;
    error = ::GetLastError();
    if (IsNotFound(error)) return true;
  }
  if (DelayDelete(path)) return true;
  QV_BREL_LOG(QV_WARNING, L"Failed to remove directory '%s', error: %d", path.Display().c_str(),
              static_cast<int>(error));
  return false;
}

bool TryWipeRecursive(const QvPath::CheckedPath& path) {
  ForcedRemoval policy(QV_LOG_SITE);
  return QvPath::TreeWalk::Remove(path, policy);
}

}  // namespace FileOpsInternal

namespace FileOps {

bool RemoveFile(const QvPath::CheckedPath& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  // A missing path reads as every attribute set, the directory bit included.
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
    if (attributes == INVALID_FILE_ATTRIBUTES && !Journal().Planning())
      Journal().Record(L"file.delete", path.Display(), ChangeResult::Absent);
    return false;
  }
  if (Journal().Planning()) {
    // Taken by an earlier planned deletion: a real run would find nothing here.
    if (Journal().PlannedGone(path.Display())) return true;
    Journal().Record(L"file.delete", path.Display(), ChangeResult::Planned, ERROR_SUCCESS,
                     std::to_wstring(SizeOf(path)) + L" bytes");
    return true;
  }
  return JournalledRemoval(L"file.delete", path, ERROR_ACCESS_DENIED,
                           [&] { return FileOpsInternal::TryWipeFile(path, attributes); });
}

bool RemoveTree(const QvPath::CheckedPath& path) {
  if (path.empty()) return false;
  const bool present = ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
  if (Journal().Planning()) {
    if (!present || Journal().PlannedGone(path.Display())) return true;
    Census census;
    QvPath::TreeWalk::Remove(path, census);
    Journal().Record(L"folder.delete", path.Display(), ChangeResult::Planned, ERROR_SUCCESS,
                     Holding(census.files, census.folders, census.bytes));
    return true;
  }
  if (!present) {
    Journal().Record(L"folder.delete", path.Display(), ChangeResult::Absent);
    return true;
  }
  return JournalledRemoval(L"folder.delete", path, ERROR_DIR_NOT_EMPTY,
                           [&] { return FileOpsInternal::TryWipeRecursive(path); });
}

bool WipeDirectoryIfEmpty(const QvPath::CheckedPath& path) {
  if (path.empty()) return false;
  if (Journal().Planning()) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || Journal().PlannedGone(path.Display())) return true;
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY) || !EmptyAfterPlan(path)) return false;
    Journal().Record(L"folder.deleteIfEmpty", path.Display(), ChangeResult::Planned);
    return true;
  }
  if (::RemoveDirectoryW(path.c_str())) {
    Journal().Record(L"folder.deleteIfEmpty", path.Display(), ChangeResult::Done);
    return true;
  }
  const DWORD error = ::GetLastError();
  if (IsNotFound(error)) return true;
  // A folder that still holds something stays, as asked: no change, nothing to record.
  if (error != ERROR_DIR_NOT_EMPTY)
    Journal().Record(L"folder.deleteIfEmpty", path.Display(), ChangeResult::Failed, error);
  QV_BREL_LOG(QV_DEBUG, L"Failed to remove directory '%s', error: %d", path.Display().c_str(),
              static_cast<int>(error));
  return false;
}

}  // namespace FileOps
