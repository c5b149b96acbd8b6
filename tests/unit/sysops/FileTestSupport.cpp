// Test machinery for the file primitives: scratch folders, links, holders, restart schedules.
#include "FileTestSupport.h"

#include "base/Utf8.h"

#include <atomic>
#include <utility>

namespace FileTest {

namespace {

std::atomic<unsigned> counter{0};

std::wstring UniqueSuffix() {
  return std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(counter++) + L"-" +
         std::to_wstring(::GetTickCount());
}

std::wstring ModuleDirectory() {
  std::wstring path(MAX_PATH, L'\0');
  const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
  path.resize(length);
  return path.substr(0, path.rfind(L'\\'));
}

using UnixNameCall = char*(CDECL*)(const wchar_t*);

UnixNameCall WineUnixName() {
  static const auto call = reinterpret_cast<UnixNameCall>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  return call;
}

std::wstring UnixPath(const std::wstring& path) {
  char* name = WineUnixName()(path.c_str());
  if (name == nullptr) return {};
  std::wstring result;
  for (const char* c = name; *c; ++c) result.push_back(static_cast<wchar_t>(static_cast<unsigned char>(*c)));
  ::HeapFree(::GetProcessHeap(), 0, name);
  return result;
}

// Starts a program of the Linux host (Wine runs ELF programs too). Wine hands back no process
// handle to wait on, so callers wait for the program's effect instead.
bool StartUnix(std::wstring commandLine) {
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info{};
  if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &info))
    return false;
  UniqueHandle thread(info.hThread);
  UniqueHandle process(info.hProcess);
  return true;
}

// Polls a condition every 10 ms for up to 30 s.
template <typename Condition>
bool WaitUntil(Condition condition) {
  const ULONGLONG deadline = ::GetTickCount64() + 30000;
  while (!condition()) {
    if (::GetTickCount64() > deadline) return false;
    ::Sleep(10);
  }
  return true;
}

std::wstring Quoted(const std::wstring& text) { return L"\"" + text + L"\""; }

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
  std::wstring data;
  for (const auto& [source, target] : pairs) {
    data += source;
    data.push_back(L'\0');
    data += target;
    data.push_back(L'\0');
  }
  data.push_back(L'\0');
  ::RegSetValueExW(key.get(), PendingValue, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(data.data()),
                   static_cast<DWORD>(data.size() * sizeof(wchar_t)));
}

bool IsScheduledDeletionOf(const std::pair<std::wstring, std::wstring>& entry, const std::wstring& path) {
  const std::wstring expected = L"\\??\\" + path;
  return entry.second.empty() &&
         ::CompareStringOrdinal(entry.first.c_str(), -1, expected.c_str(), -1, TRUE) == CSTR_EQUAL;
}

}  // namespace

bool IsWine() { return WineUnixName() != nullptr; }

ScratchFolder::ScratchFolder() {
  wchar_t temp[MAX_PATH + 1];
  const DWORD length = ::GetTempPathW(MAX_PATH + 1, temp);
  path_ = std::wstring(temp, length) + L"qvt" + UniqueSuffix();
  ::CreateDirectoryW(path_.c_str(), nullptr);
}

ScratchFolder::~ScratchFolder() {
  if (!Exists(path_)) return;
  // Wine cannot remove a unix link through Win32 without acting on its target; rm can.
  const bool started = IsWine() ? StartUnix(L"Z:\\bin\\rm -rf " + Quoted(UnixPath(path_)))
                                : StartUnix(L"cmd.exe /c rmdir /s /q " + Quoted(path_));
  if (started) WaitUntil([this] { return !Exists(path_); });
}

bool Exists(const std::wstring& path) { return Attributes(path) != INVALID_FILE_ATTRIBUTES; }

DWORD Attributes(const std::wstring& path) { return ::GetFileAttributesW(Extended(path).c_str()); }

bool MakeFolder(const std::wstring& path) { return ::CreateDirectoryW(Extended(path).c_str(), nullptr); }

