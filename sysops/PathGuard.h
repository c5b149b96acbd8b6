// The checks a change below a path goes through before it touches the disk: the path must be
// absolute, and no folder above its last component may be a link. The folders are checked and
// then held through handles opened on the entries themselves, so none of them can be renamed,
// removed or swapped for a link while the change runs.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

#include "base/UniqueHandle.h"

namespace QvPath {

class PathGuard {
 public:
  PathGuard() = default;
  PathGuard(const PathGuard&) = delete;
  PathGuard& operator=(const PathGuard&) = delete;

  // Checks `path` and holds every existing folder from its volume root down to the one above its
  // last component (with checkLast, the last component is checked too, but not held). The walk
  // stops without failing at the first component that is missing or a plain file. False (warning
  // logged, nothing held) for a path that is not absolute, a folder on the way that is a reparse
  // point or that the system resolves anywhere but inside the folder above it (a link it
  // followed), or one that cannot be opened to be checked.
  bool Acquire(const std::wstring& path, bool checkLast = false);
  // After the caller made the next missing folder above the last component: checks and holds it
  // as Acquire would. False (warning logged) when it is a link or cannot be checked.
  bool HoldNext();
  // The folders above the last component that Acquire found missing, outermost first.
  std::vector<std::wstring> Missing() const;
  void Release();

 private:
  enum class Step { Held, Stop, Refused };
  Step CheckComponent(std::size_t index, bool hold);

  std::wstring requested_;         // as the caller gave it, for messages
  std::wstring full_;              // the normalised full path the components are taken from
  std::vector<std::size_t> ends_;  // end of each component in full_, the root first
  std::vector<UniqueFileHandle> held_;
  std::wstring resolved_;  // where the system resolves the deepest held folder
  std::size_t limit_ = 0;  // components above the last one (the root counts)
};

}  // namespace QvPath
