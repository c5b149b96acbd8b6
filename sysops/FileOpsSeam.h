// Test seam of the removal primitives: the three system calls whose refusals the test machine
// cannot produce (it enforces no file ACLs and always accepts a restart schedule). Only tests
// include this header; the program never replaces the calls.
#pragma once

#include <windows.h>

#include "base/RestartScheduleSeam.h"

namespace FileOpsSeam {

using DeleteFileCall = BOOL(WINAPI*)(LPCWSTR path);
using RemoveDirectoryCall = BOOL(WINAPI*)(LPCWSTR path);

// DeleteFileW of TryWipeFile, RemoveDirectoryW of TryWipeDirectory; the restart schedule's
// MoveFileExW, which DelayDelete reaches through it.
extern DeleteFileCall deleteFile;
extern RemoveDirectoryCall removeDirectory;
using QvRestartSchedule::Seam::moveFileEx;
using QvRestartSchedule::Seam::MoveFileExCall;

}  // namespace FileOpsSeam
