// Scenario "file-symlink": a file symbolic link in the family folder points at a canary file.
#include <windows.h>

#include "tests/kit/scenarios/LinkPlant.h"
#include "tests/kit/scenarios/Plant.h"
#include "tests/kit/scenarios/ScenarioList.h"
#include "tests/support/PendingRenames.h"

namespace QvKit {

Result RunFileSymlink(Kit& kit) {
  const std::wstring family = FamilyFolder();
  const std::wstring link = family + L"\\linked.txt";
  CanaryFiles canary{CanaryFolder() + L"\\file-symlink"};
  const std::wstring target = canary.folder + L"\\canary.txt";
  const QvTest::PendingRenames restartSchedule;
  struct CleanUp {
    std::wstring family;
    const CanaryFiles& canary;
    ~CleanUp() {
      RemoveTree(family);
      canary.Remove();
    }
  } cleanUp{family, canary};

  if (!MakeFolders(family) || !canary.Plant())
    return Fail(ApiError(L"planting the family folder and the canary"));
  if (std::wstring error = MakeSymbolicLink(link, target, false); !error.empty())
    return CannotPlant(kit, error);
  if (std::wstring made = CheckReparseTag(link, IO_REPARSE_TAG_SYMLINK); !made.empty())
    return CannotPlant(kit, L"CreateSymbolicLinkW succeeded but " + made);
  kit.Note(L"planted '" + link + L"' -> '" + target + L"'");

  const ToolRun run = kit.RunTool(L"--silent --products kitprobe");
  std::wstring problems = canary.Damage();
  if (Exists(link)) problems += L"the link is still there; ";
  if (Exists(family)) problems += L"the family folder is still there; ";
  problems += ExitProblem(run, 0);
  if (!problems.empty()) return Fail(problems);
  kit.Note(L"the canary file kept its content; the link and the family folder are gone");
  return Pass();
}

}  // namespace QvKit
