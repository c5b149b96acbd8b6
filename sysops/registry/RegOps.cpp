// Logged registry operations and forced branch deletion.
#include "sysops/registry/RegOps.h"

#include <aclapi.h>

#include <functional>
#include <string>

#include "base/ChangeJournal.h"
#include "base/SecurityAttributes.h"
#include "base/UniqueHandle.h"
#include "base/WellKnownSids.h"
#include "base/Win32Registry.h"
#include "base/WildcardMask.h"
#include "logging/QvBrelLogging.h"
#include "sysops/QvPrivilege.h"
#include "sysops/UndoMaterial.h"
#include "sysops/registry/RegExport.h"
#include "sysops/registry/RegOpsSeam.h"

namespace RegOpsSeam {
SetNamedSecurityInfoCall setNamedSecurityInfo = ::SetNamedSecurityInfoW;
}  // namespace RegOpsSeam

namespace {

// The object-name prefix SetNamedSecurityInfoW expects for a root.
const wchar_t* RootPrefix(HKEY root) {
  if (root == HKEY_LOCAL_MACHINE) return L"MACHINE\\";
  if (root == HKEY_CLASSES_ROOT) return L"CLASSES_ROOT\\";
  if (root == HKEY_USERS) return L"USERS\\";
  if (root == HKEY_CURRENT_USER) return L"CURRENT_USER\\";
  return L"";
}

// What the walk needs of a key: list it, read its link value, delete it.
constexpr REGSAM kRemove = DELETE | KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE;

bool IsMissing(LSTATUS status) { return status == ERROR_FILE_NOT_FOUND || status == ERROR_PATH_NOT_FOUND; }

// Sub-key names of an open key; a listing that fails ends early (the delete then reports it).
std::vector<std::wstring> ListSubkeys(HKEY key) {
  std::vector<std::wstring> names;
  RegLink::ListSubkeys(key, names);
  return names;
}

// Removes parent\name (path is its text) and everything below it, never through a link.
bool RemoveChild(QvBrelLogging::LogSite site, HKEY parent, const std::wstring& name, const std::wstring& path,
                 HKEY root, REGSAM view) {
  UniqueHKey key;
  LSTATUS status = RegLink::OpenOwnKey(parent, name, kRemove | view, key.put());
  // The take-over works by name and would follow a link that refuses opening into its target.
  if (status == ERROR_ACCESS_DENIED && RegLink::ResolvesElsewhere(parent, name, view)) {
    QV_BREL_LOG_AT(site, QV_WARNING, L"Refusing to take over '%s': it is a registry link", path.c_str());
    return false;
  }
  if (status == ERROR_ACCESS_DENIED) {
    const DWORD error = RegOps::TakeOwnership(root, view, path);
    if (error != ERROR_SUCCESS)
      QV_BREL_LOG_AT(site, QV_WARNING, L"TakeOwnership failed for '%s': %lu", path.c_str(), error);
    else
      status = RegLink::OpenOwnKey(parent, name, kRemove | view, key.put());
  }
  if (IsMissing(status)) return true;
  const bool link = status == ERROR_SUCCESS && RegLink::IsLink(key.get());
  // A link inside a family branch is no family data: only the link goes, never what it names.
  if (link)
    QV_BREL_LOG_AT(site, QV_WARNING, L"Removing registry link '%s' as a link: its target stays",
                   path.c_str());
  if (status == ERROR_SUCCESS && !link) {
    bool removed = true;
    for (const std::wstring& sub : ListSubkeys(key.get()))
      removed = RemoveChild(site, key.get(), sub, path + L"\\" + sub, root, view) && removed;
    if (!removed) return false;
  }
  if (status == ERROR_SUCCESS) status = RegLink::DeleteOpenKey(key.get());
  if (status == ERROR_SUCCESS || IsMissing(status)) return true;
  QV_BREL_LOG_AT(site, QV_ERROR, L"Failed to delete '%s': %d", path.c_str(),
                 static_cast<int>(RegResultOf(status)));
  return false;
}

ChangeJournal& Journal() { return ChangeJournal::Instance(); }

// RemoveChild over the keys the export held: each is deleted through its handle, leaves first. A
// key the handle cannot delete (no delete access, or a sub-key made since the export) and every
// link go by RemoveChild, with its take-over and its link handling.
bool RemoveHeld(QvBrelLogging::LogSite site, HKEY parent, RegExport::HeldKey& held, const std::wstring& path,
                HKEY root, REGSAM view) {
  if (!held.link) {
    bool removed = true;
    for (RegExport::HeldKey& child : held.children)
      removed = RemoveHeld(site, held.key.get(), child, path + L"\\" + child.name, root, view) && removed;
    if (!removed) return false;
    const LSTATUS status = RegLink::DeleteOpenKey(held.key.get());
    if (status == ERROR_SUCCESS || IsMissing(status)) return true;
  }
  held.key.reset();
  return RemoveChild(site, parent, held.name, path, root, view);
}

// A key with sub-keys refuses a single deletion: nothing of it goes, nothing is exported.
bool HasSubkeys(HKEY key) {
  DWORD subkeys = 0;
  return ::RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr,
                            nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
         subkeys != 0;
}

std::wstring BranchTarget(const RegOps::CheckedBranch& branch) {
  return RegistryTarget(branch.Root(), branch.Text(), branch.View());
}

// What a branch holds, for the plan: keys (itself included) and values, never through a link.
void CountBranch(HKEY parent, const std::wstring& name, REGSAM view, unsigned long long& keys,
                 unsigned long long& values) {
  UniqueHKey key;
  if (RegLink::OpenOwnKey(parent, name, KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE | view, key.put()) !=
      ERROR_SUCCESS)
    return;
  ++keys;
  if (RegLink::IsLink(key.get())) return;
  DWORD count = 0;
  if (::RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, nullptr,
                         nullptr, nullptr, nullptr) == ERROR_SUCCESS)
    values += count;
  for (const std::wstring& sub : ListSubkeys(key.get())) CountBranch(key.get(), sub, view, keys, values);
}

