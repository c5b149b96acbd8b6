// Run-wide outcome of detection and removal: the failed and restart-needed flags.
#pragma once

#include <mutex>
#include <string>

class Status {
 public:
  static Status& Instance();

  void Reset();
  void SetFailed();
  // Logs "Reboot is needed (reason)" only for the first request of a run.
  void SetRebootNeeded(const std::wstring& reason);
  bool IsFailed();
  // How many times SetFailed was called since the last Reset: a product failed when its clean-up
  // raised it.
  unsigned FailureCount();
  bool IsRebootNeeded();

 private:
  Status() = default;
  std::mutex mutex_;
  bool rebootNeeded_ = false;
  bool failed_ = false;
  unsigned failures_ = 0;
};
