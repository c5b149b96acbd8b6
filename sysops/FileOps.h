// Forceful removal of files and folders: plain deletion, then full access for the Administrators
// group, then deletion at the next restart (which marks the run as needing a restart). Every
// primitive takes a path the path guard accepted.
#pragma once

#include <windows.h>

#include "base/PathGuard.h"

namespace FileOpsInternal {

// Schedules path for deletion at the next restart and raises the run's restart flag.
// False (error logged) when the schedule cannot be written.
bool DelayDelete(const QvPath::CheckedPath& path);

// attributes: the file's attributes as the caller read them (a read-only bit is cleared first).
// True when the file is gone, was already absent, or is scheduled; false (warning logged) otherwise.
bool TryWipeFile(const QvPath::CheckedPath& path, DWORD attributes);

// Removes one folder entry: an empty folder, or a junction or symbolic link (never followed).
// True when it is gone, was already absent, or is scheduled; false (warning logged) otherwise.
bool TryWipeDirectory(const QvPath::CheckedPath& path);

// Removes the tree below path and then path itself through the tree walk, visiting every entry
// whatever happened to the others; folders that are links are removed as links, never entered.
// True when everything is gone or scheduled (a folder that is already absent counts as gone);
// false when anything is left behind, in which case path itself stays.
bool TryWipeRecursive(const QvPath::CheckedPath& path);

}  // namespace FileOpsInternal

namespace FileOps {

// The script's file deletion: a path that is a folder (or absent) is refused; otherwise as
// TryWipeFile. Journalled; in plan mode only journalled.
bool RemoveFile(const QvPath::CheckedPath& path);
// The script's folder removal: TryWipeRecursive, journalled as one change; in plan mode the tree is
// counted and journalled, nothing removed.
bool RemoveTree(const QvPath::CheckedPath& path);

// Removes path only when it is an empty folder: no access repair, no scheduling.
// True when removed or absent; false (debug record) otherwise, e.g. for a folder with content. In
// plan mode a folder whose entries the plan takes counts as empty.
bool WipeDirectoryIfEmpty(const QvPath::CheckedPath& path);

}  // namespace FileOps