// In plan mode: the branch as it would go ("planned", with what it holds), nothing when it is absent.
// A place an earlier planned deletion already takes is gone by then in a real run: a deletion there
// would find nothing, so the plan records nothing for it.
void PlanBranchRemoval(const RegOps::CheckedBranch& branch) {
  if (branch.Parent() == nullptr || Journal().PlannedGone(BranchTarget(branch))) return;
  unsigned long long keys = 0, values = 0;
  CountBranch(branch.Parent(), branch.Name(), branch.View(), keys, values);
  if (keys == 0) return;
  Journal().Record(L"registry.deleteBranch", BranchTarget(branch), ChangeResult::Planned, ERROR_SUCCESS,
                   std::to_wstring(keys) + L" keys, " + std::to_wstring(values) + L" values");
}

bool ValueExists(const RegOps::CheckedBranch& branch, const std::wstring& value) {
  UniqueHKey key;
  return branch.Parent() != nullptr &&
         RegLink::OpenOwnKey(branch.Parent(), branch.Name(), KEY_QUERY_VALUE | branch.View(), key.put()) ==
             ERROR_SUCCESS &&
         ::RegQueryValueExW(key.get(), value.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

// In plan mode: a branch whose every value and sub-key a planned deletion takes.
bool EmptyAfterPlan(const RegOps::CheckedBranch& branch) {
  UniqueHKey key;
  const LSTATUS status = RegLink::OpenOwnKey(
      branch.Parent(), branch.Name(), KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS | branch.View(), key.put());
  if (IsMissing(status)) return true;
  if (status != ERROR_SUCCESS) return false;
  std::vector<wchar_t> name(16384);
  for (DWORD index = 0;; ++index) {
    DWORD length = static_cast<DWORD>(name.size());
    const LSTATUS read =
        ::RegEnumValueW(key.get(), index, name.data(), &length, nullptr, nullptr, nullptr, nullptr);
    if (read == ERROR_NO_MORE_ITEMS) break;
    if (read != ERROR_SUCCESS) return false;
    const std::wstring value(name.data(), length);
    if (!Journal().PlannedGone(RegistryTarget(branch.Root(), branch.Text(), branch.View(), &value)))
      return false;
  }
  for (const std::wstring& sub : ListSubkeys(key.get()))
    if (!Journal().PlannedGone(RegistryTarget(branch.Root(), branch.Text() + L"\\" + sub, branch.View())))
      return false;
  return true;
}

// The write, journalled; in plan mode only journalled (and taken as done). The caller logs a
// failure under its own name.
bool JournalledWrite(HKEY root, REGSAM flags, const std::wstring& branch, const std::wstring& key,
                     Win32Registry& registry, const std::function<bool()>& write) {
  const std::wstring target = RegistryTarget(root, branch, flags, &key);
  if (Journal().Planning()) {
    Journal().Record(L"registry.setValue", target, ChangeResult::Planned);
    return true;
  }
  const bool written = write();
  Journal().RecordOutcome(L"registry.setValue", target, written, registry.GetLastResult());
  return written;
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
  if (JournalledWrite(root, flags, branch, key, registry,
                      [&] { return registry.SetDWORD(branch, key, value); }))
    return true;
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
  if (JournalledWrite(root, flags, branch, key, registry,
                      [&] { return registry.SetString(branch, key, text); }))
    return true;
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
  const std::optional<CheckedBranch> checked = BranchGuard::ForValues(root, flags, branch);
  return checked && DeleteValue(*checked, key);
}

bool DeleteValue(const CheckedBranch& branch, const std::wstring& key) {
  const std::wstring target = RegistryTarget(branch.Root(), branch.Text(), branch.View(), &key);
  if (Journal().Planning()) {
    if (!Journal().PlannedGone(target) && ValueExists(branch, key))
      Journal().Record(L"registry.deleteValue", target, ChangeResult::Planned);
    return true;
  }
  if (branch.Parent() == nullptr) {
    Journal().Record(L"registry.deleteValue", target, ChangeResult::Absent);
    return true;
  }
  UniqueHKey hkey;
  LSTATUS status = RegLink::OpenOwnKey(branch.Parent(), branch.Name(),
                                       KEY_SET_VALUE | KEY_QUERY_VALUE | branch.View(), hkey.put());
  if (status == ERROR_SUCCESS && RegLink::IsLink(hkey.get())) {
    QV_BREL_LOG(QV_WARNING, L"Refusing branch '%s': it is a registry link", branch.Text().c_str());
    Journal().Record(L"registry.deleteValue", target, ChangeResult::Failed, ERROR_ACCESS_DENIED);
    return false;
  }
  if (status == ERROR_SUCCESS && !UndoMaterial::Instance().BeforeValueDeletion(branch, key)) {
    Journal().Record(L"registry.deleteValue", target, ChangeResult::Failed, ERROR_CANCELLED);
    return false;
  }
  if (status == ERROR_SUCCESS) status = ::RegDeleteValueW(hkey.get(), key.c_str());
  Journal().Record(L"registry.deleteValue", target,
                   status == ERROR_SUCCESS ? ChangeResult::Done
                   : IsMissing(status)     ? ChangeResult::Absent
                                           : ChangeResult::Failed,
                   static_cast<DWORD>(status));
  if (status == ERROR_SUCCESS || IsMissing(status)) return true;
  QV_BREL_LOG(QV_ERROR, L"Failed to delete '%s:%s': %d", branch.Text().c_str(), key.c_str(),
              static_cast<int>(RegResultOf(status)));
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

bool IsBranchEmpty(const CheckedBranch& branch) {
  if (branch.Parent() == nullptr) return true;
  if (Journal().Planning()) return EmptyAfterPlan(branch);
  UniqueHKey key;
  const LSTATUS status =
      RegLink::OpenOwnKey(branch.Parent(), branch.Name(), KEY_QUERY_VALUE | branch.View(), key.put());
  if (IsMissing(status)) return true;
  DWORD subkeys = 0, values = 0;
  return status == ERROR_SUCCESS &&
         ::RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values,
                            nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
         subkeys == 0 && values == 0;
}

bool WipeBranch(HKEY root, REGSAM flags, const std::wstring& branch) {
  const std::optional<CheckedBranch> checked = BranchGuard::ForRemoval(root, flags, branch);
  return checked && RemoveBranch(*checked);
}

bool DeleteBranchByMask(HKEY root, REGSAM flags, const std::wstring& branch, const std::wstring& mask) {
  const std::optional<CheckedBranch> checked = BranchGuard::ForRemoval(root, flags, branch);
  std::vector<CheckedBranch> subBranches;
  if (!checked || !BranchGuard::SubBranches(*checked, subBranches)) return false;
  bool removed = true;
  for (const CheckedBranch& sub : subBranches)
    if (QvText::MatchesMask(mask, sub.Name())) removed = RemoveBranch(sub) && removed;
  return removed;
}

bool RemoveByForce(HKEY root, REGSAM flags, const std::wstring& parent, const std::wstring& child) {
  return WipeBranch(root, flags, parent + L"\\" + child);
}

// The walk itself, whose records carry this function's name wherever the branch came from.
bool RemoveByForce(const CheckedBranch& branch, RegExport::HeldKey& held) {
  return held.key
             ? RemoveHeld(QV_LOG_SITE, branch.Parent(), held, branch.Text(), branch.Root(), branch.View())
             : RemoveChild(QV_LOG_SITE, branch.Parent(), branch.Name(), branch.Text(), branch.Root(),
                           branch.View());
}

bool RemoveBranch(const CheckedBranch& branch) {
  if (Journal().Planning()) {
    PlanBranchRemoval(branch);
    return true;
  }
  UniqueHKey probe;
  const bool present =
      branch.Parent() != nullptr &&
      !IsMissing(RegLink::OpenOwnKey(branch.Parent(), branch.Name(), branch.View(), probe.put()));
  probe.reset();
  RegExport::HeldKey held;
  if (present && !UndoMaterial::Instance().BeforeBranchDeletion(branch, &held)) {
    Journal().Record(L"registry.deleteBranch", BranchTarget(branch), ChangeResult::Failed, ERROR_CANCELLED);
    return false;
  }
  // One RegDeleteTreeW would follow a link inside the branch into its target, so the branch is
  // always walked; with handles relative to the parent that costs no more calls.
  const bool removed = !present || RemoveByForce(branch, held);
  Journal().Record(L"registry.deleteBranch", BranchTarget(branch),
                   !present  ? ChangeResult::Absent
                   : removed ? ChangeResult::Done
                             : ChangeResult::Failed,
                   removed ? ERROR_SUCCESS : ERROR_ACCESS_DENIED);
  return removed;
}

DWORD DeleteSingleKey(const CheckedBranch& branch) {
  if (branch.Parent() == nullptr) return ERROR_FILE_NOT_FOUND;
  UniqueHKey key;
  LSTATUS opened = RegLink::OpenOwnKey(branch.Parent(), branch.Name(),
                                       DELETE | KEY_QUERY_VALUE | branch.View(), key.put());
  // A key that may be deleted but not read still goes (and its export fails, as it must).
  if (opened == ERROR_ACCESS_DENIED)
    opened = RegLink::OpenOwnKey(branch.Parent(), branch.Name(), DELETE | branch.View(), key.put());
  if (Journal().Planning()) {
    if (opened == ERROR_SUCCESS && !Journal().PlannedGone(BranchTarget(branch)))
      Journal().Record(L"registry.deleteKey", BranchTarget(branch), ChangeResult::Planned);
    return static_cast<DWORD>(opened);
  }
  if (opened == ERROR_SUCCESS && !HasSubkeys(key.get()) &&
      !UndoMaterial::Instance().BeforeBranchDeletion(branch)) {
    Journal().Record(L"registry.deleteKey", BranchTarget(branch), ChangeResult::Failed, ERROR_CANCELLED);
    return ERROR_CANCELLED;
  }
  const auto status =
      static_cast<DWORD>(opened == ERROR_SUCCESS ? RegLink::DeleteOpenKey(key.get()) : opened);
  Journal().Record(L"registry.deleteKey", BranchTarget(branch),
                   status == ERROR_SUCCESS                   ? ChangeResult::Done
                   : IsMissing(static_cast<LSTATUS>(status)) ? ChangeResult::Absent
                                                             : ChangeResult::Failed,
                   status);
  return status;
}

namespace {
DWORD TakeOwnershipOf(HKEY root, REGSAM flags, const std::wstring& path);
}  // namespace

DWORD TakeOwnership(HKEY root, REGSAM flags, const std::wstring& path) {
  // Never in plan mode: the plan changes no key's security.
  if (Journal().Planning()) return ERROR_SUCCESS;
  const DWORD result = TakeOwnershipOf(root, flags, path);
  Journal().RecordOutcome(L"registry.takeOwnership", RegistryTarget(root, path, flags),
                          result == ERROR_SUCCESS, result);
  return result;
}

namespace {
DWORD TakeOwnershipOf(HKEY root, REGSAM flags, const std::wstring& path) {
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
  const DWORD owner = RegOpsSeam::setNamedSecurityInfo(object.data(), type, OWNER_SECURITY_INFORMATION,
                                                       administrators.get(), nullptr, nullptr, nullptr);
  if (owner != ERROR_SUCCESS) return owner;
  return RegOpsSeam::setNamedSecurityInfo(object.data(), type,
                                          DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                                          nullptr, nullptr, dacl, nullptr);
}

}  // namespace

}  // namespace RegOps
