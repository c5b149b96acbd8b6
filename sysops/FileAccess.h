// Access repair for files and folders a broken installation left protected.
#pragma once

#include <string>

namespace FileAccess {

// Makes the Administrators group the owner (best effort) and merges a full-access entry for it into
// the DACL of path. True when the DACL was read, merged and written; otherwise false (warning logged).
bool AddFullAccessForAdmins(const std::wstring& path);

}  // namespace FileAccess
