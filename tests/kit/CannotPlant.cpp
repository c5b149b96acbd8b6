// Skipped under Wine, failed on Windows: the kit exists to show these conditions on Windows.
#include "tests/kit/Scenario.h"

namespace QvKit {

Result CannotPlant(const Kit& kit, const std::wstring& reason) {
  if (kit.UnderWine()) return {Outcome::Skipped, reason};
  return {Outcome::Fail, L"could not plant the condition on Windows: " + reason};
}

}  // namespace QvKit
