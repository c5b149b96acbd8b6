// Forceful removal primitives: each step falls back to an access repair and then to deletion at
// restart instead of giving up at the first error.
#include "sysops/FileOps.h"

#include "base/RestartSchedule.h"
#include "base/TreeWalk.h"
#include "core/Status.h"
#include "logging/QvBrelLogging.h"
#include "sysops/FileAccess.h"
#include "sysops/FileOpsSeam.h"

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

}  // namespace

namespace FileOpsInternal {

// The forced removal's policy for the tree walk: every fall-back, every failure logged.
class ForcedRemoval : public QvPath::WalkPolicy {
 public:
  bool RemoveFile(const QvPath::CheckedPath& path, DWORD attributes) override {
    return TryWipeFile(path, attributes);
  }
  bool RemoveFolder(const QvPath::CheckedPath& path) override { return TryWipeDirectory(path); }
  bool RepairListing(const QvPath::CheckedPath& path) override {
    FileAccess::AddFullAccessForAdmins(path);
    return true;  // a partial repair may be enough: one more try either way
  }
  void ListingFailed(const QvPath::CheckedPath& path, DWORD error) override {
    // Reported under the name of the removal the walk serves, as it always was.
    QvBrelLogging::LogTagged(QV_WARNING, "FileOpsInternal::TryWipeRecursive",
                             L"Failed to enumerate: '%ls': %lu", path.Display().c_str(), error);
  }
};

bool DelayDelete(const QvPath::CheckedPath& path) {
  if (!QvRestartSchedule::ScheduleDeletion(path.System())) {
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
  ClearReadOnly(path, attributes);
  if (FileOpsSeam::deleteFile(path.c_str())) return true;
  // The first refusal is the one worth reporting, not what the fall-backs ran into.
  const DWORD error = ::GetLastError();
  if (IsNotFound(error)) return true;

  if (FileAccess::AddFullAccessForAdmins(path)) {
    ClearReadOnly(path, attributes);
    if (FileOpsSeam::deleteFile(path.c_str()) || IsNotFound(::GetLastError())) return true;
  }
  if (DelayDelete(path)) return true;
  QV_BREL_LOG(QV_WARNING, L"Failed to remove file '%s', error: %d", path.Display().c_str(),
              static_cast<int>(error));
  return false;
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
  ForcedRemoval policy;
  return QvPath::TreeWalk::Remove(path, policy);
}

}  // namespace FileOpsInternal

namespace FileOps {

bool WipeDirectoryIfEmpty(const QvPath::CheckedPath& path) {
  if (path.empty()) return false;
  if (::RemoveDirectoryW(path.c_str())) return true;
  const DWORD error = ::GetLastError();
  if (IsNotFound(error)) return true;
  QV_BREL_LOG(QV_DEBUG, L"Failed to remove directory '%s', error: %d", path.Display().c_str(),
              static_cast<int>(error));
  return false;
}

}  // namespace FileOps
