// Where a started program's console output goes: nowhere (DummyProcessOutputRedirector) or, line by
// line, into the log (ProcessOutputLogger: a pipe as the child's standard output and error, read by
// a thread of its own).
#pragma once

#include <windows.h>

#include <atomic>
#include <string>

#include "base/UniqueHandle.h"
#include "logging/QvBrelLogging.h"

namespace Lua::Process {

class ProcessOutputRedirector {
 public:
  virtual ~ProcessOutputRedirector() = default;
  // Before the child is created; false (logged) when the child must not be started.
  virtual bool Init() = 0;
  // What to create the child with, or null for the defaults.
  virtual const STARTUPINFOW* GetStartupInfo() const = 0;
  // After the child was created.
  virtual void Run() = 0;
  // After the wait; `stopNow` when the child did not end (time-out or failed wait).
  virtual void Stop(bool stopNow) = 0;
};

class DummyProcessOutputRedirector final : public ProcessOutputRedirector {
 public:
  bool Init() override { return true; }
  const STARTUPINFOW* GetStartupInfo() const override { return nullptr; }
  void Run() override {}
  void Stop(bool) override {}
};

// Logs each non-empty output line at info level, untagged, as "[<log name>] <line>" (UTF-8 from the
// given code page). The reader never keeps Stop waiting: after a time-out at once, and after the
// child ended once a short drain has passed (a grandchild may keep the pipe's write end open), its
// pending read is cancelled.
class ProcessOutputLogger final : public ProcessOutputRedirector {
 public:
  ProcessOutputLogger(std::wstring logName, UINT codePage);
  ~ProcessOutputLogger() override;
  ProcessOutputLogger(const ProcessOutputLogger&) = delete;
  ProcessOutputLogger& operator=(const ProcessOutputLogger&) = delete;

  bool Init() override;
  const STARTUPINFOW* GetStartupInfo() const override { return &startupInfo_; }
  void Run() override;
  void Stop(bool stopNow) override;

  // How long a reader may go on draining after the child ended (capped by the run deadline).
  static constexpr DWORD kDrainMs = 2000;

 private:
  void Read(QvBrelLogging::LogSite site);
  void Emit(const std::string& line) const;
  void EndReader();

  std::wstring logName_;
  UINT codePage_;
  UniqueHandle readPipe_;
  UniqueHandle writePipe_;
  STARTUPINFOW startupInfo_ = {};
  UniqueHandle thread_;
  std::atomic<bool> stop_{false};
};

}  // namespace Lua::Process
