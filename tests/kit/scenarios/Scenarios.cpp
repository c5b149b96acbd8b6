// The scenarios, in run order.
#include "tests/kit/Scenario.h"

namespace QvKit {

const std::vector<Scenario>& Scenarios() {
  static const std::vector<Scenario> scenarios;
  return scenarios;
}

}  // namespace QvKit
