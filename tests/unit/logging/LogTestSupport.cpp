// Shared fixture pieces of the logging suites.
#include "LogTestSupport.h"

#include <shlobj.h>

#include "base/Utf8.h"
#include "logging/LogPlatform.h"

namespace LogTest {

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
  std::string content;
  if (!QvTest::TryReadWholeFile(path, content)) return std::nullopt;
  return content;
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
  ASSERT_TRUE(lock_.Acquire());
  values_ = std::make_unique<QvTest::LoggingValues>();
  ASSERT_TRUE(values_->Saved());
  // Values another run left behind would change what these tests see.
  ASSERT_TRUE(values_->ClearAll());

  const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
  component_ = L"QvTest_" + Widen(info->test_suite_name()) + L"_" + Widen(info->name()) + L"_" +
               std::to_wstring(::GetCurrentProcessId());
  Claim(Dir());
}

void LoggingTest::TearDown() {
  claimed_.clear();
  ::RemoveDirectoryW((ProgramData() + L"\\Quorvel\\NS").c_str());  // only when empty
  values_.reset();
  lock_.Release();
}

void LoggingTest::SetRegistryDword(const wchar_t* name, DWORD value) {
  ASSERT_TRUE(values_->Set(name, value));
}

std::vector<ParsedLine> LoggingTest::Records(const std::wstring& fileName) const {
  const std::optional<std::string> text = ReadFileBytes(LogFile(fileName));
  EXPECT_TRUE(text.has_value()) << Narrow(LogFile(fileName));
  return text ? ParseRecords(*text) : std::vector<ParsedLine>{};
}

}  // namespace LogTest
