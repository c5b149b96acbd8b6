// The run sequence of one tool run and the exit code it ends with.
#include "app/UiTool.h"

#include <cwchar>
#include <string_view>
#include <vector>

#include "app/ResDropper.h"
#include "app/TestProductConfig.h"
#include "app/PlanTable.h"
#include "app/RunRecord.h"
#include "app/UiToolLib.h"
#include "base/ChangeJournal.h"
#include "base/LineBreaks.h"
#include "base/PathText.h"
#include "base/UniqueHandle.h"
#include "base/Utf8.h"
#include "base/WellKnownSids.h"
#include "core/ConsolePrinter.h"
#include "core/QvOptionParser.h"
#include "core/Settings.h"
#include "logging/QvBrelLogging.h"
#include "sysops/WorkingDirectory.h"
#include "sysops/QvPrivilege.h"

namespace {

// The variable GetTempPathW takes the temporary folder from: TMP, else TEMP.
std::wstring TempVariable() {
  for (const wchar_t* name : {L"TMP", L"TEMP"}) {
    const DWORD size = ::GetEnvironmentVariableW(name, nullptr, 0);
    if (size == 0) continue;
    std::wstring value(size, L'\0');
    const DWORD length = ::GetEnvironmentVariableW(name, value.data(), size);
    value.resize(length < size ? length : 0);
    return value;
  }
  return {};
}

// A week: a longer deadline is a typing error rather than a plan.
constexpr unsigned long kMaxDeadlineMinutes = 10080;

// "Option 'name' cannot be used without 'silent'", the form every silent-only switch fails with.
std::wstring SilentOnly(const wchar_t* name) {
  return std::wstring(L"Option '") + name + L"' cannot be used without '" + L"silent" + L"'";
}

// Why `value` is no deadline (whole minutes, 1 to a week, decimal digits only); empty when it is one.
std::wstring CheckDeadline(const std::wstring& value) {
  bool digits = !value.empty() && value.size() <= 5;
  for (wchar_t c : value) digits = digits && c >= L'0' && c <= L'9';
  const unsigned long minutes = digits ? std::wcstoul(value.c_str(), nullptr, 10) : 0;
  if (minutes >= 1 && minutes <= kMaxDeadlineMinutes) return {};
  return L"Option 'deadline' takes whole minutes from 1 to " + std::to_wstring(kMaxDeadlineMinutes) +
         L", not '" + QvText::EscapeLineBreaks(value) + L"'";
}

// Why `path` cannot take the report; empty when it can. The report is written at the end of the
// run, so a path that cannot work must fail now, before anything changes.
std::wstring CheckReportPath(const std::wstring& path) {
  const std::wstring shown = L"'" + QvText::EscapeLineBreaks(path) + L"'";
  std::wstring component;
  const QvPath::PathProblem problem = QvPath::CheckCanonical(path, &component);
  if (problem != QvPath::PathProblem::None) {
    return L"Option 'report' needs an absolute, canonical file path (" + shown + L": " +
           QvPath::DescribeProblem(problem, component) + L")";
  }
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (path.back() == L'\\' || QvPath::IsVolumeRoot(path) ||
      (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))) {
    return L"Option 'report' needs a file path, not a folder (" + shown + L")";
  }
  const std::wstring folder = path.substr(0, path.rfind(L'\\') + 1);
  const DWORD folderAttributes = ::GetFileAttributesW(folder.c_str());
  if (folderAttributes == INVALID_FILE_ATTRIBUTES || !(folderAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return L"Option 'report' needs a file in an existing folder ('" + QvText::EscapeLineBreaks(folder) +
           L"' is none)";
  }
  return {};
}

// The first reason the parsed options do not go together or a value is unusable; empty if none.
std::wstring CheckOptions(const QvOptionParser& options) {
  const bool silent = options.IsSet(L"silent");
  if (options.IsSet(L"restart") && !silent) return SilentOnly(L"restart");
  if (options.IsSet(L"plan") && !silent) return SilentOnly(L"plan");
  if (options.IsSet(L"deadline")) {
    std::wstring problem = CheckDeadline(options.GetValue(L"deadline"));
    if (!problem.empty()) return problem;
  }
  if (options.IsSet(L"report")) return CheckReportPath(options.GetValue(L"report"));
  return {};
}

}  // namespace

int UiTool::Start() {
  const int code = Execute();
  CleanUp();
  return code;
}

