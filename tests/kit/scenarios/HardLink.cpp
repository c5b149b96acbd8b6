// Scenario "hard-link": a second name of a canary file in the family folder. Both names share one
// security descriptor. The kit holds the file open without delete sharing, so the tool's plain
// deletion fails and it reaches its access repair: that must leave the shared owner and DACL alone
// (the entry has two names) and schedule the family name for deletion at restart instead.
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include "base/UniqueHandle.h"
#include "tests/kit/scenarios/Plant.h"
#include "tests/kit/scenarios/ScenarioList.h"
#include "tests/support/PendingRenames.h"

namespace QvKit {

namespace {

// The owner and DACL as SDDL, or empty when they cannot be read.
std::wstring OwnerAndDacl(const std::wstring& path) {
  constexpr SECURITY_INFORMATION what = OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (::GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, what, nullptr, nullptr, nullptr, nullptr,
                              &descriptor) != ERROR_SUCCESS)
    return {};
  UniqueLocalMem owner(descriptor);
  wchar_t* text = nullptr;
  if (!::ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor, SDDL_REVISION_1, what, &text,
                                                              nullptr))
    return {};
  UniqueLocalMem textOwner(text);
  return text;
}

DWORD LinkCount(const std::wstring& path) {
  UniqueFileHandle file(::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      OPEN_EXISTING, 0, nullptr));
  BY_HANDLE_FILE_INFORMATION info{};
  return file && ::GetFileInformationByHandle(file.get(), &info) ? info.nNumberOfLinks : 0;
}

}  // namespace

Result RunHardLink(Kit& kit) {
  const std::wstring family = FamilyFolder();
  const std::wstring name = family + L"\\shared.txt";
  CanaryFiles canary{CanaryFolder() + L"\\hard-link"};
  const std::wstring target = canary.folder + L"\\canary.txt";
  const QvTest::PendingRenames restartSchedule;
  UniqueFileHandle holder;
  struct CleanUp {
    std::wstring family;
    const CanaryFiles& canary;
    UniqueFileHandle& holder;
    ~CleanUp() {
      holder.reset();
      RemoveTree(family);
      canary.Remove();
    }
  } cleanUp{family, canary, holder};

  if (!MakeFolders(family) || !canary.Plant())
    return Fail(ApiError(L"planting the family folder and the canary"));
  if (!::CreateHardLinkW(name.c_str(), target.c_str(), nullptr))
    return CannotPlant(kit, ApiError(L"CreateHardLinkW(" + name + L")"));
  if (const DWORD links = LinkCount(target); links != 2)
    return CannotPlant(kit,
                       L"CreateHardLinkW succeeded but the canary has " + std::to_wstring(links) + L" names");
  // Read and write sharing only: a deletion of either name fails with a sharing violation.
  holder.reset(::CreateFileW(target.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_EXISTING, 0, nullptr));
  if (!holder) return Fail(ApiError(L"CreateFileW(" + target + L")"));
  const std::wstring security = OwnerAndDacl(target);
  if (security.empty()) return Fail(ApiError(L"GetNamedSecurityInfoW(" + target + L")"));
  kit.Note(L"planted '" + name + L"' as a second name of '" + target + L"', security " + security);

  const std::optional<std::wstring> scheduleBefore = QvTest::PendingRenames::Read();
  const ToolRun run = kit.RunTool(L"--silent --products kitprobe");
  const std::vector<std::wstring> scheduled =
      AddedRestartEntries(scheduleBefore, QvTest::PendingRenames::Read());

  std::wstring problems = canary.Damage();
  if (const std::wstring now = OwnerAndDacl(target); now != security)
    problems += L"the canary's owner and DACL changed to " + now + L"; ";
  if (!Schedules(scheduled, name)) problems += L"the family name is not scheduled for deletion at restart; ";
  if (Exists(family) && !Schedules(scheduled, family))
    problems += L"the family folder is left and not scheduled; ";
  if (!LogHas(run, L"Not repairing the access of '" + name + L"': it has 2 names"))
    problems += L"no record of the repair refused for the family name; ";
  problems += ExitProblem(run, 99);
  if (!problems.empty()) return Fail(problems);
  kit.Note(
      L"the repair was refused, the family name is scheduled for deletion at restart, the canary is "
      L"untouched");
  return Pass();
}

}  // namespace QvKit
