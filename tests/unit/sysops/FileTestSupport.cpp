// Test machinery for the file primitives: file holders and restart schedules.
#include "FileTestSupport.h"

#include "base/MultiString.h"

#include <atomic>
#include <utility>

namespace FileTest {

namespace {

std::atomic<unsigned> counter{0};

std::wstring UniqueSuffix() {
  return std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(counter++) + L"-" +
         std::to_wstring(::GetTickCount());
}

constexpr wchar_t SessionManagerKey[] = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";
constexpr wchar_t PendingValue[] = L"PendingFileRenameOperations";
using RenamePairs = std::vector<std::pair<std::wstring, std::wstring>>;

RenamePairs ReadPending() {
  RenamePairs pairs;
  UniqueHKey key;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, SessionManagerKey, 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS)
    return pairs;
  DWORD size = 0;
  if (::RegQueryValueExW(key.get(), PendingValue, nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS)
    return pairs;
  std::wstring data(size / sizeof(wchar_t) + 1, L'\0');
  if (::RegQueryValueExW(key.get(), PendingValue, nullptr, nullptr, reinterpret_cast<BYTE*>(data.data()),
                         &size) != ERROR_SUCCESS)
    return pairs;
  data.resize(size / sizeof(wchar_t));
  // Source and target alternate; an empty target means "delete".
  std::size_t at = 0;
  auto next = [&] {
    const std::size_t end = std::min(data.find(L'\0', at), data.size());
    std::wstring item = data.substr(at, end - at);
    at = end + 1;
    return item;
  };
  while (at < data.size()) {
    std::wstring source = next();
    if (source.empty()) break;
    std::wstring target = at < data.size() ? next() : std::wstring();
    pairs.emplace_back(std::move(source), std::move(target));
  }
  return pairs;
}

void WritePending(const RenamePairs& pairs) {
  UniqueHKey key;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, SessionManagerKey, 0, KEY_SET_VALUE, key.put()) != ERROR_SUCCESS)
    return;
  if (pairs.empty()) {
    ::RegDeleteValueW(key.get(), PendingValue);
    return;
  }
  std::vector<std::wstring> entries;
  for (const auto& [source, target] : pairs) {
    entries.push_back(source);
    entries.push_back(target);
  }
  const std::wstring data = QvText::JoinMultiString(entries);
  ::RegSetValueExW(key.get(), PendingValue, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(data.data()),
                   static_cast<DWORD>(data.size() * sizeof(wchar_t)));
}

bool IsScheduledDeletionOf(const std::pair<std::wstring, std::wstring>& entry, const std::wstring& path) {
  const std::wstring expected = L"\\??\\" + path;
  return entry.second.empty() &&
         ::CompareStringOrdinal(entry.first.c_str(), -1, expected.c_str(), -1, TRUE) == CSTR_EQUAL;
}

}  // namespace

FileHolder::FileHolder(const std::wstring& path) {
  const std::wstring suffix = UniqueSuffix();
  const std::wstring readyName = L"QvTestHoldReady-" + suffix;
  const std::wstring releaseName = L"QvTestHoldRelease-" + suffix;
  ready_.reset(::CreateEventW(nullptr, TRUE, FALSE, readyName.c_str()));
  release_.reset(::CreateEventW(nullptr, TRUE, FALSE, releaseName.c_str()));
  if (!ready_ || !release_) return;
  holder_ = std::make_unique<QvTest::ChildProcess>(
      QvTest::HelperCommand(L"hold_file", L"\"" + path + L"\" " + readyName + L" " + releaseName));
  if (!holder_->Started()) return;
  // Either the file is open, or the helper gave up.
  const HANDLE waits[] = {ready_.get(), holder_->Handle()};
  holding_ = ::WaitForMultipleObjects(2, waits, FALSE, 60000) == WAIT_OBJECT_0;
}

FileHolder::~FileHolder() {
  if (release_) ::SetEvent(release_.get());
  if (holder_) holder_->Wait(60000);
}

PendingDeletions::PendingDeletions()
    : mutex_(::CreateMutexW(nullptr, FALSE, L"QvTest.PendingFileRenameOperations")) {
  if (mutex_) ::WaitForSingleObject(mutex_.get(), 120000);
}

PendingDeletions::~PendingDeletions() {
  RenamePairs pairs = ReadPending();
  const std::size_t before = pairs.size();
  std::erase_if(pairs, [this](const auto& entry) {
    for (const auto& path : cleanUp_)
      if (IsScheduledDeletionOf(entry, path)) return true;
    return false;
  });
  if (pairs.size() != before) WritePending(pairs);
  if (mutex_) ::ReleaseMutex(mutex_.get());
}

bool PendingDeletions::Contains(const std::wstring& path) const {
  for (const auto& entry : ReadPending())
    if (IsScheduledDeletionOf(entry, path)) return true;
  return false;
}

}  // namespace FileTest
