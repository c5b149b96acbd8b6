// The tree walk: hold, check through the handle, list, recurse, remove.
#include "base/TreeWalk.h"

#include "base/DirectoryListing.h"
#include "base/HandleInfo.h"
#include "base/UniqueHandle.h"

#include <optional>

namespace {

// As the path guard holds a folder: a data right so the handle counts for sharing, no delete
// sharing, the entry itself rather than what a link points to.
HANDLE HoldFolder(const QvPath::CheckedPath& path) {
  return ::CreateFileW(path.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                       FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                       FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

bool IsNotFound(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

bool IsLink(DWORD attributes) {
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

}  // namespace

namespace QvPath {

bool TreeWalk::Remove(const CheckedPath& path, WalkPolicy& policy) {
  if (path.empty()) return false;
  // By name as well: Wine opens a unix folder link's target even on request for the entry, and
  // shows the link only in the attributes read by name.
  return RemoveFolder(path, ::GetFileAttributesW(path.c_str()), policy);
}

bool TreeWalk::RemoveFolder(const CheckedPath& path, DWORD listed, WalkPolicy& policy) {
  if (IsLink(listed)) return policy.RemoveFolder(path);
  UniqueFileHandle hold(HoldFolder(path));
  if (!hold) {
    const DWORD error = ::GetLastError();
    if (IsNotFound(error)) return true;
    if (policy.RepairListing(path)) hold.reset(HoldFolder(path));
    if (!hold) {
      policy.ListingFailed(path, error);
      return false;
    }
  }
  const DWORD attributes = QvHandleInfo::AttributesOf(hold.get());
  if (IsLink(attributes)) {
    hold.reset();
    return policy.RemoveFolder(path);
  }
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    policy.ListingFailed(path, attributes == INVALID_FILE_ATTRIBUTES ? ::GetLastError() : ERROR_DIRECTORY);
    return false;
  }

  bool success = true;
  {
    const std::wstring pattern = path.Child(L"*").System();
    std::optional<DirectoryListing> listing(std::in_place, pattern);
    if (!listing->Opened() && policy.RepairListing(path)) listing.emplace(pattern);
    if (!listing->Opened()) {
      policy.ListingFailed(path, listing->Error());
      return false;
    }
    while (listing->Next()) {
      const CheckedPath child = path.Child(listing->Name());
      success &= listing->IsDirectory() ? RemoveFolder(child, listing->Attributes(), policy)
                                        : policy.RemoveFile(child, listing->Attributes());
    }
    // A listing that broke off has left entries unvisited, so the folder cannot be gone.
    if (!listing->Completed()) {
      policy.ListingFailed(path, listing->Error());
      return false;
    }
  }
  hold.reset();
  return success && policy.RemoveFolder(path);
}

}  // namespace QvPath
