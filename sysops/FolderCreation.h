// The file primitives (FileOps) that make folders: recursively with default security below an
// existing folder, or through the path guard for folders a script asks for.
#pragma once

#include <string>

#include "base/PathGuard.h"

namespace FileOps {

// True when the folder exists afterwards (an empty path counts as done); false when a part of the
// path cannot be split off or created (GetLastError() tells why).
bool CreateDirectoryRecursive(const std::wstring& path);

// Makes the folder the guard accepted, and the missing folders above it. Each folder made on the
// way is checked and held before the next goes into it, so one swapped for a link right after it
// was made is not followed. True when the path is a folder afterwards; false when a folder could
// not be made, or the guard refused one it made (guard.Refusal() says why).
bool CreateGuardedDirectories(QvPath::PathGuard& guard);

}  // namespace FileOps
