// Conversion of a path to the form file system calls take (extended-length from 248 characters on).
#include "base/SystemPath.h"

#include <windows.h>

#include "base/PathGuard.h"
#include "base/PathText.h"

namespace QvPath {

std::wstring ToSystemPath(const std::wstring& path) {
  if (path.size() < kShortPathLimit || path.starts_with(L"\\\\?\\")) return path;
  // The extended form skips all normalisation, so normalise first (relative parts, "..", '/').
  std::wstring full(path.size() + MAX_PATH, L'\0');
  DWORD length = ::GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
  if (length >= full.size()) {
    full.resize(length);
    length = ::GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
  }
  if (length == 0 || length >= full.size()) return path;
  full.resize(length);
  return ToExtendedForm(full);
}

}  // namespace QvPath
