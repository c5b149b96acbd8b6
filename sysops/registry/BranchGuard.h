// The one check every registry deletion of the tool passes. Registry data the tool reads may be
// damaged or planted, so a branch named by text is taken apart into its components (none may be
// empty) and opened one component at a time from its root, never through a registry link. What
// passes is handed on as a CheckedBranch, which only the guard makes; the deleting primitives of
// RegOps take that type, so no deletion can start from an unchecked path.
#pragma once

#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/UniqueHandle.h"

namespace RegOps {

class BranchGuard;

// A branch that passed the guard: the key holding it, opened as itself (or the root for a
// one-component path), the branch's own name below that key, the root and view, and the path as
// the caller gave it (for messages and the security functions, which take names).
class CheckedBranch {
 public:
  // Null when a key above the branch does not exist (then the branch does not either).
  HKEY Parent() const { return parent_; }
  const std::wstring& Name() const { return name_; }
  HKEY Root() const { return root_; }
  REGSAM View() const { return view_; }
  const std::wstring& Text() const { return text_; }

 private:
  friend class BranchGuard;
  CheckedBranch(std::shared_ptr<const UniqueHKey> owner, HKEY parent, std::wstring name, HKEY root,
                REGSAM view, std::wstring text)
      : owner_(std::move(owner)),
        parent_(parent),
        name_(std::move(name)),
        root_(root),
        view_(view),
        text_(std::move(text)) {}

  std::shared_ptr<const UniqueHKey> owner_;  // shared by the sub-branches of one listing
  HKEY parent_;
  std::wstring name_;
  HKEY root_;
  REGSAM view_;
  std::wstring text_;
};

class BranchGuard {
 public:
  // A branch to remove: two components at least. Refused (nothing) with the error "Invalid branch:
  // '<text>'" for a single component or an empty one (empty text, a leading, doubled or trailing
  // backslash), and with a warning when a key above the last component is a registry link or
  // cannot be opened. The system's own links above it (CurrentControlSet) are followed.
  static std::optional<CheckedBranch> ForRemoval(HKEY root, REGSAM view, const std::wstring& branch);
  // A key whose values are deleted: the same rules, one component is enough.
  static std::optional<CheckedBranch> ForValues(HKEY root, REGSAM view, const std::wstring& branch);
  // The direct sub-keys of a checked branch, each a checked branch of its own. False when the
  // branch is a registry link (warning) or cannot be listed; a missing branch has none.
  static bool SubBranches(const CheckedBranch& branch, std::vector<CheckedBranch>& subBranches);

 private:
  static std::optional<CheckedBranch> Check(HKEY root, REGSAM view, const std::wstring& branch,
                                            size_t leastComponents);
};

}  // namespace RegOps
