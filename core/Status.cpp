// Run-wide outcome flags, each operation atomic under one mutex.
#include "core/Status.h"

#include <utility>

#include "logging/QvBrelLogging.h"

Status& Status::Instance() {
  static Status instance;
  return instance;
}

void Status::Reset() {
  std::lock_guard lock(mutex_);
  rebootNeeded_ = false;
  failed_ = false;
  failures_ = 0;
}

void Status::SetFailed() {
  std::lock_guard lock(mutex_);
  failed_ = true;
  ++failures_;
}

void Status::SetRebootNeeded(const std::wstring& reason) {
  bool first = false;
  {
    std::lock_guard lock(mutex_);
    first = !std::exchange(rebootNeeded_, true);
  }
  // Logged outside the lock: the logger takes locks of its own.
  if (first) QV_BREL_LOG(QV_INFO, L"Reboot is needed (%ls)", reason.c_str());
}

bool Status::IsFailed() {
  std::lock_guard lock(mutex_);
  return failed_;
}

unsigned Status::FailureCount() {
  std::lock_guard lock(mutex_);
  return failures_;
}

bool Status::IsRebootNeeded() {
  std::lock_guard lock(mutex_);
  return rebootNeeded_;
}
