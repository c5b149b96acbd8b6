// Working directory of a run: its security descriptor, its creation under the temporary folder
// and its removal (links removed as links, locked entries optionally scheduled for restart).
#include "sysops/WorkingDirectory.h"

#include "base/DirectoryListing.h"
#include "base/PathGuard.h"
#include "base/RestartSchedule.h"
#include "base/SystemPath.h"
#include "base/TreeWalk.h"
#include "logging/QvBrelLogging.h"

namespace {

// The working directory's policy for the tree walk: plain deletions, what is locked optionally
// scheduled for restart without raising the run's restart flag, nothing logged.
class QuietRemoval : public QvPath::WalkPolicy {
 public:
  explicit QuietRemoval(bool delayIfLocked) : delayIfLocked_(delayIfLocked) {}
  bool RemoveFile(const QvPath::CheckedPath& path, DWORD attributes) override {
    if (attributes & FILE_ATTRIBUTE_READONLY)
      ::SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    return ::DeleteFileW(path.c_str()) || Schedule(path);
  }
  bool RemoveFolder(const QvPath::CheckedPath& path) override {
    return ::RemoveDirectoryW(path.c_str()) || Schedule(path);
  }
  bool RepairListing(const QvPath::CheckedPath&) override { return false; }
  void ListingFailed(const QvPath::CheckedPath&, DWORD) override {}

 private:
  bool Schedule(const QvPath::CheckedPath& path) const {
    return delayIfLocked_ && QvRestartSchedule::ScheduleDeletion(path.System());
  }
  bool delayIfLocked_;
};

// What extraction writes, and nothing else: regular ".lua" files and real folders holding the
// same. A link anywhere means the folder is not ours to remove.
bool HoldsOnlyScripts(const std::wstring& path) {
  QvPath::DirectoryListing listing(QvPath::ToSystemPath(QvPath::Join(path, L"*")));
  while (listing.Next()) {
    if (listing.IsReparsePoint()) return false;
    if (listing.IsDirectory()) {
      if (!HoldsOnlyScripts(QvPath::Join(path, listing.Name()))) return false;
      continue;
    }
    if (!std::wstring_view(listing.Name()).ends_with(L".lua")) return false;
  }
  return listing.Completed();
}

}  // namespace

namespace QvPath {

bool IsWorkDirectoryName(std::wstring_view name) {
  constexpr std::wstring_view prefix = L"qv", suffix = L".tmp";
  if (name.size() < prefix.size() + 2 + suffix.size() || !name.starts_with(prefix) || !name.ends_with(suffix))
    return false;
  const std::wstring_view digits = name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
  for (const wchar_t c : digits)
    if (c < L'0' || c > L'9') return false;
  return true;
}

std::size_t RemoveStaleWorkDirectories(const std::wstring& parent) {
  if (parent.empty()) return 0;
  DirectoryListing listing(ToSystemPath(Join(parent, L"qv*.tmp")));
  std::size_t removed = 0;
  while (listing.Next()) {
    if (!IsWorkDirectoryName(listing.Name()) || !listing.IsDirectory() || listing.IsReparsePoint()) continue;
    const std::wstring path = Join(parent, listing.Name());
    if (!HoldsOnlyScripts(path)) continue;
    if (RemoveDirectoryTree(path, false)) {
      QV_BREL_LOG(QV_INFO, L"Removed the working directory of an earlier run: '%s'", path.c_str());
      ++removed;
    } else {
      QV_BREL_LOG(QV_WARNING, L"Failed to remove the working directory of an earlier run: '%s'",
                  path.c_str());
    }
  }
  return removed;
}

std::wstring GetTempDirectory() {
  std::wstring buffer(MAX_PATH + 1, L'\0');
  for (;;) {
    const DWORD length = ::GetTempPathW(static_cast<DWORD>(buffer.size()), buffer.data());
    if (length == 0) return {};
    if (length < buffer.size()) {
      buffer.resize(length);
      return buffer;
    }
    // Too small: the length reported includes the terminating NUL.
    buffer.assign(length, L'\0');
  }
}

std::wstring CreateUniqueDirectory(const std::wstring& parent, SecurityAttributes& security) {
  if (parent.empty()) {
    ::SetLastError(ERROR_PATH_NOT_FOUND);
    return {};
  }
  constexpr std::size_t maxAttempts = 10000;
  for (std::size_t attempt = 0; attempt < maxAttempts; ++attempt) {
    std::wstring path = Join(parent, UniqueDirectoryName(::GetTickCount(), attempt));
    if (::CreateDirectoryW(ToSystemPath(path).c_str(), security.Get())) return path;
    if (::GetLastError() != ERROR_ALREADY_EXISTS) return {};
  }
  return {};
}

bool RemoveDirectoryTree(const std::wstring& path, bool delayIfLocked) {
  if (path.empty()) return false;
  const DWORD attributes = ::GetFileAttributesW(ToSystemPath(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
  PathGuard guard;
  if (!guard.Acquire(path)) return false;
  QuietRemoval policy(delayIfLocked);
  return TreeWalk::Remove(guard.Path(), policy);
}

}  // namespace QvPath
