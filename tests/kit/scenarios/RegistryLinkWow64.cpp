// Scenario "registry-link-wow64": a registry link below the family branch in the 32-bit view of
// HKLM points at a canary key in the 64-bit view.
#include "tests/kit/scenarios/Plant.h"
#include "tests/kit/scenarios/RegistryLinkPlant.h"
#include "tests/kit/scenarios/ScenarioList.h"

namespace QvKit {

Result RunRegistryLinkWow64(Kit& kit) {
  return RunRegistryLinkScenario(kit, {HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY, HKEY_LOCAL_MACHINE, kCanaryBranch,
                                       std::wstring(L"\\Registry\\Machine\\") + kCanaryBranch});
}

}  // namespace QvKit
