// The kit's scenarios, one per file; Scenarios.cpp lists them in run order.
#pragma once

#include "tests/kit/Scenario.h"

namespace QvKit {

Result RunJunction(Kit& kit);
Result RunDirectorySymlink(Kit& kit);
Result RunFileSymlink(Kit& kit);
Result RunHardLink(Kit& kit);
Result RunRegistryLinkHkcu(Kit& kit);
Result RunRegistryLinkWow64(Kit& kit);
Result RunDllInUse(Kit& kit);
Result RunServiceRunning(Kit& kit);
Result RunDpiChange(Kit& kit);

}  // namespace QvKit
