// File holders and restart schedules for the tests of the file primitives (scratch folders, links
// and log capture come from tests/support). Everything works on real files of the test machine.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "base/PathGuard.h"
#include "base/UniqueHandle.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/LogCapture.h"
#include "tests/support/ScratchDir.h"

namespace FileTest {

// A path through the path guard, held for the full expression it is made in:
// `TryWipeFile(Guarded(path), ...)`. A refused path gives the empty path every primitive refuses.
class Guarded {
 public:
  explicit Guarded(const std::wstring& path) { guard_.Acquire(path); }
  operator const QvPath::CheckedPath&() const { return guard_.Path(); }

 private:
  QvPath::PathGuard guard_;
};

// Another process keeping a file open without delete sharing until the holder goes.
class FileHolder {
 public:
  explicit FileHolder(const std::wstring& path);
  FileHolder(const FileHolder&) = delete;
  FileHolder& operator=(const FileHolder&) = delete;
  ~FileHolder();
  bool IsHolding() const { return holding_; }

 private:
  UniqueHandle ready_;
  UniqueHandle release_;
  std::unique_ptr<QvTest::ChildProcess> holder_;
  bool holding_ = false;
};

// Serialises the tests of all suite processes that write restart schedules, and removes the
// entries registered for the given paths when it goes (so later runs and sessions see none).
class PendingDeletions {
 public:
  PendingDeletions();
  PendingDeletions(const PendingDeletions&) = delete;
  PendingDeletions& operator=(const PendingDeletions&) = delete;
  ~PendingDeletions();

  // Whether the restart schedule holds a deletion of path.
  bool Contains(const std::wstring& path) const;
  // Registers path for removal from the schedule when this object goes.
  void CleanUpLater(const std::wstring& path) { cleanUp_.push_back(path); }

 private:
  UniqueHandle mutex_;
  std::vector<std::wstring> cleanUp_;
};

}  // namespace FileTest
