// Test machinery: the one way to replace a seam (a call or a setting the program reads through a
// variable) for a scope. The old value comes back when the scope ends, also when an assertion
// leaves the test early.
#pragma once

#include <utility>

namespace QvTest {

template <typename T>
class SeamOverride {
 public:
  SeamOverride(T& slot, T replacement) : slot_(slot), saved_(slot) { slot_ = std::move(replacement); }
  SeamOverride(const SeamOverride&) = delete;
  SeamOverride& operator=(const SeamOverride&) = delete;
  ~SeamOverride() { slot_ = saved_; }

 private:
  T& slot_;
  T saved_;
};

}  // namespace QvTest
