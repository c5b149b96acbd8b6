// Compound registry operations of the tool: logged reads and writes, listings, and deletion of
// whole branches by force. Each call builds its own Win32Registry for the root and view flags given.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

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
// Deletes one value; a missing value or branch counts as deleted.
bool DeleteKey(HKEY root, REGSAM flags, const std::wstring& branch, const std::wstring& key);

// Sub-key and value names in enumeration order; empty on failure (logged at debug level unless
// the branch is missing).
std::vector<std::wstring> GetSubkeys(HKEY root, REGSAM flags, const std::wstring& branch);
std::vector<std::wstring> GetValueKeys(HKEY root, REGSAM flags, const std::wstring& branch);
// No values and no sub-keys; a missing branch is empty.
bool IsBranchEmpty(HKEY root, REGSAM flags, const std::wstring& branch);

// Removes the branch with everything below it: in one tree deletion, or else by RemoveByForce;
// false, logged, for a path without a backslash or when anything of it stays.
bool WipeBranch(HKEY root, REGSAM flags, const std::wstring& branch);
// Wipes every direct sub-key of branch whose name matches mask ("*", "?", case-sensitive); true
// when all of them went (and when none matched).
bool DeleteBranchByMask(HKEY root, REGSAM flags, const std::wstring& branch, const std::wstring& mask);
// Removes parent\child leaves first. A key refused with access denied is taken over and its branch
// walked again. A key that is already gone counts as removed; a key that stays keeps its ancestors.
bool RemoveByForce(HKEY root, REGSAM flags, const std::wstring& parent, const std::wstring& child);
// Makes Administrators the owner of the key and writes OwnedKeySddl as its protected DACL (with
// SeTakeOwnershipPrivilege enabled for the call). The Win32 error, 0 on success. Never logs.
DWORD TakeOwnership(HKEY root, REGSAM flags, const std::wstring& path);

}  // namespace RegOps
