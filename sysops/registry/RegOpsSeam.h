// Test seam of the forced wipe: the security call of the take-over. Wine answers success to
// SetNamedSecurityInfoW in the 32-bit view and changes nothing, so a test records the object type
// the take-over passes there. Only tests include this header; the program never replaces the call.
#pragma once

#include <windows.h>
#include <aclapi.h>

namespace RegOpsSeam {

using SetNamedSecurityInfoCall = DWORD(WINAPI*)(LPWSTR object, SE_OBJECT_TYPE type,
                                                SECURITY_INFORMATION parts, PSID owner, PSID group, PACL dacl,
                                                PACL sacl);

// SetNamedSecurityInfoW of RegOps::TakeOwnership (the owner, then the DACL).
extern SetNamedSecurityInfoCall setNamedSecurityInfo;

}  // namespace RegOpsSeam
