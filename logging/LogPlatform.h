// System queries the log file context needs: registry values, token facts, known folders and
// security descriptors built from SDDL. Private to the logging library.
#pragma once

#include <windows.h>

#include <string>

#include "sysops/UniqueHandle.h"

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

// Owned SECURITY_ATTRIBUTES built from an SDDL text; Get() is null for a null text or one that
// could not be converted, which means default security.
class SddlSecurity {
 public:
  SddlSecurity() = default;
  explicit SddlSecurity(const wchar_t* sddl);
  SddlSecurity(const SddlSecurity&) = delete;
  SddlSecurity& operator=(const SddlSecurity&) = delete;

  SECURITY_ATTRIBUTES* Get() { return descriptor_ ? &attributes_ : nullptr; }

 private:
  UniqueLocalMem descriptor_;
  SECURITY_ATTRIBUTES attributes_{sizeof(SECURITY_ATTRIBUTES), nullptr, FALSE};
};

// Saves the thread's last-error value and puts it back when the scope ends.
class LastErrorKeeper {
 public:
  LastErrorKeeper() : error_(::GetLastError()) {}
  LastErrorKeeper(const LastErrorKeeper&) = delete;
  LastErrorKeeper& operator=(const LastErrorKeeper&) = delete;
  ~LastErrorKeeper() { ::SetLastError(error_); }

 private:
  DWORD error_;
};

}  // namespace QvBrelLogging::Platform
