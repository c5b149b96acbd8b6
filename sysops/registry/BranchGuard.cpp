// The branch guard: component-by-component opens that never follow a registry link.
#include "sysops/registry/BranchGuard.h"

#include "base/Win32Registry.h"
#include "logging/QvBrelLogging.h"

namespace {

// Enough to list a key and to read its link value.
constexpr REGSAM kInspect = KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE;

// Links the system itself keeps above the branches the scripts name; they are followed by name.
// In the 32-bit view "SOFTWARE\Classes" is the shared class store, which the system reaches
// through a link of its own (Wine keeps "Software\Wow6432Node\Classes" as one).
struct SystemLink {
  HKEY root;
  const wchar_t* path;
};
const SystemLink kSystemLinks[] = {
    {HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet"},
    {HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Hardware Profiles\\Current"},
    {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes"},
};

bool IsSystemLink(HKEY root, const std::wstring& path) {
  for (const SystemLink& link : kSystemLinks)
    if (link.root == root && ::CompareStringOrdinal(path.c_str(), static_cast<int>(path.size()), link.path,
                                                    -1, TRUE) == CSTR_EQUAL)
      return true;
  return false;
}

bool IsMissing(LSTATUS status) { return status == ERROR_FILE_NOT_FOUND || status == ERROR_PATH_NOT_FOUND; }

// The components of a path; false when one of them is empty.
bool Split(const std::wstring& path, std::vector<std::wstring>& parts) {
  size_t start = 0;
  for (;;) {
    const size_t slash = path.find(L'\\', start);
    parts.push_back(path.substr(start, slash == std::wstring::npos ? std::wstring::npos : slash - start));
    if (parts.back().empty()) return false;
    if (slash == std::wstring::npos) return true;
    start = slash + 1;
  }
}

}  // namespace

namespace RegOps {

std::optional<CheckedBranch> BranchGuard::ForRemoval(HKEY root, REGSAM view, const std::wstring& branch) {
  return Check(root, view, branch, 2);
}

std::optional<CheckedBranch> BranchGuard::ForValues(HKEY root, REGSAM view, const std::wstring& branch) {
  return Check(root, view, branch, 1);
}

std::optional<CheckedBranch> BranchGuard::Check(HKEY root, REGSAM view, const std::wstring& branch,
                                                size_t leastComponents) {
  std::vector<std::wstring> parts;
  if (!Split(branch, parts) || parts.size() < leastComponents) {
    QV_BREL_LOG(QV_ERROR, L"Invalid branch: '%s'", branch.c_str());
    return std::nullopt;
  }
  UniqueHKey held;
  HKEY current = root;
  std::wstring walked;
  for (size_t index = 0; index + 1 < parts.size(); ++index) {
    walked += (index == 0 ? L"" : L"\\") + parts[index];
    const bool systemLink = IsSystemLink(root, walked);
    UniqueHKey next;
    const LSTATUS status =
        systemLink ? ::RegOpenKeyExW(current, parts[index].c_str(), 0, kInspect | view, next.put())
                   : RegLink::OpenOwnKey(current, parts[index], kInspect | view, next.put());
    if (IsMissing(status)) return CheckedBranch(nullptr, nullptr, parts.back(), root, view, branch);
    if (status != ERROR_SUCCESS) {
      QV_BREL_LOG(QV_WARNING, L"Refusing branch '%s': '%s' does not open: %ld", branch.c_str(),
                  walked.c_str(), static_cast<long>(status));
      return std::nullopt;
    }
    if (!systemLink && RegLink::IsLink(next.get())) {
      QV_BREL_LOG(QV_WARNING, L"Refusing branch '%s': '%s' is a registry link", branch.c_str(),
                  walked.c_str());
      return std::nullopt;
    }
    held = std::move(next);
    current = held.get();
  }
  auto owner = std::make_shared<const UniqueHKey>(std::move(held));
  return CheckedBranch(std::move(owner), current, parts.back(), root, view, branch);
}

bool BranchGuard::SubBranches(const CheckedBranch& branch, std::vector<CheckedBranch>& subBranches) {
  subBranches.clear();
  if (branch.Parent() == nullptr) return true;
  UniqueHKey key;
  LSTATUS status = RegLink::OpenOwnKey(branch.Parent(), branch.Name(), kInspect | branch.View(), key.put());
  if (IsMissing(status)) return true;
  if (status != ERROR_SUCCESS) {
    QV_BREL_LOG(QV_DEBUG, L"Failed to get sub keys %d : '%s'", static_cast<int>(RegResultOf(status)),
                branch.Text().c_str());
    return false;
  }
  if (RegLink::IsLink(key.get())) {
    QV_BREL_LOG(QV_WARNING, L"Refusing branch '%s': it is a registry link", branch.Text().c_str());
    return false;
  }
  std::vector<std::wstring> names;
  status = RegLink::ListSubkeys(key.get(), names);
  if (status != ERROR_SUCCESS) {
    QV_BREL_LOG(QV_DEBUG, L"Failed to get sub keys %d : '%s'", static_cast<int>(RegResultOf(status)),
                branch.Text().c_str());
    return false;
  }
  auto owner = std::make_shared<const UniqueHKey>(std::move(key));
  for (std::wstring& child : names)
    subBranches.push_back(CheckedBranch(owner, owner->get(), child, branch.Root(), branch.View(),
                                        branch.Text() + L"\\" + child));
  return true;
}

}  // namespace RegOps
