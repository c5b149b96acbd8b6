// Waiting for a state that gives no handle to wait on (a service's state): ask at once, then again
// after 1, 2, 4, ... ms, doubling up to a longest interval, until the answer is yes or the time-out
// has passed. No sleep runs past the time-out, and the run's deadline cuts the wait short.
#pragma once

#include <windows.h>

namespace QvPoll {

// The intervals of one wait; the time-out and the run deadline count from construction.
class Poller {
 public:
  // `timeoutMs` INFINITE waits without limit (unless the run has a deadline).
  Poller(DWORD timeoutMs, DWORD longestIntervalMs);
  // Sleeps the next interval and answers true, or answers false at once when the time-out or the
  // run's deadline has passed (the caller asks one last time before that).
  bool Next();

 private:
  ULONGLONG started_;
  DWORD timeoutMs_;
  DWORD longestMs_;
  DWORD intervalMs_ = 1;
};

// Calls `ready` at once and after each interval; true as soon as it answers true, false when the
// wait ran out first.
template <typename Ready>
bool Until(DWORD timeoutMs, DWORD longestIntervalMs, Ready&& ready) {
  Poller poller(timeoutMs, longestIntervalMs);
  for (;;) {
    if (ready()) return true;
    if (!poller.Next()) return false;
  }
}

}  // namespace QvPoll
