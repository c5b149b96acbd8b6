// Test machinery: reads back the records a test writes through the process logger, from the log
// file the logger writes. While a capture runs it holds the logging test lock and pins the logging
// values it depends on, so tests of other suite processes cannot change what it sees.
#pragma once

#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/Utf8.h"
#include "logging/QvBrelLogging.h"
#include "tests/support/LoggingValues.h"
#include "tests/support/ScratchDir.h"

namespace QvTest {

// One record: level (QV_FATAL .. QV_VERBOSE), tag (empty for untagged records) and message.
struct LogRecord {
  int level;
  std::string tag;
  std::wstring text;
};

class LogCapture {
 public:
  // Large enough that no capture ever rotates its file away.
  static constexpr DWORD kMaxSizeKb = 64 * 1024;

  LogCapture() = default;
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;
  ~LogCapture() {
    if (started_) QvBrelLogging::LogUninit();
    folders_.clear();
    values_.reset();
    lock_.Release();
  }

  // Takes the logging test lock, pins LogLevel (verbose), LogMaxSizeKB and DebugOutputLogging (off),
  // and starts the process logger into a file of its own. Fails with the reason when any of that
  // cannot be done or the logger does not write that file (a process logger that runs already
  // ignores the initialisation): use
  // ASSERT_TRUE(capture.Start()).
  ::testing::AssertionResult Start() {
    if (started_) return ::testing::AssertionFailure() << "the capture is running already";
    if (!lock_.Acquire())
      return ::testing::AssertionFailure() << "the logging test lock was not free in time";
    values_ = std::make_unique<LoggingValues>();
    if (!values_->Saved()) return ::testing::AssertionFailure() << "the logging values cannot be saved";
    if (!values_->Set(L"LogLevel", QvBrelLogging::LevelVerbose) ||
        !values_->Set(L"LogMaxSizeKB", kMaxSizeKb) || !values_->Set(L"DebugOutputLogging", 0))
      return ::testing::AssertionFailure() << "the logging values cannot be set: " << ::GetLastError();

    static LONG counter = 0;
    component_ = L"QvTest" + std::to_wstring(::GetCurrentProcessId()) + L"_" +
                 std::to_wstring(::InterlockedIncrement(&counter));
    for (const std::wstring& folder : CandidateFolders())
      folders_.push_back(std::make_unique<ScratchDir>(ScratchDir::Claim{folder}));
    QvBrelLogging::LogInit(component_.c_str(), component_.c_str(), QvBrelLogging::LevelVerbose,
                           QvBrelLogging::FlagUnnamedMutex);
    QvBrelLogging::LogFlush();
    bool written = false;
    for (const auto& folder : folders_) written = written || FileExists(LogFile(folder->Path()));
    // No start banner in the file: the process logger ran already and ignored this initialisation,
    // so it is not this capture's to end.
    if (!written)
      return ::testing::AssertionFailure()
             << "the process logger runs already or wrote no file " << QvText::ToUtf8(component_) << ".log";
    started_ = true;
    if (!QvBrelLogging::LogIsEnabled(QvBrelLogging::LevelVerbose))
      return ::testing::AssertionFailure() << "the logger drops verbose records";
    return ::testing::AssertionSuccess();
  }

  // Every line of the file without its time, process and thread prefix, e.g.
  // " I: UiToolLib::RemoveProducts: Removing product: a b (c)" or "*E: [x.lua] text". A message
  // holding line breaks continues on lines of its own.
  std::vector<std::string> Lines() const {
    QvBrelLogging::LogFlush();
    std::vector<std::string> lines;
    for (const auto& folder : folders_) {
      const std::string content = ReadWholeFile(LogFile(folder->Path()));
      size_t begin = 0;
      while (begin < content.size()) {
        size_t end = content.find("\r\n", begin);
        if (end == std::string::npos) end = content.size();
        std::string line = content.substr(begin, end - begin);
        begin = end + 2;
        if (line.empty()) continue;
        // "2024-04-11 12:43:09.123 [1a2b.03c4] "
        const size_t close = line.find("] ");
        if (line.size() > 24 && line[4] == '-' && line[24] == '[' && close != std::string::npos)
          line.erase(0, close + 2);
        lines.push_back(std::move(line));
      }
    }
    return lines;
  }

  // Lines that contain `fragment`.
  size_t Count(std::string_view fragment) const {
    size_t count = 0;
    for (const std::string& line : Lines())
      if (line.find(fragment) != std::string::npos) ++count;
    return count;
  }

  // All lines joined with "\n", for failure messages.
  std::string Text() const {
    std::string text;
    for (const std::string& line : Lines()) text.append(line).append("\n");
    return text;
  }

  // The records, the capture's own start banner left out.
  std::vector<LogRecord> Records() const {
    // " D: FileOpsInternal::DelayDelete: Delay delete: '...'": mark, tag (may be empty), message.
    static const std::pair<std::string_view, int> marks[] = {{"*F", 1}, {"*E", 2}, {".W", 3},
                                                             {" I", 4}, {" D", 5}, {" V", 6}};
    std::vector<LogRecord> records;
    for (const std::string& line : Lines()) {
      if (line.size() < 4 || line.compare(2, 2, ": ") != 0) continue;
      int level = 0;
      for (const auto& [mark, value] : marks)
        if (line.compare(0, 2, mark) == 0) level = value;
      const std::string rest = line.substr(4);
      const size_t separator = rest.find(": ");
      const bool tagged = separator != std::string::npos && rest.find(' ') > separator;
      if (!tagged && rest.starts_with("***  LOG")) continue;
      records.push_back(LogRecord{level, tagged ? rest.substr(0, separator) : std::string(),
                                  QvText::FromUtf8(tagged ? rest.substr(separator + 2) : rest)});
    }
    return records;
  }
  int Count(int level, const std::string& tag, const std::wstring& text) const {
    int count = 0;
    for (const LogRecord& record : Records())
      if (record.level == level && record.tag == tag && record.text == text) ++count;
    return count;
  }
  int CountStartingWith(int level, const std::string& tag, const std::wstring& prefix) const {
    int count = 0;
    for (const LogRecord& record : Records())
      if (record.level == level && record.tag == tag && record.text.starts_with(prefix)) ++count;
    return count;
  }
  // Records at this level or a more severe one (a lower number).
  int CountAtOrAbove(int level) const {
    int count = 0;
    for (const LogRecord& record : Records())
      if (record.level <= level) ++count;
    return count;
  }

 private:
  std::wstring LogFile(const std::wstring& folder) const { return folder + L"\\" + component_ + L".log"; }

  // The log folder lies under ProgramData for an elevated process, else under LocalAppData(Low).
  std::vector<std::wstring> CandidateFolders() const {
    std::vector<std::wstring> folders;
    for (const KNOWNFOLDERID* id :
         {&FOLDERID_ProgramData, &FOLDERID_LocalAppData, &FOLDERID_LocalAppDataLow}) {
      PWSTR path = nullptr;
      if (SUCCEEDED(::SHGetKnownFolderPath(*id, 0, nullptr, &path)))
        folders.push_back(std::wstring(path) + L"\\Quorvel\\Log\\" + component_);
      ::CoTaskMemFree(path);
    }
    return folders;
  }

  // Declared in the order they are needed: the folders go first, the values next, the lock last.
  LoggingLock lock_;
  std::unique_ptr<LoggingValues> values_;
  std::vector<std::unique_ptr<ScratchDir>> folders_;
  std::wstring component_;
  bool started_ = false;
};

}  // namespace QvTest
