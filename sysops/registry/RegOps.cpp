// Logged registry operations and forced branch deletion.
#include "sysops/registry/RegOps.h"

#include <aclapi.h>

#include "base/SecurityAttributes.h"
#include "base/UniqueHandle.h"
#include "base/WellKnownSids.h"
#include "base/Win32Registry.h"
#include "base/WildcardMask.h"
#include "logging/QvBrelLogging.h"
#include "sysops/QvPrivilege.h"

namespace {

// The object-name prefix SetNamedSecurityInfoW expects for a root.
const wchar_t* RootPrefix(HKEY root) {
  if (root == HKEY_LOCAL_MACHINE) return L"MACHINE\\";
  if (root == HKEY_CLASSES_ROOT) return L"CLASSES_ROOT\\";
  if (root == HKEY_USERS) return L"USERS\\";
  if (root == HKEY_CURRENT_USER) return L"CURRENT_USER\\";
  return L"";
}

// RemoveByForce of every sub-key of path; all are attempted, true only if all went.
bool RemoveSubkeys(HKEY root, REGSAM flags, const std::wstring& path) {
  bool removed = true;
  for (const std::wstring& name : RegOps::GetSubkeys(root, flags, path))
    removed = RegOps::RemoveByForce(root, flags, path, name) && removed;
  return removed;
}

}  // namespace

