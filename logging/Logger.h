// The logger: level filter, record formatting, line composition, start and end banners, and the
// file context the lines go to. Every public operation keeps the caller's last-error value.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdarg>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "logging/FileContext.h"

namespace QvBrelLogging {

class Logger {
 public:
  Logger() = default;
  Logger(const Logger&) = delete;
  Logger& operator=(const Logger&) = delete;
  virtual ~Logger();

  // UTF-8 strings, converted and passed on to the UTF-16 form. A null namespace means none.
  virtual void Init(const char* nameSpace, const char* component, const char* fileName, int level,
                    unsigned flags) = 0;
  virtual void Init(const wchar_t* nameSpace, const wchar_t* component, const wchar_t* fileName, int level,
                    unsigned flags) = 0;
  virtual void Uninit() = 0;
  virtual void Flush() = 0;
  // `tag` may be null (an untagged record).
  virtual void VLog(int level, const char* tag, const wchar_t* format, va_list args) = 0;
  virtual void VLog(int level, const char* tag, const char* format, va_list args) = 0;
  virtual bool IsEnabled(int level);
  virtual bool IsDisabled(int level);
  virtual const char* LevelMark(int level);
  virtual int BannerLevel();
  virtual void Log(int level, const char* format, ...);
  virtual void Log(int level, const wchar_t* format, ...);

 protected:
  // Records with a level up to this one are written; 0 until initialised.
  std::atomic<int> level_{0};
};

class LoggerWin : public Logger {
 public:
  LoggerWin() = default;
  // Logs the auto-close banner (reaching the file only if the run was never ended).
  ~LoggerWin() override;

  void Init(const char* nameSpace, const char* component, const char* fileName, int level,
            unsigned flags) override;
  // A second initialisation while a file context exists changes nothing.
  void Init(const wchar_t* nameSpace, const wchar_t* component, const wchar_t* fileName, int level,
            unsigned flags) override;
  void Uninit() override;
  void Flush() override;
  void VLog(int level, const char* tag, const wchar_t* format, va_list args) override;
  void VLog(int level, const char* tag, const char* format, va_list args) override;
  // Refreshes level, size limit and debug output from the registry first when a minute has passed.
  bool IsDisabled(int level) override;
  int BannerLevel() override;
  // FileContextBase::PinBelowLogFolder of the context; false before initialisation.
  bool PinBelowLogFolder(const std::wstring& relative, bool create, SECURITY_ATTRIBUTES* security,
                         LogFileIo::FolderPins& pins);
  // The log folder, the folder of the base path; empty while unresolved.
  std::wstring LogFolder();
  virtual std::unique_ptr<FileContext> CreateContext(const std::wstring& nameSpace,
                                                     const std::wstring& component,
                                                     const std::wstring& fileName, int level, unsigned flags);

 private:
  bool RefreshDue() const;
  // Called with `lock` held; releases it before writing the start banner.
  void Refresh(std::unique_lock<std::mutex>& lock);
  void WriteStartBanner();
  void WriteRecord(int level, const char* tag, const std::string& message, const SYSTEMTIME& time);

  std::atomic<bool> debugOutput_{false};
  std::atomic<unsigned> flags_{0};
  std::mutex mutex_;
  std::unique_ptr<FileContext> context_;
  // GetTickCount64 of the last refresh; 0 means never.
  std::atomic<std::uint64_t> lastRefresh_{0};
};

// Local time minus UTC in minutes for what GetTimeZoneInformation returned; 3599 for an invalid zone.
int UtcOffsetMinutes(DWORD zoneId, const TIME_ZONE_INFORMATION& zone);

}  // namespace QvBrelLogging
