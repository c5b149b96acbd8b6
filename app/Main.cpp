// Process entry point: logging around one run.
#include <windows.h>

#include "app/CrashHandlers.h"
#include "app/ExitCode.h"
#include "app/Run.h"
#include "app/UiTool.h"
#include "logging/QvBrelLogging.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
  QvBrelLogging::LogInit(nullptr, L"UninstallationTool", L"UninstallationTool", QvBrelLogging::LevelInfo, 0);
  InstallCrashHandlers();
  QvBrelLogging::LogMessage(QvBrelLogging::LevelInfo, "Binary version: %s, compilation time: %s %s",
                            QV_PRODUCT_VERSION, __DATE__, __TIME__);
  bool restartTriggered = false;
  const int code = static_cast<int>(Run(instance, &restartTriggered));
  QV_BREL_LOG(QV_INFO, "Exiting with code: %d", code);
  int returned = code;
  if (UiTool::AsksForInstallerExitCodes(::GetCommandLineW())) {
    returned = ToInstallerExitCode(code, restartTriggered);
    QV_BREL_LOG(QV_INFO, "Exit code %d is returned as %d (--msi-exit-codes)", code, returned);
  }
  QvBrelLogging::LogUninit();
  return returned;
}
