// Recursive folder creation: find the nearest existing ancestor, then create the missing folders
// downwards. Iterative, so a hostile path with thousands of components cannot exhaust the stack.
#include "sysops/DirectoryCreate.h"

#include <windows.h>

#include <vector>

namespace {

// Parent folder of a path; false when the path does not split (empty, "\x", or ending in "\\").
bool ParentOf(std::wstring path, std::wstring& parent) {
  if (!path.empty() && path.back() == L'\\') path.pop_back();
  if (path.empty()) return false;
  const size_t slash = path.rfind(L'\\');
  if (slash == std::wstring::npos) {
    parent.clear();
    return true;
  }
  if (slash == 0 || slash + 1 == path.size()) return false;
  parent = path.substr(0, slash);
  return true;
}

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
    std::wstring parent;
    if (!ParentOf(current, parent)) {
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
