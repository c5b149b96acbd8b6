// Test seam of the restart schedule: the system call whose refusal the test machine cannot
// produce (it always accepts a schedule). Only tests include this header.
#pragma once

#include <windows.h>

namespace QvRestartSchedule::Seam {

using MoveFileExCall = BOOL(WINAPI*)(LPCWSTR existing, LPCWSTR target, DWORD flags);
// MoveFileExW of ScheduleDeletion.
extern MoveFileExCall moveFileEx;

}  // namespace QvRestartSchedule::Seam
