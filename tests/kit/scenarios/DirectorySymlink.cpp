// Scenario "directory-symlink": a directory symbolic link in the family folder points at a canary
// folder with files.
#include "tests/kit/scenarios/LinkPlant.h"
#include "tests/kit/scenarios/ScenarioList.h"

namespace QvKit {

namespace {
std::wstring MakeDirectoryLink(const std::wstring& link, const std::wstring& target) {
  return MakeSymbolicLink(link, target, true);
}
}  // namespace

Result RunDirectorySymlink(Kit& kit) {
  return RunFolderLinkScenario(kit, L"symlink-target", MakeDirectoryLink, L"CreateSymbolicLinkW",
                               IO_REPARSE_TAG_SYMLINK);
}

}  // namespace QvKit
