// Shared fixture pieces of the logging suites.
#include "LogTestSupport.h"

#include <shlobj.h>

#include "logging/LogPlatform.h"
#include "base/Utf8.h"

namespace LogTest {

namespace {
const wchar_t* const kKeyChain[] = {L"SOFTWARE\\Quorvel", L"SOFTWARE\\Quorvel\\BREL",
                                    QvBrelLogging::Platform::kLoggingKey};
}  // namespace

std::wstring KnownFolder(const GUID& id) {
  PWSTR path = nullptr;
  if (FAILED(::SHGetKnownFolderPath(id, 0, nullptr, &path))) return {};
  std::wstring result = path;
  ::CoTaskMemFree(path);
  return result;
}

std::wstring ProgramData() { return KnownFolder(FOLDERID_ProgramData); }

std::wstring LogDirectory(const std::wstring& component) {
  return ProgramData() + L"\\Quorvel\\Log\\" + component;
}

std::optional<std::string> ReadFileBytes(const std::wstring& path) {
  const UniqueFileHandle file(::CreateFileW(path.c_str(), GENERIC_READ,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                            OPEN_EXISTING, 0, nullptr));
  if (!file) return std::nullopt;
  std::string content;
  char buffer[65536];
  DWORD read = 0;
  while (::ReadFile(file.get(), buffer, sizeof(buffer), &read, nullptr) && read > 0)
    content.append(buffer, read);
  return content;
}

bool WriteFileBytes(const std::wstring& path, const std::string& bytes) {
  const UniqueFileHandle file(
      ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD written = 0;
  return file && ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size();
}

bool FileExists(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t end = text.find("\r\n", at);
    if (end == std::string::npos) {
      lines.push_back(text.substr(at));
      break;
    }
    lines.push_back(text.substr(at, end - at));
    at = end + 2;
  }
  return lines;
}

void RemoveTree(const std::wstring& path) {
  WIN32_FIND_DATAW data;
  const UniqueFindHandle find(::FindFirstFileW((path + L"\\*").c_str(), &data));
  if (find) {
    do {
      const std::wstring name = data.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring child = path + L"\\" + name;
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(child);
      } else {
        ::SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileW(child.c_str());
      }
    } while (::FindNextFileW(find.get(), &data));
  }
  ::RemoveDirectoryW(path.c_str());
}

std::wstring Widen(const std::string& text) { return QvText::FromUtf8(text); }
std::string Narrow(const std::wstring& text) { return QvText::ToUtf8(text); }

void Tagged(QvBrelLogging::Logger& logger, int level, const char* tag, const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  logger.VLog(level, tag, format, args);
  va_end(args);
}

void Tagged(QvBrelLogging::Logger& logger, int level, const char* tag, const char* format, ...) {
  va_list args;
  va_start(args, format);
  logger.VLog(level, tag, format, args);
  va_end(args);
}

// "YYYY-MM-DD hh:mm:ss.mmm [pid.tid] MK: rest". Scanned rather than matched with std::regex, which
// recurses per character and cannot take the 64 KiB lines some tests write.
std::optional<ParsedLine> ParseLine(const std::string& line) {
  ParsedLine parsed;
  SYSTEMTIME& t = parsed.time;
  int close = -1;
  if (line.size() < 24 || line.find_first_not_of("0123456789-: .") < 24 ||
      std::sscanf(line.c_str(), "%4hu-%2hu-%2hu %2hu:%2hu:%2hu.%3hu [%8lx.%8lx]%n", &t.wYear, &t.wMonth,
                  &t.wDay, &t.wHour, &t.wMinute, &t.wSecond, &t.wMilliseconds, &parsed.processId,
                  &parsed.threadId, &close) != 9 ||
      close < 0)
    return std::nullopt;
  // Widths the scan does not check: the fixed date and time, and ids of at least four lower-case digits.
  const std::string ids = line.substr(25, static_cast<std::size_t>(close) - 26);
  const std::size_t dot = ids.find('.');
  if (line[23] != ' ' || line[24] != '[' || dot < 4 || ids.size() - dot - 1 < 4 ||
      ids.find_first_not_of("0123456789abcdef.") != std::string::npos)
    return std::nullopt;
  // " MK: rest": the mark may be blanks.
  const std::size_t markAt = static_cast<std::size_t>(close) + 1;
  if (line.size() < markAt + 4 || line.compare(markAt - 1, 1, " ") != 0 ||
      line.compare(markAt + 2, 2, ": ") != 0)
    return std::nullopt;
  parsed.mark = line.substr(markAt, 2);
  parsed.rest = line.substr(markAt + 4);
  if (parsed.rest.find_first_of("\r\n") != std::string::npos) return std::nullopt;
  return parsed;
}