bool MakeFile(const std::wstring& path, DWORD attributes) {
  UniqueFileHandle file(
      ::CreateFileW(Extended(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, attributes, nullptr));
  if (!file) return false;
  DWORD written = 0;
  return ::WriteFile(file.get(), "content", 7, &written, nullptr) && written == 7;
}

bool MakeFolderLink(const std::wstring& link, const std::wstring& target) {
  if (IsWine()) {
    if (!StartUnix(L"Z:\\bin\\ln -s " + Quoted(UnixPath(target)) + L" " + Quoted(UnixPath(link))))
      return false;
    WaitUntil([&link] { return Exists(link); });
  } else if (!::CreateSymbolicLinkW(
                 link.c_str(), target.c_str(),
                 SYMBOLIC_LINK_FLAG_DIRECTORY | SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE)) {
    return false;
  }
  const DWORD attributes = Attributes(link);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
         (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring Extended(const std::wstring& path) {
  return path.starts_with(L"\\\\?\\") ? path : L"\\\\?\\" + path;
}

FileHolder::FileHolder(const std::wstring& path) {
  const std::wstring suffix = UniqueSuffix();
  const std::wstring readyName = L"QvTestHoldReady-" + suffix;
  const std::wstring releaseName = L"QvTestHoldRelease-" + suffix;
  ready_.reset(::CreateEventW(nullptr, TRUE, FALSE, readyName.c_str()));
  release_.reset(::CreateEventW(nullptr, TRUE, FALSE, releaseName.c_str()));
  if (!ready_ || !release_) return;
  std::wstring commandLine = Quoted(ModuleDirectory() + L"\\hold_file.exe") + L" " + Quoted(path) + L" " +
                             readyName + L" " + releaseName;
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info{};
  if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &info))
    return;
  process_.reset(info.hProcess);
  UniqueHandle thread(info.hThread);
  // Either the file is open, or the helper gave up.
  const HANDLE waits[] = {ready_.get(), process_.get()};
  holding_ = ::WaitForMultipleObjects(2, waits, FALSE, 60000) == WAIT_OBJECT_0;
}

FileHolder::~FileHolder() {
  if (release_) ::SetEvent(release_.get());
  if (process_) ::WaitForSingleObject(process_.get(), 60000);
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

std::vector<LogRecord> LogCapture::Records() const {
  // " D: FileOpsInternal::DelayDelete: Delay delete: '...'": mark, tag (may be empty), message.
  static const std::pair<std::string_view, int> marks[] = {{"*F", 1}, {"*E", 2}, {".W", 3},
                                                           {" I", 4}, {" D", 5}, {" V", 6}};
  std::vector<LogRecord> records;
  for (const std::string& line : capture_.Lines()) {
    if (line.size() < 4 || line.compare(2, 2, ": ") != 0) continue;
    int level = 0;
    for (const auto& [mark, value] : marks)
      if (line.compare(0, 2, mark) == 0) level = value;
    const std::string rest = line.substr(4);
    const size_t separator = rest.find(": ");
    const bool tagged = separator != std::string::npos && rest.find(' ') > separator;
    if (!tagged && rest.starts_with("***  LOG")) continue;  // the capture's own start banner
    records.push_back(LogRecord{level, tagged ? rest.substr(0, separator) : std::string(),
                                QvText::FromUtf8(tagged ? rest.substr(separator + 2) : rest)});
  }
  return records;
}

int LogCapture::Count(int level, const std::string& tag, const std::wstring& text) const {
  int count = 0;
  for (const auto& record : Records())
    if (record.level == level && record.tag == tag && record.text == text) ++count;
  return count;
}

int LogCapture::CountStartingWith(int level, const std::string& tag, const std::wstring& prefix) const {
  int count = 0;
  for (const auto& record : Records())
    if (record.level == level && record.tag == tag && record.text.starts_with(prefix)) ++count;
  return count;
}

int LogCapture::CountAtOrAbove(int level) const {
  int count = 0;
  for (const auto& record : Records())
    if (record.level <= level) ++count;
  return count;
}

}  // namespace FileTest
