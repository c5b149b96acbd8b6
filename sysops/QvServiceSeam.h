// Test seam of QvService: the waits, so tests run in seconds, and the enumeration of dependent
// services, which the test machine cannot produce (Wine reports no dependents). Only tests include
// this header; the program keeps the values and the system call below.
#pragma once

#include <windows.h>

namespace QvServiceSeam {

struct Waits {
  DWORD startTimeoutMs = 10000;  // Service.Start
  DWORD stopTimeoutMs = 120000;  // Service.Stop and every dependent it stops
  DWORD startPollMs = 200;       // the longest interval between two polls
  DWORD stopPollMs = 500;
};

using EnumDependentsCall = BOOL(WINAPI*)(SC_HANDLE service, DWORD state, LPENUM_SERVICE_STATUSW buffer,
                                         DWORD size, LPDWORD needed, LPDWORD count);

extern Waits waits;
extern EnumDependentsCall enumDependents;

}  // namespace QvServiceSeam
