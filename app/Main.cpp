// Process entry point: logging around one run.
#include <windows.h>

#include "app/CrashHandlers.h"
#include "app/Run.h"
#include "logging/QvBrelLogging.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
  QvBrelLogging::LogInit(nullptr, L"UninstallationTool", L"UninstallationTool", QvBrelLogging::LevelInfo, 0);
  InstallCrashHandlers();
  QvBrelLogging::LogMessage(QvBrelLogging::LevelInfo, "Binary version: %s, compilation time: %s %s",
                            QV_PRODUCT_VERSION, __DATE__, __TIME__);
  const unsigned code = Run(instance);
  QV_BREL_LOG(QV_INFO, "Exiting with code: %d", static_cast<int>(code));
  QvBrelLogging::LogUninit();
  return static_cast<int>(code);
}
