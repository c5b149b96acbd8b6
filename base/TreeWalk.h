// The one walk that removes a tree: entries listed through DirectoryListing, each folder held
// while it is listed, links removed as links and never entered. What is done to each entry, and
// what happens when something stays, is the caller's policy. Never logs.
#pragma once

#include <windows.h>

#include "base/PathGuard.h"

namespace QvPath {

class WalkPolicy {
 public:
  virtual ~WalkPolicy() = default;
  // An entry that is not a folder; `attributes` as the listing read them.
  virtual bool RemoveFile(const CheckedPath& path, DWORD attributes) = 0;
  // A folder whose entries are gone, or a folder link (removed as a link, never followed).
  virtual bool RemoveFolder(const CheckedPath& path) = 0;
  // The folder could not be opened or listed: true when the caller repaired something and the
  // walk should try once more.
  virtual bool RepairListing(const CheckedPath& path) = 0;
  // The folder could not be listed, or its listing broke off; it stays.
  virtual void ListingFailed(const CheckedPath& path, DWORD error) = 0;
};

class TreeWalk {
 public:
  // Removes the folder at `path` with everything in it, visiting every entry whatever happened to
  // the others; a link at `path` goes as a link. True when all of it is gone (a path that is
  // already absent counts as gone) or the policy accounted for it; false when anything stays, in
  // which case `path` itself stays. The folders are held with a data right and without delete
  // sharing while they are listed, so none can be renamed or swapped for a link meanwhile.
  static bool Remove(const CheckedPath& path, WalkPolicy& policy);

 private:
  // `listed`: the attributes the entry was found with (the listing, or the name for the top).
  static bool RemoveFolder(const CheckedPath& path, DWORD listed, WalkPolicy& policy);
};

}  // namespace QvPath