namespace RegOps {

DWORD GetDWORD(HKEY root, REGSAM flags, const std::wstring& branch, const std::wstring& key) {
  Win32Registry registry(root, flags);
  DWORD value = 0;
  if (registry.GetDWORD(branch, key, value)) return value;
  if (registry.GetLastResult() != RegResult::NotFound)
    QV_BREL_LOG(QV_WARNING, L"Failed to read '%s:%s': %d", branch.c_str(), key.c_str(),
                static_cast<int>(registry.GetLastResult()));
  return 0;
}

bool SetDWORD(HKEY root, REGSAM flags, const std::wstring& branch, const std::wstring& key, DWORD value) {
  Win32Registry registry(root, flags);
  if (registry.SetDWORD(branch, key, value)) return true;
  QV_BREL_LOG(QV_ERROR, L"Failed to write '%s:%s': %d", branch.c_str(), key.c_str(),
              static_cast<int>(registry.GetLastResult()));
  return false;
}

std::wstring GetString(HKEY root, REGSAM flags, const std::wstring& branch, const std::wstring& key) {
  Win32Registry registry(root, flags);
  std::wstring text;
  if (registry.GetString(branch, key, text)) return text;
  if (registry.GetLastResult() != RegResult::NotFound)
    QV_BREL_LOG(QV_WARNING, L"Failed to read '%s:%s': %d", branch.c_str(), key.c_str(),
                static_cast<int>(registry.GetLastResult()));
  return {};
}

bool SetString(HKEY root, REGSAM flags, const std::wstring& branch, const std::wstring& key,
               const std::wstring& text) {
  Win32Registry registry(root, flags);
  if (registry.SetString(branch, key, text)) return true;
  QV_BREL_LOG(QV_ERROR, L"Failed to write '%s:%s': %d", branch.c_str(), key.c_str(),
              static_cast<int>(registry.GetLastResult()));
  return false;
}

std::vector<std::wstring> GetMultiString(HKEY root, REGSAM flags, const std::wstring& branch,
                                         const std::wstring& key) {
  Win32Registry registry(root, flags);
  std::vector<std::wstring> list;
  if (registry.GetMultiString(branch, key, list)) return list;
  if (registry.GetLastResult() != RegResult::NotFound)
    QV_BREL_LOG(QV_WARNING, L"Failed to read '%s:%s': %d", branch.c_str(), key.c_str(),
                static_cast<int>(registry.GetLastResult()));
  return {};
}

bool DeleteKey(HKEY root, REGSAM flags, const std::wstring& branch, const std::wstring& key) {
  Win32Registry registry(root, flags);
  if (registry.DeleteValue(branch, key) || registry.GetLastResult() == RegResult::NotFound) return true;
  QV_BREL_LOG(QV_ERROR, L"Failed to delete '%s:%s': %d", branch.c_str(), key.c_str(),
              static_cast<int>(registry.GetLastResult()));
  return false;
}

std::vector<std::wstring> GetSubkeys(HKEY root, REGSAM flags, const std::wstring& branch) {
  Win32Registry registry(root, flags);
  std::vector<std::wstring> names;
  registry.GetSubkeys(branch, names);
  if (registry.GetLastResult() > RegResult::NotFound)
    QV_BREL_LOG(QV_DEBUG, L"Failed to get sub keys %d : '%s'", static_cast<int>(registry.GetLastResult()),
                branch.c_str());
  return names;
}

std::vector<std::wstring> GetValueKeys(HKEY root, REGSAM flags, const std::wstring& branch) {
  Win32Registry registry(root, flags);
  std::vector<std::wstring> names;
  registry.GetValueNames(branch, names);
  if (registry.GetLastResult() > RegResult::NotFound)
    QV_BREL_LOG(QV_DEBUG, L"Failed to get sub keys %d : '%s'", static_cast<int>(registry.GetLastResult()),
                branch.c_str());
  return names;
}

bool IsBranchEmpty(HKEY root, REGSAM flags, const std::wstring& branch) {
  return GetValueKeys(root, flags, branch).empty() && GetSubkeys(root, flags, branch).empty();
}

bool WipeBranch(HKEY root, REGSAM flags, const std::wstring& branch) {
  const size_t slash = branch.rfind(L'\\');
  if (slash == std::wstring::npos) {
    QV_BREL_LOG(QV_ERROR, L"Invalid branch: '%s'", branch.c_str());
    return false;
  }
  const std::wstring parent = branch.substr(0, slash);
  const std::wstring child = branch.substr(slash + 1);
  // One RegDeleteTreeW takes a whole healthy branch at a fraction of the walk's calls; when any key
  // refuses, it stops with part of the branch gone, and the walk takes what is left.
  Win32Registry registry(root, flags);
  if (!child.empty() &&
      (registry.DeleteTree(parent, child) || registry.GetLastResult() == RegResult::NotFound))
    return true;
  return RemoveByForce(root, flags, parent, child);
}

bool DeleteBranchByMask(HKEY root, REGSAM flags, const std::wstring& branch, const std::wstring& mask) {
  bool removed = true;
  for (const std::wstring& name : GetSubkeys(root, flags, branch))
    if (QvText::MatchesMask(mask, name)) removed = WipeBranch(root, flags, branch + L"\\" + name) && removed;
  return removed;
}

bool RemoveByForce(HKEY root, REGSAM flags, const std::wstring& parent, const std::wstring& child) {
  const std::wstring path = parent + L"\\" + child;
  if (!RemoveSubkeys(root, flags, path)) return false;
  Win32Registry registry(root, flags);
  if (registry.DeleteKey(path)) return true;
  DWORD code = registry.GetLastResult();
  if (code == RegResult::AccessDenied) {
    const DWORD error = TakeOwnership(root, flags, path);
    if (error != ERROR_SUCCESS) {
      QV_BREL_LOG(QV_WARNING, L"TakeOwnership failed for '%s': %lu", path.c_str(), error);
    } else {
      // A key that refused reading could not be listed before; now its sub-keys can be walked.
      if (!RemoveSubkeys(root, flags, path)) return false;
      if (registry.DeleteKey(path)) return true;
      code = registry.GetLastResult();
    }
  }
  if (code == RegResult::NotFound) return true;
  QV_BREL_LOG(QV_ERROR, L"Failed to delete '%s': %d", path.c_str(), static_cast<int>(code));
  return false;
}

DWORD TakeOwnership(HKEY root, REGSAM flags, const std::wstring& path) {
  std::wstring object = RootPrefix(root) + path;
  const UniqueAllocatedSid administrators = QvSids::CreateAdministratorsSid();
  if (!administrators) return ::GetLastError() != ERROR_SUCCESS ? ::GetLastError() : ERROR_INVALID_PARAMETER;
  const SecurityAttributes security = SecurityAttributes::FromSddl(OwnedKeySddl);
  BOOL present = FALSE;
  BOOL defaulted = FALSE;
  PACL dacl = nullptr;
  if (security.IsEmpty() ||
      !::GetSecurityDescriptorDacl(security.Descriptor(), &present, &dacl, &defaulted) || !present ||
      dacl == nullptr) {
    const DWORD error = ::GetLastError();
    return error != ERROR_SUCCESS ? error : ERROR_INVALID_PARAMETER;
  }
  const SE_OBJECT_TYPE type = (flags & KEY_WOW64_32KEY) ? SE_REGISTRY_WOW64_32KEY : SE_REGISTRY_KEY;
  QvPrivilege takeOwnership(SE_TAKE_OWNERSHIP_NAME);
  // The owner first, on its own: the privilege grants the right to change the owner but not the
  // right to rewrite the DACL, which the new owner then has.
  const DWORD owner = ::SetNamedSecurityInfoW(object.data(), type, OWNER_SECURITY_INFORMATION,
                                              administrators.get(), nullptr, nullptr, nullptr);
  if (owner != ERROR_SUCCESS) return owner;
  return ::SetNamedSecurityInfoW(object.data(), type,
                                 DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr,
                                 nullptr, dacl, nullptr);
}

}  // namespace RegOps
