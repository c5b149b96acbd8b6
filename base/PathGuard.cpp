// The path guard: canonical text, then every existing folder from the volume root down opened on
// the entry itself, checked and held.
#include "base/PathGuard.h"

#include "base/HandleInfo.h"
#include "base/PathText.h"

namespace {

using QvHandleInfo::AttributesOf;
using QvHandleInfo::FinalPath;
using QvHandleInfo::SamePath;

// The entry itself, whether a link or a folder.
constexpr DWORD kEntryFlags = FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS;
// A folder handle counts for sharing only with a data access right; without delete sharing it
// then keeps the folder from being renamed, removed or replaced while it is held. Read control
// lets the holder ask for the folder's owner through the same handle.
constexpr DWORD kHoldAccess = FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | READ_CONTROL | SYNCHRONIZE;
constexpr DWORD kHoldSharing = FILE_SHARE_READ | FILE_SHARE_WRITE;
// A component that is only looked at: a data right would stand in the way of the change.
constexpr DWORD kLookAccess = FILE_READ_ATTRIBUTES | SYNCHRONIZE;
constexpr DWORD kLookSharing = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

bool IsNotFound(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

std::wstring Quoted(std::wstring_view text) { return L"'" + std::wstring(text) + L"'"; }

}  // namespace

namespace QvPath {

CheckedPath CheckedPath::FromCanonical(std::wstring_view path) {
  if (path.size() < kShortPathLimit || path.starts_with(L"\\\\?\\") || path.starts_with(L"\\\\.\\"))
    return CheckedPath(std::wstring(path), false);
  // A canonical path needs no normalisation, which the extended form would skip.
  return CheckedPath(ToExtendedForm(path), true);
}

CheckedPath CheckedPath::Child(std::wstring_view name) const {
  std::wstring child = Join(system_, name);
  // A name ending in a dot or a space (made through the extended form) would be rewritten by a
  // plain path, which would then act on a sibling.
  const bool plainWouldChange = !name.empty() && (name.back() == L'.' || name.back() == L' ');
  if (prefixed_ || system_.starts_with(L"\\\\?\\") || system_.starts_with(L"\\\\.\\") ||
      (child.size() < kShortPathLimit && !plainWouldChange))
    return CheckedPath(std::move(child), prefixed_);
  return CheckedPath(ToExtendedForm(child), true);
}

std::wstring CheckedPath::Display() const {
  if (!prefixed_) return system_;
  if (system_.starts_with(L"\\\\?\\UNC\\")) return L"\\\\" + system_.substr(8);
  return system_.substr(4);
}

bool PathGuard::Acquire(std::wstring_view path, Last last, bool linkStops) {
  Release();
  ends_.clear();
  limit_ = 0;
  linkStops_ = linkStops;
  path_ = CheckedPath();
  std::wstring component;
  const PathProblem problem = CheckCanonical(path, &component);
  if (problem != PathProblem::None) {
    refusal_ = DescribeProblem(problem, component);
    return false;
  }
  text_.assign(path);
  const std::size_t root = RootLength(text_);
  if (text_.size() > root && text_.back() == L'\\') text_.pop_back();
  ends_.push_back(root);
  for (std::size_t at = root; at < text_.size();) {
    std::size_t end = text_.find(L'\\', at);
    if (end == std::wstring::npos) end = text_.size();
    ends_.push_back(end);
    at = end + 1;
  }
  limit_ = last == Last::Hold ? ends_.size() : ends_.size() - 1;
  while (held_.size() < limit_) {
    const Step step = CheckComponent(held_.size(), true);
    if (step == Step::Refused) {
      Release();
      return false;
    }
    if (step == Step::Stop) break;
  }
  // The last component is looked at only when the walk reached the folder above it.
  if (last == Last::Check && held_.size() == limit_ && CheckComponent(limit_, false) == Step::Refused) {
    Release();
    return false;
  }
  refusal_.clear();
  path_ = CheckedPath::FromCanonical(text_);
  return true;
}

bool PathGuard::HoldNext() {
  if (held_.size() >= limit_) return true;
  return CheckComponent(held_.size(), true) == Step::Held;
}

std::size_t PathGuard::MissingCount() const {
  const std::size_t above = ends_.empty() ? 0 : ends_.size() - 1;
  return held_.size() < above ? above - held_.size() : 0;
}

CheckedPath PathGuard::MissingFolder(std::size_t index) const {
  return CheckedPath::FromCanonical(Component(held_.size() + index));
}

void PathGuard::Release() {
  // Deepest first, as they were opened top down.
  while (!held_.empty()) held_.pop_back();
  resolved_.clear();
}

PathGuard::Step PathGuard::CheckComponent(std::size_t index, bool hold) {
  const std::wstring current = Component(index);
  UniqueFileHandle handle(::CreateFileW(CheckedPath::FromCanonical(current).c_str(),
                                        hold ? kHoldAccess : kLookAccess, hold ? kHoldSharing : kLookSharing,
                                        nullptr, OPEN_EXISTING, kEntryFlags, nullptr));
  if (!handle) {
    const DWORD error = ::GetLastError();
    // Nothing there, so nothing below it can be reached through a link.
    if (IsNotFound(error) || (index == 0 && error == ERROR_INVALID_DRIVE)) return Step::Stop;
    refusal_ = L"cannot check " + Quoted(current) + L", error: " + std::to_wstring(error);
    return Step::Refused;
  }
  const DWORD attributes = AttributesOf(handle.get());
  const std::wstring resolved = FinalPath(handle.get());
  if (attributes == INVALID_FILE_ATTRIBUTES || resolved.empty()) {
    refusal_ = L"cannot check " + Quoted(current) + L", error: " + std::to_wstring(::GetLastError());
    return Step::Refused;
  }
  // A handle opened on a link without following it says so in its attributes (Windows); one the
  // system opened through the link anyway (Wine) resolves to the link's target instead.
  bool link = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  if (!link && index > 0) {
    const std::wstring name = text_.substr(ends_[index - 1] + (index > 1 ? 1 : 0),
                                           ends_[index] - ends_[index - 1] - (index > 1 ? 1 : 0));
    if (!SamePath(resolved, Join(resolved_, name))) {
      // A short (8.3) name resolves to the long one, in the same folder.
      std::wstring folder, resolvedName;
      link = name.find(L'~') == std::wstring::npos || !Split(resolved, folder, resolvedName) ||
             !SamePath(Join(folder, L""), Join(resolved_, L""));
    }
  }
  if (link) {
    if (linkStops_ && hold && index > 0) return Step::Stop;
    refusal_ = Quoted(current) + L" on the way is a link";
    return Step::Refused;
  }
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return Step::Stop;  // nothing lies below a file
  if (!hold) return Step::Held;
  held_.push_back(std::move(handle));
  resolved_ = resolved;
  return Step::Held;
}

}  // namespace QvPath
