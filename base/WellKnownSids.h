// Well-known SIDs the tool grants access to or checks membership of.
#pragma once

#include "base/UniqueHandle.h"

namespace QvSids {

// BUILTIN\Administrators (S-1-5-32-544); an empty owner when the SID cannot be made.
UniqueAllocatedSid CreateAdministratorsSid();
// NT AUTHORITY\SYSTEM (S-1-5-18); an empty owner when the SID cannot be made.
UniqueAllocatedSid CreateSystemSid();

// True when the caller's effective token is a member of BUILTIN\Administrators.
bool IsAdministratorsMember();

}  // namespace QvSids
