// Start-up guards, the UI manager choice and the run driver.
#include "app/Run.h"

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/RunRecord.h"
#include "app/RunReport.h"
#include "app/UiTool.h"
#include "base/ProcAddress.h"
#include "base/SecurityAttributes.h"
#include "base/UniqueHandle.h"
#include "core/ConsolePrinter.h"
#include "core/DelayLoad.h"
#include "core/QvOptionParser.h"
#include "core/RunDeadline.h"
#include "core/Settings.h"
#include "logging/QvBrelLogging.h"
#include "sysops/UndoMaterial.h"
#include "ui/GuiManager.h"
#include "ui/GuiSilent.h"

namespace {

constexpr unsigned kStringsResourceId = 101;
constexpr unsigned kSettingsResourceId = 102;

// Libraries loaded once from the system directory; they stay loaded for the life of the process.
std::vector<HMODULE>& PreloadedLibraries() {
  static std::vector<HMODULE> libraries;
  return libraries;
}

void Preload(const wchar_t* name) {
  if (HMODULE module = QvProc::LoadSystemLibrary(name).release()) PreloadedLibraries().push_back(module);
}

// Only the system directory is searched for libraries loaded later without a full path.
bool RestrictDllSearch() {
  using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
  const auto setDefault = QvProc::Get<SetDefaultDllDirectoriesFn>(::GetModuleHandleW(L"kernel32.dll"),
                                                                  "SetDefaultDllDirectories");
  return setDefault != nullptr && setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

}  // namespace

unsigned Run(HINSTANCE instance, bool* restartTriggered) {
  QvOptionParser::Instance();

  SecurityAttributes security = SecurityAttributes::FromSddl(kSingleInstanceMutexSddl);
  UniqueHandle mutex(::CreateMutexW(security.Get(), FALSE, kSingleInstanceMutexName));
  const DWORD error = ::GetLastError();
  // A mutex this process may not open is held by an instance running under another account.
  if (error == ERROR_ALREADY_EXISTS || (!mutex && error == ERROR_ACCESS_DENIED)) {
    QV_BREL_LOG(QV_INFO, L"Another instance is already running");
    return ExitAlreadyRunning;
  }
  if (!mutex) {
    QV_BREL_LOG(QV_ERROR, L"Failed to create the single-instance mutex: %lu", error);
    return ExitFailure;
  }

  BrelDelayLoad::ClearFlags(BrelDelayLoad::SearchOwnDirectory);
  if (!RestrictDllSearch()) QV_BREL_LOG(QV_WARNING, L"Failed to set default safe DLL search paths");
  Preload(L"UxTheme.dll");
  Preload(L"WindowsCodecs.dll");

  if (!UiTool::ParseCommandLine(::GetCommandLineW())) {
    ConsolePrinter::Instance().Print(L"Use --help|-h option to view available parameters");
    return ExitFailure;
  }
  QvOptionParser& options = QvOptionParser::Instance();
  // The clock starts before the resources are read, so the deadline covers the whole run.
  if (options.IsSet(L"deadline")) {
    const unsigned minutes = static_cast<unsigned>(options.GetValueAsInt(L"deadline"));
    RunDeadline::Instance().Start(minutes);
    QV_BREL_LOG(QV_INFO, L"Run deadline: %u minutes", minutes);
  }

  const unsigned loaded =
      BrelResLib::Settings::Instance().LoadResources(instance, kSettingsResourceId, kStringsResourceId);
  if (loaded != 0) {
    QV_BREL_LOG(QV_FATAL, L"Failed to load embedded resources: %lu", loaded);
    return ExitFailure;
  }

  UniqueHandle stopEvent(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!stopEvent) {
    QV_BREL_LOG(QV_FATAL, L"Failed to create stop event");
    return ExitFailure;
  }

  std::unique_ptr<IGuiManager> ui;
  if (options.IsSet(L"silent")) {
    QV_BREL_LOG(QV_INFO, L"SILENT parameter provided. Running without GUI.");
    ui = std::make_unique<GuiSilent>();
  } else {
    ui = std::make_unique<GuiManager>(instance, stopEvent.get());
  }

  RunRecord::Instance().Start(options.IsSet(L"plan")     ? "plan"
                              : options.IsSet(L"silent") ? "silent"
                                                         : "wizard");
  UndoMaterial::Instance().Begin(RunRecord::Instance().Started(), options.IsSet(L"require-undo"));
  CmdLineManager commandLine;
  UiTool tool(ui.get(), &commandLine, stopEvent.get());
  ui->Initialize();
  const int code = tool.Execute();
  tool.CleanUp();
  UndoMaterial::Instance().End();
  const bool triggered = tool.RestartTriggered();
  if (restartTriggered != nullptr) *restartTriggered = triggered;
  ui->Shutdown();
  ui.reset();
  if (options.IsSet(L"report")) {
    RunRecord::Instance().SetRestart(code == ExitRestartNeeded, triggered);
    const int returned = options.IsSet(L"msi-exit-codes") ? ToInstallerExitCode(code, triggered) : code;
    RunReport::Write(options.GetValue(L"report"), returned, code);
  }
  return static_cast<unsigned>(code);
}
