// The runner's side of the Kit interface, for one scenario in its own process: a fresh work folder,
// a copy of the tool carrying the kit's script archive, the log records each run wrote, and notes
// appended to the scenario's report file at once.
#pragma once

#include <string>
#include <vector>

#include "tests/kit/Scenario.h"

namespace QvKit {

// The kit's script archive, beside qvkit.exe.
constexpr wchar_t kKitScriptsName[] = L"kitscripts.zip";
constexpr wchar_t kToolName[] = L"UninstallationTool.exe";

class RunnerKit final : public Kit {
 public:
  // `reportFile` gets the notes (ScenarioReport.h); `logFile` every run's log records.
  RunnerKit(std::wstring kitFolder, std::wstring workFolder, std::wstring reportFile, std::wstring logFile);
  ~RunnerKit() override;
  RunnerKit(const RunnerKit&) = delete;
  RunnerKit& operator=(const RunnerKit&) = delete;

  const std::wstring& KitFolder() const override { return kitFolder_; }
  const std::wstring& WorkFolder() const override { return workFolder_; }
  bool UnderWine() const override { return underWine_; }
  ToolRun RunTool(const std::wstring& arguments, DWORD timeoutMs = 300000) override;
  UniqueHandle StartTool(const std::wstring& arguments) override;
  std::wstring LogOfLastRun() override;
  void Note(const std::wstring& line) override;

  // Appends a line to the report file; false when it cannot be written.
  bool Report(const std::string& line);

 private:
  // The tool copy in the work folder, made on first use; empty with `error` set when it fails.
  std::wstring ToolCopy(std::wstring& error);
  void BeginRun(const std::wstring& arguments);
  // Saves the records of the last run to the log file, once.
  void SaveLastLog();

  std::wstring kitFolder_;
  std::wstring workFolder_;
  std::wstring reportFile_;
  std::wstring logFile_;
  bool underWine_;
  std::wstring toolCopy_;
  std::string mark_;
  std::wstring lastArguments_;
  std::string lastLog_;
  bool runPending_ = false;  // a run was started whose records are not saved yet
  int runs_ = 0;
};

}  // namespace QvKit