std::vector<ParsedLine> ParseRecords(const std::string& fileText) {
  std::vector<ParsedLine> records;
  for (const std::string& line : SplitLines(fileText)) {
    if (line.empty()) continue;
    const std::optional<ParsedLine> parsed = ParseLine(line);
    EXPECT_TRUE(parsed.has_value()) << "not a log line: '" << line << "'";
    if (parsed) records.push_back(*parsed);
  }
  return records;
}

void LoggingTest::SetUp() {
  // Every logging test reads the machine-wide logging values; tests of other processes that run at
  // the same time must not see this one's values.
  lock_.reset(::CreateMutexW(nullptr, FALSE, L"Global\\QvLoggingUnitTestsLock"));
  ASSERT_TRUE(lock_);
  const DWORD wait = ::WaitForSingleObject(lock_.get(), 240000);
  ASSERT_TRUE(wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED) << wait;

  for (const wchar_t* path : kKeyChain) {
    UniqueHKey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, key.put()) != ERROR_SUCCESS)
      createdKeys_.push_back(path);
  }
  for (const wchar_t* name : {L"LogLevel", L"LogMaxSizeKB", L"DebugOutputLogging"}) {
    SavedValue saved{name, std::nullopt};
    DWORD value = 0;
    DWORD size = sizeof(value);
    if (::RegGetValueW(HKEY_LOCAL_MACHINE, QvBrelLogging::Platform::kLoggingKey, name, RRF_RT_REG_DWORD,
                       nullptr, &value, &size) == ERROR_SUCCESS)
      saved.value = value;
    saved_.push_back(saved);
  }
  // Values another run left behind would change what these tests see.
  for (const SavedValue& saved : saved_)
    ::RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, QvBrelLogging::Platform::kLoggingKey, saved.name.c_str());

  const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
  component_ = L"QvTest_" + Widen(info->test_suite_name()) + L"_" + Widen(info->name()) + L"_" +
               std::to_wstring(::GetCurrentProcessId());
  RemoveTree(Dir());
}

void LoggingTest::TearDown() {
  RemoveTree(Dir());
  for (const std::wstring& tree : extraTrees_) RemoveTree(tree);
  ::RemoveDirectoryW((ProgramData() + L"\\Quorvel\\NS").c_str());  // only when empty
  for (const SavedValue& saved : saved_) {
    if (saved.value) {
      const DWORD value = *saved.value;
      ::RegSetKeyValueW(HKEY_LOCAL_MACHINE, QvBrelLogging::Platform::kLoggingKey, saved.name.c_str(),
                        REG_DWORD, &value, sizeof(value));
    } else {
      ::RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, QvBrelLogging::Platform::kLoggingKey, saved.name.c_str());
    }
  }
  // Keys this test created go again, deepest first (a key that gained sub-keys meanwhile stays).
  for (auto it = createdKeys_.rbegin(); it != createdKeys_.rend(); ++it)
    ::RegDeleteKeyExW(HKEY_LOCAL_MACHINE, it->c_str(), 0, 0);
  if (lock_) ::ReleaseMutex(lock_.get());
}

void LoggingTest::SetRegistryDword(const wchar_t* name, DWORD value) {
  ASSERT_EQ(::RegSetKeyValueW(HKEY_LOCAL_MACHINE, QvBrelLogging::Platform::kLoggingKey, name, REG_DWORD,
                              &value, sizeof(value)),
            ERROR_SUCCESS);
}

std::vector<ParsedLine> LoggingTest::Records(const std::wstring& fileName) const {
  const std::optional<std::string> text = ReadFileBytes(LogFile(fileName));
  EXPECT_TRUE(text.has_value()) << Narrow(LogFile(fileName));
  return text ? ParseRecords(*text) : std::vector<ParsedLine>{};
}

}  // namespace LogTest
