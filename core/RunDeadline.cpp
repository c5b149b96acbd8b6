// The run deadline on the tick counter.
#include "core/RunDeadline.h"

RunDeadline& RunDeadline::Instance() {
  static RunDeadline deadline;
  return deadline;
}

void RunDeadline::Start(unsigned minutes) {
  minutes_ = minutes;
  endTick_ = ::GetTickCount64() + static_cast<ULONGLONG>(minutes) * 60000ULL;
}

void RunDeadline::Clear() {
  endTick_ = 0;
  minutes_ = 0;
}

bool RunDeadline::Passed() const { return IsSet() && ::GetTickCount64() >= endTick_.load(); }

DWORD RunDeadline::RemainingMs() const {
  const ULONGLONG end = endTick_.load();
  if (end == 0) return INFINITE;
  const ULONGLONG now = ::GetTickCount64();
  if (now >= end) return 0;
  const ULONGLONG left = end - now;
  return left >= INFINITE ? INFINITE - 1 : static_cast<DWORD>(left);
}

DWORD RunDeadline::Cap(DWORD waitMs) const {
  const DWORD left = RemainingMs();
  return left < waitMs ? left : waitMs;
}
