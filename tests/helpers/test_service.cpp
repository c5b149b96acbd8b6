// Test helper: a real service program (one service, own process) whose behaviour its command line
// chooses:
//   test_service stops          runs; stops at once on a stop control
//   test_service slow-stop <s>  runs; stays stop-pending for <s> seconds after a stop control
//   test_service never-stop     runs; stays stop-pending for good after a stop control
//   test_service refuse-stop    runs without accepting a stop control
//   test_service fail-start     reports stopped with a service-specific error instead of running
//   test_service start-pending  stays start-pending for good
//   test_service slow-start <s> stays start-pending (accepting no stop) for <s> seconds, then runs
#include <windows.h>

#include <string>

#include "base/UniqueHandle.h"

namespace {

SERVICE_STATUS_HANDLE statusHandle = nullptr;
UniqueHandle stopRequested;
std::wstring mode;
DWORD stopSeconds = 0;

void Report(DWORD state, DWORD exitCode = NO_ERROR, DWORD specific = 0) {
  SERVICE_STATUS status = {};
  status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
  status.dwCurrentState = state;
  status.dwControlsAccepted = state == SERVICE_RUNNING && mode != L"refuse-stop" ? SERVICE_ACCEPT_STOP : 0;
  status.dwWin32ExitCode = exitCode;
  status.dwServiceSpecificExitCode = specific;
  status.dwWaitHint = 1000;
  ::SetServiceStatus(statusHandle, &status);
}

DWORD WINAPI Handler(DWORD control, DWORD, void*, void*) {
  if (control == SERVICE_CONTROL_STOP) {
    Report(SERVICE_STOP_PENDING);
    ::SetEvent(stopRequested.get());
  }
  return NO_ERROR;
}

void WINAPI ServiceMain(DWORD, wchar_t**) {
  statusHandle = ::RegisterServiceCtrlHandlerExW(L"", Handler, nullptr);
  if (statusHandle == nullptr) return;
  if (mode == L"fail-start") {
    Report(SERVICE_STOPPED, ERROR_SERVICE_SPECIFIC_ERROR, 42);
    return;
  }
  if (mode == L"start-pending") {
    Report(SERVICE_START_PENDING);
    ::Sleep(INFINITE);
  }
  if (mode == L"slow-start") {
    Report(SERVICE_START_PENDING);
    ::Sleep(stopSeconds * 1000);
  }
  Report(SERVICE_RUNNING);
  ::WaitForSingleObject(stopRequested.get(), INFINITE);
  if (mode == L"never-stop") ::Sleep(INFINITE);
  if (mode == L"slow-stop") ::Sleep(stopSeconds * 1000);
  Report(SERVICE_STOPPED);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return 2;
  mode = argv[1];
  if (argc > 2) stopSeconds = static_cast<DWORD>(std::wcstoul(argv[2], nullptr, 10));
  stopRequested.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  wchar_t name[] = L"";
  SERVICE_TABLE_ENTRYW table[] = {{name, ServiceMain}, {nullptr, nullptr}};
  return ::StartServiceCtrlDispatcherW(table) ? 0 : 1;
}
