// The entries of one folder, read one by one through FindFirstFileExW/FindNextFileW.
#pragma once

#include <windows.h>

#include <string>

#include "base/UniqueHandle.h"

namespace QvPath {

// Lists the entries matching `pattern` ("C:\\dir\\*"; use the extended form for long paths), "."
// and ".." left out. Walk it with `while (listing.Next())`; afterwards Completed() tells a full
// listing from one that broke off, and Error() the reason. Not copyable; the find handle is closed
// when the listing goes.
class DirectoryListing {
 public:
  explicit DirectoryListing(const std::wstring& pattern);
  DirectoryListing(const DirectoryListing&) = delete;
  DirectoryListing& operator=(const DirectoryListing&) = delete;

  // Whether the folder could be opened (Error() says why not).
  bool Opened() const { return find_.valid(); }
  // Moves to the next entry; false at the end or on a failure.
  bool Next();
  // The current entry (valid after Next() returned true).
  const wchar_t* Name() const { return data_.cFileName; }
  DWORD Attributes() const { return data_.dwFileAttributes; }
  bool IsDirectory() const { return (data_.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }
  bool IsReparsePoint() const { return (data_.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }
  // ERROR_NO_MORE_FILES once every entry was seen; the failing call's error when the listing could
  // not be opened or broke off; 0 while entries are coming.
  DWORD Error() const { return error_; }
  bool Completed() const { return error_ == ERROR_NO_MORE_FILES; }

 private:
  // Before find_: the find handle's initialiser fills it.
  WIN32_FIND_DATAW data_{};
  UniqueFindHandle find_;
  bool first_ = true;  // data_ holds the entry FindFirstFileExW gave, not yet handed out
  DWORD error_ = 0;
};

}  // namespace QvPath
