// Reads back the records a test writes through the logger, from the log file the logger writes.
// While the logging facade still drops every record, Start() fails and the test skips itself.
#pragma once

#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>

#include <string>
#include <string_view>
#include <vector>

#include "logging/QvBrelLogging.h"
#include "tests/support/ScratchDir.h"

namespace QvTest {

class LogCapture {
 public:
  LogCapture() = default;
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;
  ~LogCapture() {
    if (!started_) return;
    QvBrelLogging::LogUninit();
    for (const std::wstring& folder : CandidateFolders()) ScratchDir::RemoveTree(folder);
  }

  // Starts logging at verbose level into a log file of its own; false when records are dropped.
  bool Start() {
    static LONG counter = 0;
    component_ = L"QvTest" + std::to_wstring(::GetCurrentProcessId()) + L"_" +
                 std::to_wstring(::InterlockedIncrement(&counter));
    QvBrelLogging::LogInit(component_.c_str(), component_.c_str(), QvBrelLogging::LevelVerbose,
                           QvBrelLogging::FlagUnnamedMutex);
    started_ = true;
    return QvBrelLogging::LogIsEnabled(QvBrelLogging::LevelVerbose);
  }

  // Every line of the file without its time, process and thread prefix, e.g.
  // " I: UiToolLib::RemoveProducts: Removing product: a b (c)" or "*E: [x.lua] text". A message
  // holding line breaks continues on lines of its own.
  std::vector<std::string> Lines() const {
    QvBrelLogging::LogFlush();
    std::vector<std::string> lines;
    for (const std::wstring& folder : CandidateFolders()) {
      const std::string content = ScratchDir::ReadFile(folder + L"\\" + component_ + L".log");
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

 private:
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

  std::wstring component_;
  bool started_ = false;
};

}  // namespace QvTest

// Skips the calling test while the logging facade drops records.
#define QV_START_LOG_CAPTURE_OR_SKIP(capture) \
  if (!(capture).Start()) GTEST_SKIP() << "logger not built yet"
