#include "tests/kit/RunnerKit.h"

#include "base/Utf8.h"
#include "tests/kit/ScenarioReport.h"
#include "tests/kit/ToolLog.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/ResourceFile.h"
#include "tests/support/ScratchDir.h"

namespace QvKit {

namespace {

constexpr WORD kScriptArchiveId = 103;

bool AppendToFile(const std::wstring& path, const std::string& bytes) {
  UniqueFileHandle file(::CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD written = 0;
  return file && ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size();
}

}  // namespace

RunnerKit::RunnerKit(std::wstring kitFolder, std::wstring workFolder, std::wstring reportFile,
                     std::wstring logFile)
    : kitFolder_(std::move(kitFolder)),
      workFolder_(std::move(workFolder)),
      reportFile_(std::move(reportFile)),
      logFile_(std::move(logFile)),
      underWine_(QvTest::IsWine()) {}

RunnerKit::~RunnerKit() { SaveLastLog(); }

bool RunnerKit::Report(const std::string& line) { return AppendToFile(reportFile_, line); }

void RunnerKit::Note(const std::wstring& line) { Report(NoteLine(line)); }

std::wstring RunnerKit::ToolCopy(std::wstring& error) {
  if (!toolCopy_.empty()) return toolCopy_;
  const std::wstring source = kitFolder_ + L"\\" + kToolName;
  const std::wstring target = workFolder_ + L"\\" + kToolName;
  std::string archive;
  if (!QvTest::TryReadWholeFile(kitFolder_ + L"\\" + kKitScriptsName, archive)) {
    error = L"cannot read the kit's script archive " + std::wstring(kKitScriptsName) + L": " +
            std::to_wstring(::GetLastError());
    return {};
  }
  if (!::CopyFileW(source.c_str(), target.c_str(), FALSE)) {
    error = L"cannot copy " + source + L": " + std::to_wstring(::GetLastError());
    return {};
  }
  if (const DWORD failure = QvTest::ReplaceRcData(target, kScriptArchiveId, archive)) {
    error = L"cannot put the kit's script archive into the tool copy: " + std::to_wstring(failure);
    return {};
  }
  toolCopy_ = target;
  return toolCopy_;
}

void RunnerKit::BeginRun(const std::wstring& arguments) {
  SaveLastLog();
  mark_ = MarkToolLog();
  lastArguments_ = arguments;
  lastLog_.clear();
  runPending_ = true;
  ++runs_;
}

void RunnerKit::SaveLastLog() {
  if (!runPending_) return;
  runPending_ = false;
  lastLog_ = ToolLogSince(mark_);
  AppendToFile(logFile_, "==== run " + std::to_string(runs_) + ": " + QvText::ToUtf8(lastArguments_) +
                             "\r\n" + lastLog_);
}

ToolRun RunnerKit::RunTool(const std::wstring& arguments, DWORD timeoutMs) {
  ToolRun run;
  const std::wstring tool = ToolCopy(run.detail);
  if (tool.empty()) return run;
  BeginRun(arguments);
  QvTest::ChildOptions options;
  options.errorsIntoOutput = true;
  QvTest::ChildProcess child(L"\"" + tool + L"\" " + arguments, options);
  if (!child.Started()) {
    run.detail = L"the tool did not start: " + std::to_wstring(child.StartError());
    runPending_ = false;
    return run;
  }
  run.started = true;
  if (child.Wait(timeoutMs)) {
    run.exitCode = child.ExitCode();
  } else {
    ::TerminateProcess(child.Handle(), 1);
    ::WaitForSingleObject(child.Handle(), 10000);
    run.exitCode = STILL_ACTIVE;
    run.detail =
        L"the tool was still running after " + std::to_wstring(timeoutMs / 1000) + L" s and was ended";
  }
  const std::wstring output = QvText::FromUtf8(child.Output());
  if (!output.empty()) Note(L"tool output: " + output);
  SaveLastLog();
  run.log = QvText::FromUtf8(lastLog_);
  return run;
}

UniqueHandle RunnerKit::StartTool(const std::wstring& arguments) {
  std::wstring error;
  const std::wstring tool = ToolCopy(error);
  if (tool.empty()) {
    Note(L"the tool was not started: " + error);
    return {};
  }
  BeginRun(arguments);
  std::wstring commandLine = L"\"" + tool + L"\" " + arguments;
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info{};
  if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &info)) {
    Note(L"the tool was not started: " + std::to_wstring(::GetLastError()));
    runPending_ = false;
    return {};
  }
  UniqueHandle thread(info.hThread);
  return UniqueHandle(info.hProcess);
}

std::wstring RunnerKit::LogOfLastRun() {
  SaveLastLog();
  return QvText::FromUtf8(lastLog_);
}

}  // namespace QvKit
