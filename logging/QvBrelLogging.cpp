// The process-wide logger and the free functions that reach it.
#include "logging/QvBrelLogging.h"

#include <cstdarg>

#include "logging/LogFolder.h"
#include "logging/Logger.h"

namespace QvBrelLogging {

namespace {

// Created on first use, destroyed at process exit (which writes the auto-close banner).
LoggerWin& TheLogger() {
  static LoggerWin logger;
  return logger;
}

}  // namespace

void LogInit(const wchar_t* nameSpace, const wchar_t* component, const wchar_t* fileName, int level,
             unsigned flags) {
  TheLogger().Init(nameSpace, component, fileName, level, flags);
}

void LogInit(const char* nameSpace, const char* component, const char* fileName, int level, unsigned flags) {
  TheLogger().Init(nameSpace, component, fileName, level, flags);
}

void LogInit(const wchar_t* component, const wchar_t* fileName, int level, unsigned flags) {
  TheLogger().Init(static_cast<const wchar_t*>(nullptr), component, fileName, level, flags);
}

void LogMessage(int level, const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  TheLogger().VLog(level, nullptr, format, args);
  va_end(args);
}

void LogMessage(int level, const char* format, ...) {
  va_list args;
  va_start(args, format);
  TheLogger().VLog(level, nullptr, format, args);
  va_end(args);
}

void LogTagged(int level, const char* tag, const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  TheLogger().VLog(level, tag, format, args);
  va_end(args);
}

void LogTagged(int level, const char* tag, const char* format, ...) {
  va_list args;
  va_start(args, format);
  TheLogger().VLog(level, tag, format, args);
  va_end(args);
}

bool LogIsEnabled(int level) { return TheLogger().IsEnabled(level); }

void LogUninit() { TheLogger().Uninit(); }

void LogFlush() { TheLogger().Flush(); }

bool PinBelowLogFolder(const std::wstring& relative, bool create, SECURITY_ATTRIBUTES* security,
                       LogFileIo::FolderPins& pins) {
  return TheLogger().PinBelowLogFolder(relative, create, security, pins);
}

std::wstring LogFolder() { return TheLogger().LogFolder(); }

}  // namespace QvBrelLogging
