#include "tests/kit/ScenarioRuns.h"

#include <windows.h>

#include <exception>

#include "base/Utf8.h"
#include "tests/kit/Options.h"
#include "tests/kit/RunnerKit.h"
#include "tests/kit/ScenarioReport.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/ScratchDir.h"

namespace QvKit {

namespace {

// Generous: a scenario may run the tool a few times, each allowed five minutes.
constexpr DWORD kScenarioTimeoutMs = 20 * 60 * 1000;
constexpr size_t kOutputNoteLimit = 1500;

std::wstring ReportFileOf(const std::wstring& outFolder, const std::wstring& name) {
  return outFolder + L"\\" + name + L".report";
}

std::wstring TempFolder() {
  wchar_t path[MAX_PATH + 1] = {};
  const DWORD length = ::GetTempPathW(MAX_PATH + 1, path);
  std::wstring folder(path, length);
  while (!folder.empty() && folder.back() == L'\\') folder.pop_back();
  return folder;
}

const Scenario* FindScenario(const std::wstring& name) {
  for (const Scenario& scenario : Scenarios())
    if (name == scenario.name) return &scenario;
  return nullptr;
}

Result RunGuarded(const Scenario& scenario, Kit& kit) {
  try {
    return scenario.run(kit);
  } catch (const std::exception& error) {
    return {Outcome::Fail, L"the scenario threw: " + QvText::FromUtf8(error.what())};
  } catch (...) {
    return {Outcome::Fail, L"the scenario threw an exception of an unknown type"};
  }
}

}  // namespace

std::wstring WorkFolderOf(const std::wstring& name) { return TempFolder() + L"\\qvkit-work\\" + name; }

Entry RunScenario(const std::wstring& self, const std::wstring& outFolder, const Scenario& scenario) {
  Entry entry;
  entry.suite = L"scenarios";
  entry.name = scenario.name;
  const std::wstring reportFile = ReportFileOf(outFolder, entry.name);
  ::DeleteFileW(reportFile.c_str());
  QvTest::ChildOptions options;
  options.errorsIntoOutput = true;
  const ULONGLONG started = ::GetTickCount64();
  const QvTest::ChildResult run =
      QvTest::RunChild(QuoteArgument(self) + L" --throwaway --out " + QuoteArgument(outFolder) +
                           L" --run-one " + QuoteArgument(entry.name),
                       kScenarioTimeoutMs, options);
  entry.seconds = static_cast<double>(::GetTickCount64() - started) / 1000.0;
  const ScenarioReport report = ParseScenarioReport(QvTest::ReadWholeFile(reportFile));
  ::DeleteFileW(reportFile.c_str());
  const Result result = JudgeScenario({run.started, run.finished, run.exitCode, kScenarioTimeoutMs}, report);
  entry.outcome = result.outcome;
  entry.reason = result.detail;
  entry.notes.push_back(L"risk: " + std::wstring(scenario.risk != nullptr ? scenario.risk : L""));
  entry.notes.insert(entry.notes.end(), report.notes.begin(), report.notes.end());
  if (!run.output.empty()) {
    // A crash report (Wine's or a debugger's) runs to pages; its head says what happened.
    std::wstring output = QvText::FromUtf8(run.output);
    if (output.size() > kOutputNoteLimit) output = output.substr(0, kOutputNoteLimit) + L" [cut]";
    entry.notes.push_back(L"scenario process output: " + output);
  }
  if (QvTest::FileExists(outFolder + L"\\" + entry.name + L".log"))
    entry.notes.push_back(L"tool log: " + entry.name + L".log");
  const std::wstring work = WorkFolderOf(entry.name);
  if (entry.outcome == Outcome::Fail)
    entry.notes.push_back(L"work folder kept: " + work);
  else
    QvTest::RemoveTree(work);
  return entry;
}

int RunOneScenario(const std::wstring& kitFolder, const std::wstring& outFolder, const std::wstring& name) {
  const std::wstring logFile = outFolder + L"\\" + name + L".log";
  ::DeleteFileW(logFile.c_str());
  const std::wstring work = WorkFolderOf(name);
  RunnerKit kit(kitFolder, work, ReportFileOf(outFolder, name), logFile);
  const Scenario* scenario = FindScenario(name);
  if (scenario == nullptr) {
    kit.Report(ResultLine({Outcome::Fail, L"no scenario is named '" + name + L"'"}));
    return 0;
  }
  QvTest::RemoveTree(work);
  ::CreateDirectoryW((TempFolder() + L"\\qvkit-work").c_str(), nullptr);
  if (!::CreateDirectoryW(work.c_str(), nullptr)) {
    kit.Report(ResultLine(
        {Outcome::Fail, L"cannot make the work folder " + work + L": " + std::to_wstring(::GetLastError())}));
    return 0;
  }
  kit.Note(L"work folder: " + work);
  const Result result = RunGuarded(*scenario, kit);
  return kit.Report(ResultLine(result)) ? 0 : kExitCannotRun;
}

}  // namespace QvKit
