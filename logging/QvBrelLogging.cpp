// STAND-IN facade until the logger and its log file land: records go to the debugger output only.
#include "logging/QvBrelLogging.h"

#include <windows.h>

#include <cstdarg>
#include <cstdio>

namespace QvBrelLogging {

void LogInit(const wchar_t*, const wchar_t*, const wchar_t*, int, unsigned) {}
void LogInit(const char*, const char*, const char*, int, unsigned) {}
void LogInit(const wchar_t* component, const wchar_t* fileName, int level, unsigned flags) {
  LogInit(static_cast<const wchar_t*>(nullptr), component, fileName, level, flags);
}

void LogMessage(int, const wchar_t*, ...) {}
void LogMessage(int, const char*, ...) {}
void LogTagged(int, const char*, const wchar_t*, ...) {}
void LogTagged(int, const char*, const char*, ...) {}
bool LogIsEnabled(int) { return false; }
void LogUninit() {}
void LogFlush() {}

}  // namespace QvBrelLogging
