// File-system operations of the log file context: one open log file, and the stateless path
// operations (existence, directory walk, rename, delete). Failures come back as false or 0.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "base/UniqueHandle.h"

namespace QvBrelLogging::FileSystem {

// One file handle, invalid when closed. Every operation but IsOpen does nothing on a closed file.
class File {
 public:
  File() = default;
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  virtual ~File();

  // Opens (creating) for writing with full sharing; refuses a file with a second hard link.
  virtual bool Open(const std::wstring& name, SECURITY_ATTRIBUTES* security);
  virtual void Close();
  // One WriteFile at the current position.
  virtual bool Write(const void* data, std::size_t length);
  // Moves to the end and returns the new position (the size); 0 on failure.
  virtual std::int64_t SeekToEnd();
  virtual bool Flush();
  virtual bool IsOpen() const;
  // True when open with at most one hard link, or when the link count cannot be read.
  virtual bool HasSingleLink() const;

 private:
  UniqueFileHandle handle_;
};

class Path {
 public:
  Path() = default;
  Path(const Path&) = delete;
  Path& operator=(const Path&) = delete;
  virtual ~Path();

  virtual std::unique_ptr<File> NewFile();
  // Found and not a directory.
  virtual bool FileExists(const std::wstring& name);
  // Makes every folder of `path` from position `start` on a real directory: a junction or symbolic
  // link in the way is removed and replaced. False when any step fails.
  virtual bool CreateDirectories(const std::wstring& path, std::size_t start, SECURITY_ATTRIBUTES* security);
  // Replaces an existing target.
  virtual bool Rename(const std::wstring& from, const std::wstring& to);
  // Deletes now or, when the file is in use, at the next restart. Not found counts as done.
  virtual bool Delete(const std::wstring& name);
};

}  // namespace QvBrelLogging::FileSystem
