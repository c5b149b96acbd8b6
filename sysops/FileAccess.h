// Access repair for files and folders a broken installation left protected.
#pragma once

#include "base/PathGuard.h"

namespace FileAccess {

// Makes the Administrators group the owner (best effort) and merges a full-access entry for it into
// the DACL of path. The repair works through a handle on the entry itself, and never on a link
// (a reparse point, or a folder the system opened through a link) or on a file with more than one
// name: its security is the target's, shared with whatever else points there. True when the DACL
// was read, merged and written; otherwise false (warning logged).
bool AddFullAccessForAdmins(const QvPath::CheckedPath& path);

}  // namespace FileAccess
