// System queries the log file context needs: registry values, token facts and known folders.
// Private to the logging library.
#pragma once

#include <windows.h>

#include <string>

#include "base/ProcAddress.h"
#include "base/UniqueHandle.h"

namespace QvBrelLogging::Platform {

// Key under HKEY_LOCAL_MACHINE that holds the logging values.
inline constexpr wchar_t kLoggingKey[] = L"SOFTWARE\\Quorvel\\BREL\\Logging";

// A REG_DWORD value of the logging key in the process's own view; false (value untouched) when it
// is missing or of another type.
bool ReadLoggingDword(const wchar_t* name, DWORD& value);

// The process token is an effective member of BUILTIN\Administrators.
bool IsElevated();
// The process token's mandatory integrity level is low (0x1000).
bool IsLowIntegrity();
// SHGetKnownFolderPath with KF_FLAG_CREATE, bound at run time from the system directory's shell32;
// empty on any failure.
std::wstring GetKnownFolder(const GUID& folderId);
// String form of the process user's SID; empty when it cannot be read.
std::wstring GetUserSidString();
// String form of the owner SID of a file or folder opened with READ_CONTROL; empty when it cannot
// be read.
std::wstring GetOwnerSidString(HANDLE object);

}  // namespace QvBrelLogging::Platform
