// Growing poll intervals within a time-out and the run's deadline.
#include "core/Poll.h"

#include "core/RunDeadline.h"

namespace QvPoll {

Poller::Poller(DWORD timeoutMs, DWORD longestIntervalMs)
    : started_(::GetTickCount64()),
      timeoutMs_(timeoutMs),
      longestMs_(longestIntervalMs == 0 ? 1 : longestIntervalMs) {}

bool Poller::Next() {
  DWORD sleepMs = intervalMs_;
  if (timeoutMs_ != INFINITE) {
    const ULONGLONG elapsed = ::GetTickCount64() - started_;
    if (elapsed >= timeoutMs_) return false;
    const ULONGLONG left = timeoutMs_ - elapsed;
    if (left < sleepMs) sleepMs = static_cast<DWORD>(left);
  }
  // Passed already: the wait ends now, as on its own time-out.
  sleepMs = RunDeadline::Instance().Cap(sleepMs);
  if (sleepMs == 0) return false;
  ::Sleep(sleepMs);
  intervalMs_ = intervalMs_ >= longestMs_ / 2 ? longestMs_ : intervalMs_ * 2;
  return true;
}

}  // namespace QvPoll
