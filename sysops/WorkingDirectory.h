// The run's working directory: its security descriptor, the temporary folder it goes in, its unique
// name, and the removal of it and of those killed runs left behind.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>
#include <string_view>

#include "base/PathText.h"
#include "base/SecurityAttributes.h"
#include "base/UniqueHandle.h"

namespace QvPath {

// The working directory of a run: anonymous, network logons and the local service account denied;
// guests and users read and execute; administrators, the local administrator and SYSTEM full
// access; every entry inherited by files and sub-folders.
inline constexpr wchar_t WorkDirSddl[] =
    L"D:(D;OICI;GA;;;AN)(D;OICI;GA;;;NU)(D;OICI;GA;;;LS)(A;OICI;0x1200a9;;;BG)(A;OICI;0x1200a9;;;BU)"
    L"(A;OICI;GA;;;BA)(A;OICI;GA;;;LA)(A;OICI;GA;;;SY)";

// The user's temporary folder (GetTempPathW), with its trailing backslash; empty on failure (the
// thread's last error says why).
std::wstring GetTempDirectory();
// A new folder "qv<tick><n>.tmp" in parent; empty on failure (the thread's last error says why).
std::wstring CreateUniqueDirectory(const std::wstring& parent, SecurityAttributes& security);
// True for the names CreateUniqueDirectory gives: "qv", two or more decimal digits, ".tmp",
// exactly that case.
bool IsWorkDirectoryName(std::wstring_view name);
// Removes the working directories earlier runs left in parent (a run that was killed cannot clean
// up). Call it only while holding the single-instance mutex, so no live run owns one. Only real
// folders of a working directory's name holding nothing but regular ".lua" files and real
// sub-folders of the same kind go; anything else is left alone. Logs each removal; returns how
// many were removed.
std::size_t RemoveStaleWorkDirectories(const std::wstring& parent);
// Removes the tree through the path guard and the tree walk, without following links (a path the
// guard refuses stays); with delayIfLocked, schedules what is locked for
// deletion at restart (without raising the run's restart flag). False for an empty or missing
// path, a path that is not a folder, or anything left behind unscheduled. Logs nothing.
bool RemoveDirectoryTree(const std::wstring& path, bool delayIfLocked);

}  // namespace QvPath
