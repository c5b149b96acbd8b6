// The run driver: preparation, extraction, detection, the user's choice, removal, clean-up, restart.
#pragma once

#include <windows.h>

#include <string>

#include "app/CmdLineManager.h"
#include "app/ExitCode.h"
#include "app/UiToolLib.h"
#include "ui/IGuiManager.h"

class UiTool {
 public:
  UiTool(IGuiManager* ui, ICmdLineManager* commandLine, HANDLE stopEvent)
      : ui_(ui), commandLine_(commandLine), stopEvent_(stopEvent) {}
  virtual ~UiTool() = default;

  virtual int Start();
  virtual int Execute();
  virtual bool Prepare(int& exitCode);
  virtual bool CheckDebugCommands(int& exitCode);
  virtual bool CheckPrivileges(int& exitCode);
  // Removes the working directories killed runs left and creates this run's; false (logged and
  // shown, exitCode 1) when the temporary folder is unusable. Needs the single-instance mutex held.
  virtual bool CreateWorkDir(int& exitCode);
  // The directory holding the scripts; empty on failure.
  virtual std::wstring ExtractScripts();
  // A hook for variants; always false here.
  virtual bool CheckEarlyExit(int& exitCode);
  virtual void CleanUp();
  virtual int Finish(int removalStatus);
  // --plan: the selected products' clean-up with every change only journalled, then the plan on
  // the console; 0 once it is made.
  int MakePlan(UiToolLib& library, const ProductList& products);
  virtual bool IsStopRequested();
  virtual bool ShowTestUI();
  virtual void TriggerReboot();

  // Registers the options, parses the command line and checks the option values; false (logged
  // and printed) on bad input, before anything is created.
  static bool ParseCommandLine(const wchar_t* commandLine);
  // Whether the command line carries --msi-exit-codes (or /msi-exit-codes), read from its tokens
  // alone: the exits before parsing (another instance running) honour it too. Logs nothing.
  static bool AsksForInstallerExitCodes(const wchar_t* commandLine);

  const std::wstring& WorkDir() const { return workDir_; }
  // ExitWindowsEx accepted the restart this run asked for.
  bool RestartTriggered() const { return restartTriggered_; }

 private:
  IGuiManager* ui_;
  ICmdLineManager* commandLine_;
  HANDLE stopEvent_;
  std::wstring workDir_;
  bool restartTriggered_ = false;
};
