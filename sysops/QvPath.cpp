// Working directory of a run: its security descriptor, its creation under the temporary folder
// and its removal (links removed as links, locked entries optionally scheduled for restart).
#include "sysops/QvPath.h"

#include "base/DirectoryListing.h"

namespace {

// CreateDirectoryW refuses paths of MAX_PATH - 12 characters and more (room for an 8.3 name).
constexpr std::size_t ShortPathLimit = MAX_PATH - 12;

bool ScheduleDeletion(const std::wstring& path) {
  return ::MoveFileExW(QvPath::ToSystemPath(path).c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != FALSE;
}

// One folder whose attributes the caller has read: its entries, then the folder itself.
bool RemoveTree(const std::wstring& path, DWORD attributes, bool delayIfLocked) {
  bool success = true;
  if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    QvPath::DirectoryListing listing(QvPath::ToSystemPath(QvPath::Join(path, L"*")));
    if (!listing.Opened()) return false;
    while (listing.Next()) {
      const std::wstring child = QvPath::Join(path, listing.Name());
      if (listing.IsDirectory()) {
        success &= RemoveTree(child, listing.Attributes(), delayIfLocked);
        continue;
      }
      const std::wstring systemChild = QvPath::ToSystemPath(child);
      if (listing.Attributes() & FILE_ATTRIBUTE_READONLY)
        ::SetFileAttributesW(systemChild.c_str(), listing.Attributes() & ~FILE_ATTRIBUTE_READONLY);
      if (!::DeleteFileW(systemChild.c_str())) success &= delayIfLocked && ScheduleDeletion(child);
    }
    // An enumeration that broke off leaves entries nobody looked at.
    if (!listing.Completed()) success = false;
  }
  if (!::RemoveDirectoryW(QvPath::ToSystemPath(path).c_str()))
    success &= delayIfLocked && ScheduleDeletion(path);
  return success;
}

}  // namespace

namespace QvPath {

std::wstring ToSystemPath(const std::wstring& path) {
  if (path.size() < ShortPathLimit || path.starts_with(L"\\\\?\\")) return path;
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

std::wstring GetTempDirectory() {
  std::wstring buffer(MAX_PATH + 1, L'\0');
  for (;;) {
    const DWORD length = ::GetTempPathW(static_cast<DWORD>(buffer.size()), buffer.data());
    if (length == 0) return {};
    if (length < buffer.size()) {
      buffer.resize(length);
      return buffer;
    }
    // Too small: the length reported includes the terminating NUL.
    buffer.assign(length, L'\0');
  }
}

std::wstring CreateUniqueDirectory(const std::wstring& parent, SecurityAttributes& security) {
  if (parent.empty()) return {};
  constexpr std::size_t maxAttempts = 10000;
  for (std::size_t attempt = 0; attempt < maxAttempts; ++attempt) {
    std::wstring path = Join(parent, UniqueDirectoryName(::GetTickCount(), attempt));
    if (::CreateDirectoryW(ToSystemPath(path).c_str(), security.Get())) return path;
    if (::GetLastError() != ERROR_ALREADY_EXISTS) return {};
  }
  return {};
}

bool RemoveDirectoryTree(const std::wstring& path, bool delayIfLocked) {
  if (path.empty()) return false;
  const DWORD attributes = ::GetFileAttributesW(ToSystemPath(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
  return RemoveTree(path, attributes, delayIfLocked);
}

}  // namespace QvPath
