// The run sequence of one tool run and the exit code it ends with.
#include "app/UiTool.h"

#include <vector>

#include "app/ResDropper.h"
#include "app/TestProductConfig.h"
#include "app/PlanTable.h"
#include "app/RunRecord.h"
#include "app/UiToolLib.h"
#include "base/ChangeJournal.h"
#include "base/LineBreaks.h"
#include "base/UniqueHandle.h"
#include "base/Utf8.h"
#include "base/WellKnownSids.h"
#include "core/ConsolePrinter.h"
#include "core/QvOptionParser.h"
#include "core/Settings.h"
#include "logging/QvBrelLogging.h"
#include "sysops/QvPath.h"
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
    case RemovalNeedsRestart: {
      const bool restart = ui_->ShowMessage(MessageFinishedReboot) == AnswerOk;
      RunRecord::Instance().SetRestart(true, restart);
      if (restart) TriggerReboot();
      return ExitRestartNeeded;
    }
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
  // Planned restart for application maintenance.
  ::ExitWindowsEx(EWX_REBOOT | EWX_FORCEIFHUNG, SHTDN_REASON_FLAG_PLANNED | SHTDN_REASON_MAJOR_APPLICATION |
                                                    SHTDN_REASON_MINOR_MAINTENANCE);
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

  std::wstring message;
  if (!options.Parse(commandLine)) {
    message = options.GetError();
  } else if (options.IsSet(L"restart") && !options.IsSet(L"silent")) {
    message = std::wstring(L"Option '") + L"restart" + L"' cannot be used without '" + L"silent" + L"'";
  } else {
    return true;
  }
  QV_BREL_LOG(QV_ERROR, L"Error in parameters: %s", message.c_str());
  ConsolePrinter::Instance().Print(L"Error in parameters: %s", message.c_str());
  return false;
}
