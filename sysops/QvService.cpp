// Service control through one opened service handle.
#include "sysops/QvService.h"

QvService::QvService(const std::wstring& name, bool readOnly) {
  const DWORD access = readOnly ? GENERIC_READ : GENERIC_ALL;
  UniqueServiceHandle manager(::OpenSCManagerW(nullptr, SERVICES_ACTIVE_DATABASEW, access));
  if (!manager) {
    lastError_ = ::GetLastError();
    return;
  }
  handle_.reset(::OpenServiceW(manager.get(), name.c_str(), access));
  if (!handle_) lastError_ = ::GetLastError();
}

int QvService::GetState() {
  SERVICE_STATUS_PROCESS status = {};
  DWORD needed = 0;
  if (!::QueryServiceStatusEx(handle_.get(), SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status),
                              sizeof(status), &needed)) {
    lastError_ = ::GetLastError();
    return -1;
  }
  return static_cast<int>(status.dwCurrentState);
}

bool QvService::Start(const std::vector<std::wstring>& arguments, DWORD timeoutMs) {
  std::vector<LPCWSTR> pointers;
  for (const std::wstring& argument : arguments) pointers.push_back(argument.c_str());
  if (!::StartServiceW(handle_.get(), static_cast<DWORD>(pointers.size()),
                       pointers.empty() ? nullptr : pointers.data())) {
    lastError_ = ::GetLastError();
    return lastError_ == ERROR_SERVICE_ALREADY_RUNNING;
  }
  const ULONGLONG started = ::GetTickCount64();
  int state = -1;
  while (::GetTickCount64() - started <= timeoutMs) {
    ::Sleep(200);
    state = GetState();
    if (state == SERVICE_RUNNING) break;
  }
  return state == SERVICE_RUNNING;
}
