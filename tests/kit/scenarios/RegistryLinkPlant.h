// The run of a registry-link scenario: below the family branch a key that is a registry link to a
// canary key with values; afterwards the canary intact and the family branch gone.
#pragma once

#include <windows.h>

#include <string>

#include "tests/kit/Scenario.h"

namespace QvKit {

struct RegistryLinkPlace {
  HKEY familyRoot;
  REGSAM familyView;  // 0 or KEY_WOW64_32KEY
  HKEY canaryRoot;
  std::wstring canaryBranch;
  std::wstring canaryNtPath;  // the canary key as the link names it
};

Result RunRegistryLinkScenario(Kit& kit, const RegistryLinkPlace& place);

}  // namespace QvKit
