// The run's deadline set for a test: started with no minutes left, so it has passed at once, and
// cleared again at the end (a run without --deadline has none).
#pragma once

#include "core/RunDeadline.h"

namespace QvTest {

class PassedDeadline {
 public:
  PassedDeadline() { RunDeadline::Instance().Start(0); }
  ~PassedDeadline() { RunDeadline::Instance().Clear(); }
  PassedDeadline(const PassedDeadline&) = delete;
  PassedDeadline& operator=(const PassedDeadline&) = delete;
};

}  // namespace QvTest
