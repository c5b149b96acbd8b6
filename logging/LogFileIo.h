// The log file's I/O: one open log file, the stateless path operations (existence, directory walk,
// rename, delete), and the pinned folder chain that the elevated log file is reached through.
// Failures come back as false or 0.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/PathGuard.h"
#include "base/UniqueHandle.h"

namespace QvBrelLogging::LogFileIo {

// Handles on a folder and on every folder above it, held by the path guard (base/PathGuard.h) from
// the volume root down, each without delete sharing: while they are held none of them can be
// renamed, removed or replaced by a link.
class FolderPins {
 public:
  struct Folder {
    std::wstring path;  // as built from the root
    HANDLE handle;      // owned by the guard
  };

  FolderPins() = default;
  FolderPins(const FolderPins&) = delete;
  FolderPins& operator=(const FolderPins&) = delete;

  // Pins every folder of `path` (`root` + "\..."), the ones above `root` included. False, holding
  // nothing, when one is missing, not a folder, a link, or resolves anywhere but inside the folder
  // above it. With `existingOnly`, stops without failing at the first folder below `root` that is
  // missing or a link, holding the ones above it.
  bool Pin(const std::wstring& root, const std::wstring& path, bool existingOnly = false);
  void Release();
  bool Held() const { return !folders_.empty(); }
  // From `root` down.
  const std::vector<Folder>& Folders() const { return folders_; }
  // The deepest pinned folder as the system resolves it ("\\?\C:\..."); entries inside it
  // are addressed below this path.
  const std::wstring& Resolved() const { return guard_.Resolved(); }

 private:
  QvPath::PathGuard guard_;
  std::vector<Folder> folders_;
};

// One file handle, invalid when closed. Every operation but IsOpen does nothing on a closed file.
class File {
 public:
  File() = default;
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  virtual ~File();

  // Opens (creating) for writing with full sharing, never through a link: refuses a reparse point,
  // a folder and a file with a second hard link.
  virtual bool Open(const std::wstring& name, SECURITY_ATTRIBUTES* security);
  // Open for the entry `name` of a pinned folder; also refuses a file that the system resolves
  // anywhere but there.
  virtual bool OpenIn(const FolderPins& folder, const std::wstring& name, SECURITY_ATTRIBUTES* security);
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

  // Entries of a pinned folder, acted on through a handle on the entry itself. A link (or anything
  // the system resolves elsewhere) is never followed: it is removed as a link, and what it points
  // to is left alone; a folder is left alone.
  //
  // Renames the file `from` to `to` (replacing a file there); a link at `from` is removed instead,
  // and false returned.
  virtual bool RenameIn(const FolderPins& folder, const std::wstring& from, const std::wstring& to);
  // Deletes now or, when the file is in use, at the next restart. Not found counts as done; false
  // when a link or folder cannot be removed.
  virtual bool DeleteIn(const FolderPins& folder, const std::wstring& name);
  // Removes the empty folder `name`; a link there is removed as a link. Not found counts as done;
  // false for a file, a folder that holds anything or one in use.
  virtual bool RemoveEmptyFolderIn(const FolderPins& folder, const std::wstring& name);
};

}  // namespace QvBrelLogging::LogFileIo
