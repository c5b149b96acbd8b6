// Recursive folder creation: find the nearest existing ancestor, then create the missing folders
// downwards. Iterative, so a hostile path with thousands of components cannot exhaust the stack.
#include "sysops/FolderCreation.h"

#include <windows.h>

#include <vector>

#include "base/PathText.h"

namespace {

bool IsDirectory(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace

namespace FileOps {

bool CreateDirectoryRecursive(const std::wstring& path) {
  std::vector<std::wstring> missing;
  std::wstring current = path;
  while (!current.empty() && !IsDirectory(current)) {
    std::wstring parent, name;
    if (!QvPath::Split(current, parent, name)) {
      ::SetLastError(ERROR_BAD_PATHNAME);
      return false;
    }
    missing.push_back(std::move(current));
    current = std::move(parent);
  }
  for (auto it = missing.rbegin(); it != missing.rend(); ++it)
    if (!::CreateDirectoryW(it->c_str(), nullptr)) return false;
  return true;
}

bool CreateGuardedDirectories(QvPath::PathGuard& guard) {
  const DWORD attributes = ::GetFileAttributesW(guard.Path().c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return true;
  while (guard.MissingCount() > 0) {
    if (!::CreateDirectoryW(guard.MissingFolder(0).c_str(), nullptr) &&
        ::GetLastError() != ERROR_ALREADY_EXISTS)
      return false;
    if (!guard.HoldNext()) return false;
  }
  return ::CreateDirectoryW(guard.Path().c_str(), nullptr) != FALSE;
}

}  // namespace FileOps