int UiTool::Execute() {
  int code = ExitSuccess;
  if (!Prepare(code) || CheckEarlyExit(code)) return code;

  const std::wstring scriptsDir = ExtractScripts();
  if (scriptsDir.empty()) {
    ui_->ShowMessage(MessageErrorGeneric);
    return ExitFailure;
  }
  UiToolLib library(GetShortPath(scriptsDir));
  ProductList products = library.DetectProducts();
  if (products.empty()) {
    ui_->ShowMessage(MessageErrorGeneric);
    return ExitFailure;
  }
  RunRecord::Instance().SetProducts(products);
  if (QvOptionParser::Instance().IsSet(L"help")) {
    PrintHelp(products);
    return ExitSuccess;
  }
  if (!commandLine_->ValidateProducts(products)) return ExitFailure;
  if (ui_->ShowWelcome() != AnswerOk) return ExitUserCancelled;
  const bool chosen = ui_->ShowSelect(products) == AnswerOk;
  RunRecord::Instance().SetProducts(products);
  if (!chosen) return ExitUserCancelled;
  ui_->ShowProgress();
  if (QvOptionParser::Instance().IsSet(L"plan")) return MakePlan(library, products);
  return Finish(library.RemoveProducts(products));
}

int UiTool::MakePlan(UiToolLib& library, const ProductList& products) {
  QV_BREL_LOG(QV_INFO, L"Making the plan: the clean-up runs, the machine is not changed");
  ChangeJournal& journal = ChangeJournal::Instance();
  journal.SetPlanning(true);
  library.RemoveProducts(products);
  journal.SetPlanning(false);
  PlanTable::Print(journal.Changes());
  return ExitSuccess;
}

bool UiTool::Prepare(int& exitCode) {
  BrelResLib::Settings& settings = BrelResLib::Settings::Instance();
  settings.SetLanguage(QvText::ToUtf8(QvOptionParser::Instance().GetValue(L"language")));
  QV_BREL_LOG(QV_INFO, L"Using language: %hs", settings.GetLanguage().c_str());
  return CheckDebugCommands(exitCode) && CheckPrivileges(exitCode) && CreateWorkDir(exitCode);
}

bool UiTool::CheckDebugCommands(int& exitCode) {
  if (!QvOptionParser::Instance().IsSet(L"testui")) return true;
  QV_BREL_LOG(QV_INFO, L"Showing TestUI");
  ShowTestUI();
  exitCode = ExitSuccess;
  return false;
}

bool UiTool::CheckPrivileges(int& exitCode) {
  if (QvSids::IsAdministratorsMember()) return true;
  ui_->ShowMessage(MessageErrorPrivileges);
  exitCode = ExitNoAdminRights;
  return false;
}

bool UiTool::CreateWorkDir(int& exitCode) {
  auto fail = [&] {
    ui_->ShowMessage(MessageErrorGeneric);
    exitCode = ExitFailure;
    return false;
  };
  SecurityAttributes security = SecurityAttributes::FromSddl(QvPath::WorkDirSddl);
  // Without its descriptor the folder would inherit the temporary folder's access: do not create it.
  if (security.IsEmpty()) {
    QV_BREL_LOG(QV_ERROR, L"Failed to build the working directory's descriptor: %lu", ::GetLastError());
    return fail();
  }
  const std::wstring temp = QvPath::GetTempDirectory();
  if (temp.empty()) {
    // GetTempPathW gives no folder (one too long, say): name the variable it read instead.
    const DWORD error = ::GetLastError();
    QV_BREL_LOG(QV_ERROR, L"Failed to find the temporary folder '%s': %lu", TempVariable().c_str(), error);
    return fail();
  }
  QvPath::RemoveStaleWorkDirectories(temp);
  workDir_ = QvPath::CreateUniqueDirectory(temp, security);
  if (workDir_.empty()) {
    QV_BREL_LOG(QV_ERROR, L"Failed to create the working directory in '%s': %lu", temp.c_str(),
                ::GetLastError());
    return fail();
  }
  QV_BREL_LOG(QV_DEBUG, L"Working directory: %s", workDir_.c_str());
  return true;
}

std::wstring UiTool::ExtractScripts() {
  if (ResDropper::ExtractZipFromResource(workDir_)) return workDir_;
  QV_BREL_LOG(QV_ERROR, L"Failed to extract scripts from resources");
  return {};
}

bool UiTool::CheckEarlyExit(int&) { return false; }

void UiTool::CleanUp() {
  if (workDir_.empty()) return;
  QV_BREL_LOG(QV_DEBUG, L"Removing '%s'", workDir_.c_str());
  QvPath::RemoveDirectoryTree(workDir_, true);
}

