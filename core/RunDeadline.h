// The run's deadline (--deadline): none unless started. Script calls end at the next hook tick once
// it has passed, and every wait inside a native call is capped by the time left.
#pragma once

#include <windows.h>

#include <atomic>

class RunDeadline {
 public:
  static RunDeadline& Instance();

  // From now on the run has this many minutes.
  void Start(unsigned minutes);
  // Forgets the deadline (tests).
  void Clear();
  bool IsSet() const { return endTick_.load() != 0; }
  unsigned Minutes() const { return minutes_.load(); }
  bool Passed() const;
  // Milliseconds left (INFINITE without a deadline, 0 once it has passed).
  DWORD RemainingMs() const;
  // A wait of waitMs capped by the time left; INFINITE stays INFINITE only without a deadline.
  DWORD Cap(DWORD waitMs) const;

 private:
  RunDeadline() = default;
  std::atomic<ULONGLONG> endTick_{0};
  std::atomic<unsigned> minutes_{0};
};
