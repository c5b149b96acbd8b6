// Path checks before a change: absolute paths only, and no link on the way down from the root.
#include "sysops/PathGuard.h"

#include "base/HandleInfo.h"
#include "base/PathText.h"
#include "logging/QvBrelLogging.h"
#include "sysops/QvPath.h"

namespace {

using QvHandleInfo::AttributesOf;
using QvHandleInfo::FinalPath;
using QvHandleInfo::SamePath;

// The entry itself, whether a link or a folder.
constexpr DWORD kEntryFlags = FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS;
// A folder handle counts for sharing only with a data access right; without delete sharing it
// then keeps the folder from being renamed, removed or replaced while it is held.
constexpr DWORD kHoldAccess = FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
constexpr DWORD kHoldSharing = FILE_SHARE_READ | FILE_SHARE_WRITE;

std::wstring FullPathOf(const std::wstring& path) {
  std::wstring full(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length =
        ::GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (length == 0) return path;
    if (length < full.size()) {
      full.resize(length);
      return full;
    }
    full.assign(length, L'\0');
  }
}

bool IsNotFound(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

}  // namespace

namespace QvPath {

bool PathGuard::Acquire(const std::wstring& path, bool checkLast) {
  Release();
  requested_ = path;
  ends_.clear();
  limit_ = 0;
  full_ = IsAbsolute(path) ? FullPathOf(path) : std::wstring();
  const std::size_t root = RootLength(full_);
  if (root == 0) {
    QV_BREL_LOG(QV_WARNING, L"Refusing '%s': not an absolute path", path.c_str());
    return false;
  }
  ends_.push_back(root);
  for (std::size_t at = root; at < full_.size();) {
    std::size_t end = full_.find(L'\\', at);
    if (end == std::wstring::npos) end = full_.size();
    if (end > at) ends_.push_back(end);
    at = end + 1;
  }
  limit_ = ends_.size() - 1;
  while (held_.size() < limit_) {
    const Step step = CheckComponent(held_.size(), true);
    if (step == Step::Refused) {
      Release();
      return false;
    }
    if (step == Step::Stop) return true;
  }
  if (checkLast && CheckComponent(limit_, false) == Step::Refused) {
    Release();
    return false;
  }
  return true;
}

bool PathGuard::HoldNext() {
  if (held_.size() >= limit_) return true;
  return CheckComponent(held_.size(), true) == Step::Held;
}

std::vector<std::wstring> PathGuard::Missing() const {
  std::vector<std::wstring> missing;
  for (std::size_t index = held_.size() == 0 ? 1 : held_.size(); index < limit_; ++index)
    missing.push_back(full_.substr(0, ends_[index]));
  return missing;
}

void PathGuard::Release() {
  // Deepest first, as they were opened top down.
  while (!held_.empty()) held_.pop_back();
  resolved_.clear();
}

PathGuard::Step PathGuard::CheckComponent(std::size_t index, bool hold) {
  const std::wstring current = full_.substr(0, ends_[index]);
  // The last component is only looked at: a data right would stand in the way of the change.
  UniqueFileHandle handle(
      ::CreateFileW(ToSystemPath(current).c_str(), hold ? kHoldAccess : FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                    hold ? kHoldSharing : FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, kEntryFlags, nullptr));
  if (!handle) {
    const DWORD error = ::GetLastError();
    // Nothing there, so nothing below it can be reached through a link.
    if (IsNotFound(error) || (index == 0 && error == ERROR_INVALID_DRIVE)) return Step::Stop;
    QV_BREL_LOG(QV_WARNING, L"Refusing '%s': cannot check '%s', error: %lu", requested_.c_str(),
                current.c_str(), error);
    return Step::Refused;
  }
  const DWORD attributes = AttributesOf(handle.get());
  const std::wstring resolved = FinalPath(handle.get());
  if (attributes == INVALID_FILE_ATTRIBUTES || resolved.empty()) {
    const DWORD error = ::GetLastError();
    QV_BREL_LOG(QV_WARNING, L"Refusing '%s': cannot check '%s', error: %lu", requested_.c_str(),
                current.c_str(), error);
    return Step::Refused;
  }
  // A handle opened on a link without following it says so in its attributes (Windows); one the
  // system opened through the link anyway (Wine) resolves to the link's target instead.
  bool link = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  if (!link && index > 0) {
    std::wstring name = current.substr(ends_[index - 1]);
    if (!name.empty() && name.front() == L'\\') name.erase(0, 1);
    if (!SamePath(resolved, Join(resolved_, name))) {
      // A short (8.3) name resolves to the long one, in the same folder.
      std::wstring folder, resolvedName;
      link = name.find(L'~') == std::wstring::npos || !Split(resolved, folder, resolvedName) ||
             !SamePath(Join(folder, L""), Join(resolved_, L""));
    }
  }
  if (link) {
    QV_BREL_LOG(QV_WARNING, L"Refusing '%s': '%s' on the way is a link", requested_.c_str(), current.c_str());
    return Step::Refused;
  }
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return Step::Stop;  // nothing lies below a file
  if (!hold) return Step::Held;
  held_.push_back(std::move(handle));
  resolved_ = resolved;
  return Step::Held;
}

}  // namespace QvPath
