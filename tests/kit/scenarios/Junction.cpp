// Scenario "junction": an NTFS junction in the family folder points at a canary folder with files.
#include "tests/kit/scenarios/LinkPlant.h"
#include "tests/kit/scenarios/ScenarioList.h"

namespace QvKit {

Result RunJunction(Kit& kit) {
  return RunFolderLinkScenario(kit, L"junction-target", MakeJunction,
                               L"DeviceIoControl(FSCTL_SET_REPARSE_POINT)", IO_REPARSE_TAG_MOUNT_POINT);
}

}  // namespace QvKit
