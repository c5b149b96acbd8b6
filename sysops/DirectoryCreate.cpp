// Recursive folder creation: find the nearest existing ancestor, then create the missing folders
// downwards. Iterative, so a hostile path with thousands of components cannot exhaust the stack.
#include "sysops/DirectoryCreate.h"

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

}  // namespace FileOps
