// Test helper: stands in for every program of the reference machine's products (copied under their
// names into the product folders). What it does depends on how it was started:
//   - by the service manager: runs as the service and stops on a stop control;
//   - with "--exit <code>": exits at once with that code (an uninstaller that fails or succeeds);
//   - otherwise: an idle user-session program that runs until it is terminated.
// A copy named like an uninstaller or setup program (…Uninstall.exe, …Setup.exe, uninstall.exe)
// started without arguments exits 1: a stand-in cannot uninstall anything, so it says it failed.
#include <windows.h>
#include <tlhelp32.h>

#include <cwchar>
#include <cwctype>
#include <string>

#include "base/UniqueHandle.h"

namespace {

SERVICE_STATUS_HANDLE statusHandle = nullptr;
UniqueHandle stopRequested;

void Report(DWORD state) {
  SERVICE_STATUS status = {};
  status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
  status.dwCurrentState = state;
  status.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP : 0;
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
  Report(SERVICE_RUNNING);
  ::WaitForSingleObject(stopRequested.get(), INFINITE);
  Report(SERVICE_STOPPED);
}

std::wstring OwnName() {
  wchar_t path[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring name = path;
  name = name.substr(name.find_last_of(L'\\') + 1);
  for (auto& c : name) c = static_cast<wchar_t>(std::towlower(c));
  return name;
}

// The service manager starts services itself; asking the dispatcher otherwise costs seconds.
bool StartedByServiceManager() {
  UniqueFileHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return false;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  DWORD parent = 0;
  std::wstring parentName;
  for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more;
       more = ::Process32NextW(snapshot.get(), &entry))
    if (entry.th32ProcessID == ::GetCurrentProcessId()) parent = entry.th32ParentProcessID;
  entry.dwSize = sizeof(entry);
  for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more;
       more = ::Process32NextW(snapshot.get(), &entry))
    if (entry.th32ProcessID == parent) parentName = entry.szExeFile;
  return _wcsicmp(parentName.c_str(), L"services.exe") == 0;
}

bool EndsWith(const std::wstring& text, const std::wstring& tail) {
  return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc == 3 && std::wcscmp(argv[1], L"--exit") == 0)
    return static_cast<int>(std::wcstoul(argv[2], nullptr, 0));
  stopRequested.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (StartedByServiceManager()) {
    wchar_t name[] = L"";
    SERVICE_TABLE_ENTRYW table[] = {{name, ServiceMain}, {nullptr, nullptr}};
    return ::StartServiceCtrlDispatcherW(table) ? 0 : 1;
  }
  const std::wstring own = OwnName();
  if (EndsWith(own, L"uninstall.exe") || EndsWith(own, L"setup.exe")) return 1;
  ::WaitForSingleObject(stopRequested.get(), INFINITE);
  return 0;
}
