// Scenario "registry-link-hkcu": a registry link below the family branch in HKCU points at a canary
// key in the same hive.
#include "tests/kit/scenarios/Plant.h"
#include "tests/kit/scenarios/RegistryLinkPlant.h"
#include "tests/kit/scenarios/ScenarioList.h"

namespace QvKit {

Result RunRegistryLinkHkcu(Kit& kit) {
  const std::wstring hive = UserHiveNtPath();
  if (hive.empty()) return Fail(ApiError(L"reading the current user's SID"));
  return RunRegistryLinkScenario(
      kit, {HKEY_CURRENT_USER, 0, HKEY_CURRENT_USER, kCanaryBranch, hive + L"\\" + kCanaryBranch});
}

}  // namespace QvKit