int UiTool::Finish(int removalStatus) {
  switch (removalStatus) {
    case RemovalSucceeded:
      ui_->ShowMessage(MessageFinished);
      return ExitSuccess;
    case RemovalNeedsRestart:
      if (ui_->ShowMessage(MessageFinishedReboot) == AnswerOk) TriggerReboot();
      return ExitRestartNeeded;
    default:
      ui_->ShowMessage(MessageErrorGeneric);
      return ExitFailure;
  }
}

bool UiTool::IsStopRequested() { return ::WaitForSingleObject(stopEvent_, 0) == WAIT_OBJECT_0; }

bool UiTool::ShowTestUI() {
  if (ui_->ShowWelcome() == AnswerCancel) return false;
  ProductList products;
  for (int i = 0; i < 10; ++i) {
    products.push_back(std::make_shared<TestProductConfig>(
        L"id", L"Example product name " + std::to_wstring(i + 1), i % 3 == 0, false));
  }
  if (ui_->ShowSelect(products) != AnswerOk) return false;
  ui_->ShowProgress();
  if (::WaitForSingleObject(stopEvent_, 2000) != WAIT_TIMEOUT) return false;
  ui_->ShowMessage(MessageErrorGeneric);
  ui_->ShowMessage(MessageFinished);
  ui_->ShowMessage(MessageFinishedReboot);
  return true;
}

void UiTool::TriggerReboot() {
  QV_BREL_LOG(QV_INFO, L"Triggering reboot ...");
  QvPrivilege shutdown(L"SeShutdownPrivilege");
  // Planned restart for application maintenance. Whether it was accepted decides only the
  // Installer form of the exit code (1641 against 3010).
  restartTriggered_ = ::ExitWindowsEx(EWX_REBOOT | EWX_FORCEIFHUNG,
                                      SHTDN_REASON_FLAG_PLANNED | SHTDN_REASON_MAJOR_APPLICATION |
                                          SHTDN_REASON_MINOR_MAINTENANCE) != FALSE;
}

bool UiTool::ParseCommandLine(const wchar_t* commandLine) {
  // Another program may pass line breaks: the command line stays one record.
  const std::wstring logged = QvText::EscapeLineBreaks(commandLine != nullptr ? commandLine : L"");
  QV_BREL_LOG(QV_INFO, L"Command-line: %s", logged.c_str());
  QvOptionParser& options = QvOptionParser::Instance();
  options.AddOption(OptionNoValue, L"testui", 0);
  options.AddOption(OptionNoValue, L"help", L'h');
  options.AddOption(OptionNoValue, L"silent", L's');
  options.AddOption(OptionNoValue, L"restart", L'r');
  options.AddOption(OptionValueRequired, L"language", L'l');
  options.AddOption(OptionValueRequired, L"products", L'p');
  // Long names only: the short characters stay free for the options described first.
  options.AddOption(OptionValueRequired, L"report", 0);
  options.AddOption(OptionNoValue, L"plan", 0);
  options.AddOption(OptionNoValue, L"msi-exit-codes", 0);
  options.AddOption(OptionValueRequired, L"deadline", 0);
  options.AddOption(OptionNoValue, L"require-undo", 0);

  std::wstring message;
  if (!options.Parse(commandLine)) {
    message = options.GetError();  // may be empty (a lone "-"): still a failure
  } else {
    message = CheckOptions(options);
    if (message.empty()) return true;
  }
  QV_BREL_LOG(QV_ERROR, L"Error in parameters: %s", message.c_str());
  ConsolePrinter::Instance().Print(L"Error in parameters: %s", message.c_str());
  return false;
}

bool UiTool::AsksForInstallerExitCodes(const wchar_t* commandLine) {
  if (commandLine == nullptr) return false;
  bool quotesOpen = false;
  std::vector<std::wstring> tokens = TokenizeCommandLine(commandLine, quotesOpen);
  if (!tokens.empty()) tokens.erase(tokens.begin());  // the program path
  constexpr std::wstring_view kName = L"msi-exit-codes";
  for (const std::wstring& token : tokens) {
    // The parser's long forms: "--name" and "/name" (an "=" ends the name of the second).
    std::wstring_view name;
    if (token.starts_with(L"--")) {
      name = std::wstring_view(token).substr(2);
    } else if (token.starts_with(L"/")) {
      name = std::wstring_view(token).substr(1);
      name = name.substr(0, name.find(L'='));
    } else {
      continue;
    }
    if (name.size() == kName.size() &&
        ::CompareStringOrdinal(name.data(), static_cast<int>(name.size()), kName.data(),
                               static_cast<int>(kName.size()), TRUE) == CSTR_EQUAL) {
      return true;
    }
  }
  return false;
}
