// Test seam of the access repair: the two security calls it makes on a handle. Wine keeps no
// security descriptors for files, so what the repair would change cannot be read back; tests
// record which objects the calls reach instead. Only tests include this header; the program
// never replaces the calls.
#pragma once

#include <windows.h>
#include <aclapi.h>

namespace FileAccessSeam {

using GetSecurityInfoCall = DWORD(WINAPI*)(HANDLE handle, SE_OBJECT_TYPE type, SECURITY_INFORMATION info,
                                           PSID* owner, PSID* group, PACL* dacl, PACL* sacl,
                                           PSECURITY_DESCRIPTOR* descriptor);
using SetSecurityInfoCall = DWORD(WINAPI*)(HANDLE handle, SE_OBJECT_TYPE type, SECURITY_INFORMATION info,
                                           PSID owner, PSID group, PACL dacl, PACL sacl);

extern GetSecurityInfoCall getSecurityInfo;
extern SetSecurityInfoCall setSecurityInfo;

}  // namespace FileAccessSeam
