// Scenario "service-running": a family service (a real service program in its own process, its
// binary in the family folder) running when the tool runs. Afterwards the service is gone, its
// process has ended and its binary is gone or scheduled for deletion at restart.
#include <windows.h>

#include "base/UniqueHandle.h"
#include "tests/kit/scenarios/Plant.h"
#include "tests/kit/scenarios/ScenarioList.h"
#include "tests/support/PendingRenames.h"

namespace QvKit {

namespace {

SERVICE_STATUS_PROCESS Status(SC_HANDLE service) {
  SERVICE_STATUS_PROCESS status{};
  DWORD needed = 0;
  ::QueryServiceStatusEx(service, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status), sizeof(status),
                         &needed);
  return status;
}

// Ends and deletes the family service if it exists; for the clean-up and for a left-over of an
// earlier run.
void RemoveService() {
  UniqueServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
  UniqueServiceHandle service(manager ? ::OpenServiceW(manager.get(), kFamilyService, SERVICE_ALL_ACCESS)
                                      : nullptr);
  if (!service) return;
  if (const DWORD processId = Status(service.get()).dwProcessId; processId != 0) {
    UniqueHandle process(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, processId));
    if (process && ::TerminateProcess(process.get(), 1)) ::WaitForSingleObject(process.get(), 10000);
  }
  ::DeleteService(service.get());
}

}  // namespace

Result RunServiceRunning(Kit& kit) {
  const std::wstring source = kit.KitFolder() + L"\\test_service.exe";
  const std::wstring family = FamilyFolder();
  const std::wstring binary = family + L"\\KitProbeService.exe";
  const QvTest::PendingRenames restartSchedule;
  struct CleanUp {
    std::wstring family;
    ~CleanUp() {
      RemoveService();
      RemoveTree(family);
    }
  } cleanUp{family};
  RemoveService();

  if (!MakeFolders(family) || !::CopyFileW(source.c_str(), binary.c_str(), FALSE))
    return Fail(ApiError(L"copying the service program into the family folder"));
  UniqueHandle process;
  {
    UniqueServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager) return Fail(ApiError(L"OpenSCManagerW"));
    const std::wstring command = L"\"" + binary + L"\" stops";
    UniqueServiceHandle service(::CreateServiceW(manager.get(), kFamilyService, L"Quorvel KitProbe",
                                                 SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                                                 SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, command.c_str(),
                                                 nullptr, nullptr, nullptr, nullptr, nullptr));
    if (!service) return Fail(ApiError(L"CreateServiceW"));
    if (!::StartServiceW(service.get(), 0, nullptr)) return Fail(ApiError(L"StartServiceW"));
    for (int i = 0; i < 100 && Status(service.get()).dwCurrentState != SERVICE_RUNNING; ++i) ::Sleep(100);
    const SERVICE_STATUS_PROCESS status = Status(service.get());
    if (status.dwCurrentState != SERVICE_RUNNING)
      return Fail(L"the service did not come up (state " + std::to_wstring(status.dwCurrentState) + L")");
    process.reset(::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, status.dwProcessId));
    if (!process) return Fail(ApiError(L"OpenProcess(the service's process)"));
    kit.Note(L"service " + std::wstring(kFamilyService) + L" runs '" + binary + L"' as process " +
             std::to_wstring(status.dwProcessId));
  }  // The kit's own service handles are closed: the last one would keep a deleted service alive.

  const std::optional<std::wstring> before = QvTest::PendingRenames::Read();
  const ToolRun run = kit.RunTool(L"--silent --products kitprobe");
  const std::vector<std::wstring> scheduled = AddedRestartEntries(before, QvTest::PendingRenames::Read());

  std::wstring problems;
  {
    UniqueServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    UniqueServiceHandle service(manager ? ::OpenServiceW(manager.get(), kFamilyService, SERVICE_QUERY_STATUS)
                                        : nullptr);
    if (service)
      problems += L"the service is still registered; ";
    else if (::GetLastError() != ERROR_SERVICE_DOES_NOT_EXIST)
      problems += ApiError(L"OpenServiceW after the run") + L"; ";
  }
  if (::WaitForSingleObject(process.get(), 10000) != WAIT_OBJECT_0)
    problems += L"the service's process runs on; ";
  const bool binaryLeft = Exists(binary);
  if (binaryLeft && !Schedules(scheduled, binary))
    problems += L"the service binary is left and not scheduled; ";
  problems += ExitProblem(run, binaryLeft ? 99 : 0);
  if (!problems.empty()) return Fail(problems);
  kit.Note(binaryLeft
               ? L"the service and its process are gone; the binary is scheduled for deletion at restart"
               : L"the service, its process and its binary are gone");
  return Pass();
}

}  // namespace QvKit
