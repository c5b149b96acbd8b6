// Shared fixture pieces of the logging suites: a lock that keeps logging tests of several processes
// from seeing each other's registry values, registry value restore, scratch folders, file reading.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdarg>
#include <optional>
#include <string>
#include <vector>

#include "logging/Logger.h"
#include "base/UniqueHandle.h"

namespace LogTest {

std::wstring KnownFolder(const GUID& id);
std::wstring ProgramData();
// ProgramData\Quorvel\Log\<component>: where an elevated logger of that component writes.
std::wstring LogDirectory(const std::wstring& component);

// Whole file as bytes; nullopt when it cannot be opened.
std::optional<std::string> ReadFileBytes(const std::wstring& path);
bool WriteFileBytes(const std::wstring& path, const std::string& bytes);
bool FileExists(const std::wstring& path);
bool DirectoryExists(const std::wstring& path);
// Lines split at "\r\n" (the final terminator gives no extra empty line).
std::vector<std::string> SplitLines(const std::string& text);
// Removes a folder tree that contains no links.
void RemoveTree(const std::wstring& path);
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

// Base of every test that runs a real logger or file context: serialises with other logging test
// processes, gives a unique component name, restores the logging registry values and removes
// the component's log folder afterwards.
class LoggingTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  void SetRegistryDword(const wchar_t* name, DWORD value);
  std::wstring Dir() const { return LogDirectory(component_); }
  // Main log file of file name `fileName` in this test's folder.
  std::wstring LogFile(const std::wstring& fileName) const { return Dir() + L"\\" + fileName + L".log"; }
  std::vector<ParsedLine> Records(const std::wstring& fileName) const;

  std::wstring component_;
  std::vector<std::wstring> extraTrees_;  // removed in TearDown as well

 private:
  struct SavedValue {
    std::wstring name;
    std::optional<DWORD> value;
  };
  UniqueHandle lock_;
  std::vector<std::wstring> createdKeys_;
  std::vector<SavedValue> saved_;
};

}  // namespace LogTest
