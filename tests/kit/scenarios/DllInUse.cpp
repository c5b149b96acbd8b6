// Scenario "dll-in-use": a family DLL mapped by a running process outside the family (the kit
// itself). Windows refuses to delete a mapped image (access denied, not a sharing violation), so
// the tool must schedule the DLL for deletion at restart, leave the process running and schedule
// nothing outside the family folder.
#include <windows.h>

#include "base/UniqueHandle.h"
#include "tests/kit/scenarios/Plant.h"
#include "tests/kit/scenarios/ScenarioList.h"
#include "tests/support/PendingRenames.h"

namespace QvKit {

namespace {

constexpr wchar_t kTestDll[] = L"delayload_probe.dll";

}  // namespace

Result RunDllInUse(Kit& kit) {
  const std::wstring source = kit.KitFolder() + L"\\" + kTestDll;
  const std::wstring family = FamilyFolder();
  const std::wstring dll = family + L"\\KitProbeCore.dll";
  const std::wstring probe = kit.WorkFolder() + L"\\mapped-probe.dll";
  const QvTest::PendingRenames restartSchedule;
  UniqueModule probeModule;
  UniqueModule familyModule;
  struct CleanUp {
    UniqueModule& probeModule;
    UniqueModule& familyModule;
    std::wstring family, probe;
    ~CleanUp() {
      probeModule.reset();
      familyModule.reset();
      ::DeleteFileW(probe.c_str());
      RemoveTree(family);
    }
  } cleanUp{probeModule, familyModule, family, probe};

  // Whether this machine refuses to delete a mapped image at all: tried on a copy of our own.
  if (!::CopyFileW(source.c_str(), probe.c_str(), FALSE))
    return Fail(ApiError(L"CopyFileW(" + source + L")"));
  probeModule.reset(::LoadLibraryExW(probe.c_str(), nullptr, 0));
  if (!probeModule) return Fail(ApiError(L"LoadLibraryExW(" + probe + L")"));
  if (::DeleteFileW(probe.c_str()))
    return CannotPlant(kit,
                       L"DeleteFileW on a loaded DLL succeeded (error 0): a mapped image is not protected");
  if (const DWORD error = ::GetLastError(); error != ERROR_ACCESS_DENIED)
    return CannotPlant(kit, ApiError(L"DeleteFileW on a loaded DLL", error) + L", not access denied (5)");

  if (!MakeFolders(family) || !::CopyFileW(source.c_str(), dll.c_str(), FALSE))
    return Fail(ApiError(L"copying the DLL into the family folder"));
  familyModule.reset(::LoadLibraryExW(dll.c_str(), nullptr, 0));
  if (!familyModule) return Fail(ApiError(L"LoadLibraryExW(" + dll + L")"));
  kit.Note(L"loaded '" + dll + L"' into the kit's own process " + std::to_wstring(::GetCurrentProcessId()));

  const std::optional<std::wstring> before = QvTest::PendingRenames::Read();
  const ToolRun run = kit.RunTool(L"--silent --products kitprobe");
  const std::vector<std::wstring> scheduled = AddedRestartEntries(before, QvTest::PendingRenames::Read());

  // Reaching this line is the canary process surviving.
  std::wstring problems = ExitProblem(run, 99);
  if (Exists(dll) && !Schedules(scheduled, dll)) problems += L"the DLL is left and not scheduled; ";
  const std::wstring inside = Lowered(L"\\??\\" + family);
  for (const std::wstring& entry : scheduled) {
    const std::wstring lowered = Lowered(entry);
    if (lowered != inside && lowered.rfind(inside + L"\\", 0) != 0)
      problems += L"'" + entry + L"' is scheduled too; ";
  }
  // The schedule's own record is debug level, below the tool's default; the restart record names
  // the first file scheduled, which is the DLL, the folder's only file.
  if (!LogHas(run, L"Reboot is needed (" + dll + L")"))
    problems += L"no \"Reboot is needed\" record for the DLL; ";
  if (!LogHas(run, L"Exiting with code: 99")) problems += L"no record of the exit code 99; ";
  if (!problems.empty()) return Fail(problems);
  kit.Note(L"the DLL is scheduled for deletion at restart, the run ended with 99, the kit process lives on");
  return Pass();
}

}  // namespace QvKit
