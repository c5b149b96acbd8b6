// The one check every path goes through before something is deleted, copied over or made below
// it: the path must be absolute and canonical, and no folder above its last component may be a
// link. The folders are checked and then held through handles opened on the entries themselves,
// so none of them can be renamed, removed or swapped for a link while the change runs. The checked
// path comes out once, in the form file calls take, as a CheckedPath: only the guard and the tree
// walker (for entries of a folder it holds) make one, so an unchecked path cannot reach a change.
// Never logs: a refusal comes back as text for the caller's warning.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "base/UniqueHandle.h"

namespace QvPath {

// Paths of this length and more reach the system in the extended-length ("\\?\") form:
// CreateDirectoryW refuses them otherwise (it keeps room for an 8.3 name).
inline constexpr std::size_t kShortPathLimit = MAX_PATH - 12;

// A path the guard accepted, in the form file calls take. Movable, not copyable.
class CheckedPath {
 public:
  CheckedPath() = default;
  CheckedPath(CheckedPath&&) = default;
  CheckedPath& operator=(CheckedPath&&) = default;
  CheckedPath(const CheckedPath&) = delete;
  CheckedPath& operator=(const CheckedPath&) = delete;

  bool empty() const { return system_.empty(); }
  const wchar_t* c_str() const { return system_.c_str(); }
  const std::wstring& System() const { return system_; }
  // The path as the caller wrote it (without the "\\?\" the guard or the walker added), for messages.
  std::wstring Display() const;

 private:
  friend class PathGuard;
  friend class TreeWalk;
  CheckedPath(std::wstring system, bool prefixed) : system_(std::move(system)), prefixed_(prefixed) {}
  static CheckedPath FromCanonical(std::wstring_view path);
  // The entry `name` (as a folder listing gave it) of this folder.
  CheckedPath Child(std::wstring_view name) const;

  std::wstring system_;
  bool prefixed_ = false;  // "\\?\" (or "\\?\UNC\") added to the caller's text
};

class PathGuard {
 public:
  // What happens to the last component of the path.
  enum class Last {
    Free,   // neither checked nor held: the change itself decides (a link there goes as a link)
    Check,  // checked like a folder above it (no link), not held: a copy's target
    Hold,   // checked and held: the path is a folder whose entries are used while it is held
  };

  PathGuard() = default;
  PathGuard(const PathGuard&) = delete;
  PathGuard& operator=(const PathGuard&) = delete;

  // Checks `path` and holds every existing folder from its volume root down to the one above its
  // last component. The walk stops without failing at the first component that is missing or a
  // plain file (with `linkStops`, also at a link, which the caller means to replace). False
  // (Refusal() says why, nothing held) for a path that is not absolute and canonical, a folder on
  // the way that is a reparse point or that the system resolves anywhere but inside the folder
  // above it (a link it followed), or one that cannot be opened to be checked. A component with a
  // '~' may resolve to another name in the same folder (an 8.3 short name); no other may.
  bool Acquire(std::wstring_view path, Last last = Last::Free, bool linkStops = false);
  // After the caller made the next missing folder above the last component (MissingFolder(0)):
  // checks and holds it as Acquire would. False (Refusal() says why) when it cannot.
  bool HoldNext();
  void Release();

  // The accepted path (empty before a successful Acquire).
  const CheckedPath& Path() const { return path_; }
  // Why the last Acquire or HoldNext failed, for a warning naming the path.
  const std::wstring& Refusal() const { return refusal_; }
  // The folders above the last component that are not held, outermost first.
  std::size_t MissingCount() const;
  CheckedPath MissingFolder(std::size_t index) const;
  // Whether the walk reached and held the last component (Last::Hold).
  bool HoldsAll() const { return held_.size() == ends_.size(); }
  // The held folders, volume root first: their paths as the caller wrote them and their handles.
  std::size_t HeldCount() const { return held_.size(); }
  std::wstring HeldPath(std::size_t index) const { return text_.substr(0, ends_[index]); }
  HANDLE HeldHandle(std::size_t index) const { return held_[index].get(); }
  // Where the system resolves the deepest held folder ("\\?\C:\..."); entries inside it can be
  // addressed below this path.
  const std::wstring& Resolved() const { return resolved_; }

 private:
  enum class Step { Held, Stop, Refused };
  Step CheckComponent(std::size_t index, bool hold);
  std::wstring Component(std::size_t index) const { return text_.substr(0, ends_[index]); }

  std::wstring text_;              // as the caller gave it, one trailing backslash removed
  std::vector<std::size_t> ends_;  // end of each component in text_, the root first
  std::vector<UniqueFileHandle> held_;
  std::wstring resolved_;
  std::wstring refusal_;
  CheckedPath path_;
  std::size_t limit_ = 0;  // components to hold (the root counts)
  bool linkStops_ = false;
};

}  // namespace QvPath
