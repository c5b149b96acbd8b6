// Access repair for files and folders a broken installation left protected, and the
// Administrators group SID it grants access to.
#pragma once

#include <string>

#include "sysops/UniqueHandle.h"

namespace FileAccess {

// BUILTIN\Administrators (S-1-5-32-544); an empty owner when the SID cannot be made.
UniqueAllocatedSid CreateAdministratorsSid();

// True when the caller's effective token is a member of BUILTIN\Administrators.
bool IsAdministratorsMember();

// Makes the Administrators group the owner (best effort) and merges a full-access entry for it into
// the DACL of path. True when the DACL was read, merged and written; otherwise false (warning logged).
bool AddFullAccessForAdmins(const std::wstring& path);

}  // namespace FileAccess
