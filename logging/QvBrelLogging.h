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

namespace QvBrelLogging {

// Where a record is asked for: the tag of a function, captured where QV_LOG_SITE is written. A
// shared helper that takes one logs under the name of the function it works for.
struct LogSite {
  const char* tag;
};

namespace Detail {
template <auto Tag>
inline constexpr auto kTagOf = Tag;
}  // namespace Detail

}  // namespace QvBrelLogging

// The enclosing function's tag as a LogSite, for a helper that logs on its behalf.
#define QV_LOG_SITE          \
  (::QvBrelLogging::LogSite{ \
      ::QvBrelLogging::Detail::kTagOf<::QvBrelLogging::Detail::MakeLogTag(__PRETTY_FUNCTION__)>.text})

// Tagged record with the enclosing function's qualified name, shortened at compile time.
#define QV_BREL_LOG(level, ...) QV_BREL_LOG_AT(QV_LOG_SITE, level, __VA_ARGS__)

// Tagged record under the tag of `site` (a LogSite the caller captured).
#define QV_BREL_LOG_AT(site, level, ...) ::QvBrelLogging::LogTagged((level), (site).tag, __VA_ARGS__)

// Short level names for call sites.
#define QV_FATAL ::QvBrelLogging::LevelFatal
#define QV_ERROR ::QvBrelLogging::LevelError
#define QV_WARNING ::QvBrelLogging::LevelWarning
#define QV_INFO ::QvBrelLogging::LevelInfo
#define QV_DEBUG ::QvBrelLogging::LevelDebug
#define QV_VERBOSE ::QvBrelLogging::LevelVerbose
