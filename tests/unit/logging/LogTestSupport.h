// Shared fixture pieces of the logging suites: the logging test lock and pinned registry values
// (tests/support/LoggingValues.h), the component's folders, log line parsing.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdarg>
#include <optional>
#include <string>
#include <vector>

#include <memory>

#include "logging/Logger.h"
#include "tests/support/LoggingValues.h"
#include "tests/support/ScratchDir.h"

namespace LogTest {

std::wstring KnownFolder(const GUID& id);
std::wstring ProgramData();
// ProgramData\Quorvel\Log\<component>: where an elevated logger of that component writes.
std::wstring LogDirectory(const std::wstring& component);

// Whole file as bytes; nullopt when it cannot be opened.
std::optional<std::string> ReadFileBytes(const std::wstring& path);
// Lines split at "\r\n" (the final terminator gives no extra empty line).
std::vector<std::string> SplitLines(const std::string& text);
std::wstring Widen(const std::string& text);
std::string Narrow(const std::wstring& text);

// A tagged record through a logger instance, as QV_BREL_LOG does through the process logger.
void Tagged(QvBrelLogging::Logger& logger, int level, const char* tag, const wchar_t* format, ...);
void Tagged(QvBrelLogging::Logger& logger, int level, const char* tag, const char* format, ...);

// Parts of one log line.
struct ParsedLine {
  SYSTEMTIME time{};
  unsigned long processId = 0;
  unsigned long threadId = 0;
  std::string mark;
  std::string rest;  // everything after "<mark>: "
};
std::optional<ParsedLine> ParseLine(const std::string& line);
// Lines of a log file that are records (not the blank run separators), parsed; fails the test on
// a line that is neither.
std::vector<ParsedLine> ParseRecords(const std::string& fileText);

// Base of every test that runs a real logger or file context: holds the logging test lock, clears
// the logging values for the test and puts them back afterwards, gives a unique component name and
// removes the component's log folder (and every folder claimed with Claim) before and after.
class LoggingTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  void SetRegistryDword(const wchar_t* name, DWORD value);
  std::wstring Dir() const { return LogDirectory(component_); }
  // Main log file of file name `fileName` in this test's folder.
  std::wstring LogFile(const std::wstring& fileName) const { return Dir() + L"\\" + fileName + L".log"; }
  std::vector<ParsedLine> Records(const std::wstring& fileName) const;
  // Removes `path` now and when the test ends (a folder the code under test creates).
  void Claim(const std::wstring& path) {
    claimed_.push_back(std::make_unique<QvTest::ScratchDir>(QvTest::ScratchDir::Claim{path}));
  }

  std::wstring component_;

 private:
  QvTest::LoggingLock lock_;
  std::unique_ptr<QvTest::LoggingValues> values_;
  std::vector<std::unique_ptr<QvTest::ScratchDir>> claimed_;
};

}  // namespace LogTest
