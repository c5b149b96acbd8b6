// Scratch folders, files, links, file holders, restart schedules and log capture for the tests
// of the file primitives. Everything works on real files of the test machine.
#pragma once

#include "tests/support/LogCapture.h"

#include <windows.h>

#include <string>
#include <vector>

#include "base/UniqueHandle.h"

namespace FileTest {

// A fresh folder under the temporary folder, removed with everything in it (links as links) at the
// end of the test.
class ScratchFolder {
 public:
  ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  ~ScratchFolder();

  const std::wstring& Path() const { return path_; }
  std::wstring operator/(const std::wstring& relative) const { return path_ + L"\\" + relative; }

 private:
  std::wstring path_;
};

bool IsWine();
bool Exists(const std::wstring& path);
DWORD Attributes(const std::wstring& path);
bool MakeFolder(const std::wstring& path);
bool MakeFile(const std::wstring& path, DWORD attributes = FILE_ATTRIBUTE_NORMAL);
// A folder link at link pointing to target: a unix symbolic link under Wine (the only kind it shows as
// a reparse point), a directory symbolic link elsewhere.
bool MakeFolderLink(const std::wstring& link, const std::wstring& target);
// The extended-length form, for building trees deeper than MAX_PATH in the test itself.
std::wstring Extended(const std::wstring& path);

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
  UniqueHandle process_;
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

// Log records written while a capture lives, read back from the capture's own log file.
struct LogRecord {
  int level;
  std::string tag;
  std::wstring text;
};
class LogCapture {
 public:
  LogCapture() { started_ = capture_.Start(); }
  bool Started() const { return started_; }
  std::vector<LogRecord> Records() const;
  int Count(int level, const std::string& tag, const std::wstring& text) const;
  int CountStartingWith(int level, const std::string& tag, const std::wstring& prefix) const;
  // Records at this level or a more severe one (a lower number).
  int CountAtOrAbove(int level) const;

 private:
  QvTest::LogCapture capture_;
  bool started_ = false;
};

}  // namespace FileTest
