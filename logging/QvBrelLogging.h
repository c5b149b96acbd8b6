// Process-wide logging facade: free functions over the single logger, and the QV_BREL_LOG macro.
// Logging never fails towards the caller and never changes the thread's last-error value.
#pragma once

#include "logging/LogTag.h"

namespace QvBrelLogging {

enum Level : int {
  LevelFatal = 1,
  LevelError = 2,
  LevelWarning = 3,
  LevelInfo = 4,
  LevelDebug = 5,
  LevelVerbose = 6,
};

enum InitFlags : unsigned {
  FlagUnnamedMutex = 0x01,
  FlagBannersAtDebug = 0x02,
  FlagDeferredStart = 0x04,
  FlagUserSidInFileName = 0x08,
  FlagUtcTime = 0x10,
  FlagRestrictedDirectories = 0x20,
};

// A null namespace means none. A second initialisation while running is ignored.
void LogInit(const wchar_t* nameSpace, const wchar_t* component, const wchar_t* fileName, int level,
             unsigned flags);
void LogInit(const char* nameSpace, const char* component, const char* fileName, int level, unsigned flags);
void LogInit(const wchar_t* component, const wchar_t* fileName, int level, unsigned flags);

// Formats follow the Windows runtime's printf rules: in a wide format "%s" is wide and "%hs"
// narrow; in a narrow format "%s" is narrow and "%ls" wide.
void LogMessage(int level, const wchar_t* format, ...);
void LogMessage(int level, const char* format, ...);
void LogTagged(int level, const char* tag, const wchar_t* format, ...);
void LogTagged(int level, const char* tag, const char* format, ...);

bool LogIsEnabled(int level);
void LogUninit();
void LogFlush();

}  // namespace QvBrelLogging

// Tagged record with the enclosing function's qualified name, shortened at compile time.
#define QV_BREL_LOG(level, ...)                                                                 \
  do {                                                                                          \
    static constexpr auto qvLogTag_ = ::QvBrelLogging::Detail::MakeLogTag(__PRETTY_FUNCTION__); \
    ::QvBrelLogging::LogTagged((level), qvLogTag_.text, __VA_ARGS__);                           \
  } while (0)

// Short level names for call sites.
#define QV_FATAL ::QvBrelLogging::LevelFatal
#define QV_ERROR ::QvBrelLogging::LevelError
#define QV_WARNING ::QvBrelLogging::LevelWarning
#define QV_INFO ::QvBrelLogging::LevelInfo
#define QV_DEBUG ::QvBrelLogging::LevelDebug
#define QV_VERBOSE ::QvBrelLogging::LevelVerbose
