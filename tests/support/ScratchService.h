// A real service for a test: the helper program test_service (tests/helpers) registered under a
// unique name with the behaviour its arguments choose, demand start. At the end its process is
// ended if it still runs and the service is deleted (nothing happens when the test removed it).
#pragma once

#include <windows.h>

#include <string>

#include "base/UniqueHandle.h"
#include "tests/support/ChildProcess.h"

namespace QvTest {

class ScratchService {
 public:
  explicit ScratchService(std::wstring_view arguments) {
    static LONG counter = 0;
    name_ = L"QvTestService" + std::to_wstring(::GetCurrentProcessId()) + L"_" +
            std::to_wstring(::InterlockedIncrement(&counter));
    UniqueServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager) return;
    UniqueServiceHandle service(::CreateServiceW(
        manager.get(), name_.c_str(), name_.c_str(), SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
        SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, HelperCommand(L"test_service", arguments).c_str(),
        nullptr, nullptr, nullptr, nullptr, nullptr));
    created_ = service.valid();
  }
  ScratchService(const ScratchService&) = delete;
  ScratchService& operator=(const ScratchService&) = delete;
  ~ScratchService() {
    UniqueServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    UniqueServiceHandle service(manager ? ::OpenServiceW(manager.get(), name_.c_str(), SERVICE_ALL_ACCESS)
                                        : nullptr);
    if (!service) return;
    const DWORD processId = Status().dwProcessId;
    if (processId != 0) {
      UniqueHandle process(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, processId));
      if (process && ::TerminateProcess(process.get(), 1)) ::WaitForSingleObject(process.get(), 10000);
    }
    ::DeleteService(service.get());
  }

  bool Created() const { return created_; }
  const std::wstring& Name() const { return name_; }
  std::string Utf8Name() const { return std::string(name_.begin(), name_.end()); }

  // The status as the service control manager reports it (zeroed when it cannot be read).
  SERVICE_STATUS_PROCESS Status() const {
    SERVICE_STATUS_PROCESS status = {};
    UniqueServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    UniqueServiceHandle service(manager ? ::OpenServiceW(manager.get(), name_.c_str(), SERVICE_QUERY_STATUS)
                                        : nullptr);
    DWORD needed = 0;
    if (service)
      ::QueryServiceStatusEx(service.get(), SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status),
                             sizeof(status), &needed);
    return status;
  }
  DWORD State() const { return Status().dwCurrentState; }

  // Starts it; true when the service control manager took the start (it may be start-pending).
  bool SendStart() const {
    UniqueServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    UniqueServiceHandle service(manager ? ::OpenServiceW(manager.get(), name_.c_str(), SERVICE_START)
                                        : nullptr);
    return service && ::StartServiceW(service.get(), 0, nullptr);
  }

  // Starts it and waits up to 10 s for it to run.
  bool StartRunning() const {
    if (!SendStart()) return false;
    for (int i = 0; i < 100 && State() != SERVICE_RUNNING; ++i) ::Sleep(100);
    return State() == SERVICE_RUNNING;
  }

  // Sends a stop control itself; true when the control was accepted.
  bool SendStop() const {
    UniqueServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    UniqueServiceHandle service(manager ? ::OpenServiceW(manager.get(), name_.c_str(), SERVICE_STOP)
                                        : nullptr);
    SERVICE_STATUS status = {};
    return service && ::ControlService(service.get(), SERVICE_CONTROL_STOP, &status);
  }

 private:
  std::wstring name_;
  bool created_ = false;
};

}  // namespace QvTest
