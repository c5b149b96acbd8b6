// Compound registry operations of the tool: logged reads and writes, listings, and deletion of
// whole branches by force. Each call builds its own Win32Registry for the root and view flags given.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "sysops/registry/BranchGuard.h"

namespace RegOps {

// Written by TakeOwnership: full control for Administrators and SYSTEM only, inherited by sub-keys.
// (Granting more would leave a key that still cannot be deleted writable by every user.)
inline constexpr wchar_t OwnedKeySddl[] = L"D:(A;OICI;GA;;;BA)(A;OICI;GA;;;SY)";

// Readers give 0, "" or an empty list when the value cannot be read; they log a warning unless the
// value or branch is missing.
DWORD GetDWORD(HKEY root, REGSAM flags, const std::wstring& branch, const std::wstring& key);
std::wstring GetString(HKEY root, REGSAM flags, const std::wstring& branch, const std::wstring& key);
std::vector<std::wstring> GetMultiString(HKEY root, REGSAM flags, const std::wstring& branch,
                                         const std::wstring& key);
// Writers need an existing branch; a failure is logged as an error.
bool SetDWORD(HKEY root, REGSAM flags, const std::wstring& branch, const std::wstring& key, DWORD value);
bool SetString(HKEY root, REGSAM flags, const std::wstring& branch, const std::wstring& key,
               const std::wstring& text);
// Deletes one value; a missing value or branch counts as deleted. The branch passes
// BranchGuard::ForValues, and a branch that is itself a registry link is refused with a warning
// (the value would be another key's).
bool DeleteKey(HKEY root, REGSAM flags, const std::wstring& branch, const std::wstring& key);
bool DeleteValue(const CheckedBranch& branch, const std::wstring& key);

// Sub-key and value names in enumeration order; empty on failure (logged at debug level unless
// the branch is missing).
std::vector<std::wstring> GetSubkeys(HKEY root, REGSAM flags, const std::wstring& branch);
std::vector<std::wstring> GetValueKeys(HKEY root, REGSAM flags, const std::wstring& branch);
// No values and no sub-keys; a missing branch is empty.
bool IsBranchEmpty(HKEY root, REGSAM flags, const std::wstring& branch);

// Every deletion below goes through BranchGuard (refusals logged there) and never through a
// registry link: a link key inside a branch is removed as a link and never entered.

// Removes the branch with everything below it by RemoveBranch; false, logged, for a branch the
// guard refuses or when anything of it stays.
bool WipeBranch(HKEY root, REGSAM flags, const std::wstring& branch);
// Wipes every direct sub-key of branch whose name matches mask ("*", "?", case-sensitive); true
// when all of them went (and when none matched). A branch that is a registry link is refused.
bool DeleteBranchByMask(HKEY root, REGSAM flags, const std::wstring& branch, const std::wstring& mask);
// RemoveBranch of parent\child.
bool RemoveByForce(HKEY root, REGSAM flags, const std::wstring& parent, const std::wstring& child);
// Removes leaves first, each key through a handle relative to its parent. A key refused with
// access denied is taken over and opened again. A key that is already gone counts as removed; a
// key that stays keeps its ancestors.
bool RemoveBranch(const CheckedBranch& branch);
// Deletes the branch's own key, which must have no sub-keys (a link as a link). The Win32 error:
// 0, ERROR_FILE_NOT_FOUND for a missing key, ERROR_ACCESS_DENIED for one with sub-keys. Never logs.
DWORD DeleteSingleKey(const CheckedBranch& branch);
// No values and no sub-keys of the key itself (a link holds its link value); a missing key is empty.
bool IsBranchEmpty(const CheckedBranch& branch);
// Makes Administrators the owner of the key and writes OwnedKeySddl as its protected DACL (with
// SeTakeOwnershipPrivilege enabled for the call). The Win32 error, 0 on success. Never logs.
DWORD TakeOwnership(HKEY root, REGSAM flags, const std::wstring& path);

}  // namespace RegOps
