// Logger base behaviour and the Win32 logger: filtering, formatting, banners, refresh.
#include "logging/Logger.h"

#include <stdio.h>

#include "base/LastErrorKeeper.h"
#include "base/Utf8.h"
#include "logging/LogLine.h"
#include "logging/QvBrelLogging.h"

namespace QvBrelLogging {

namespace {

constexpr std::size_t kFirstBufferChars = 2048;
constexpr std::size_t kLargeBufferChars = 65536;
constexpr std::uint64_t kRefreshIntervalMs = 60000;

// The runtime's printf rules, -1 when the text (and its terminator) does not fit.
int FormatInto(wchar_t* buffer, std::size_t size, const wchar_t* format, va_list args) {
  va_list copy;
  va_copy(copy, args);
  const int length = _vsnwprintf(buffer, size, format, copy);
  va_end(copy);
  return length < 0 || static_cast<std::size_t>(length) >= size ? -1 : length;
}

int FormatInto(char* buffer, std::size_t size, const char* format, va_list args) {
  va_list copy;
  va_copy(copy, args);
  const int length = _vsnprintf(buffer, size, format, copy);
  va_end(copy);
  return length < 0 || static_cast<std::size_t>(length) >= size ? -1 : length;
}

std::string ToMessage(std::wstring_view text) { return QvText::ToUtf8(text); }
std::string ToMessage(std::string_view text) { return std::string(text); }

// Formats into 2048 characters, retrying once with 65536; false when even that is too small.
template <typename Char>
bool FormatMessageText(const Char* format, va_list args, std::string& message) {
  Char first[kFirstBufferChars];
  int length = FormatInto(first, kFirstBufferChars, format, args);
  if (length >= 0) {
    message = ToMessage(std::basic_string_view<Char>(first, static_cast<std::size_t>(length)));
    return true;
  }
  const std::unique_ptr<Char[]> large(new Char[kLargeBufferChars]);
  length = FormatInto(large.get(), kLargeBufferChars, format, args);
  if (length < 0) return false;
  message = ToMessage(std::basic_string_view<Char>(large.get(), static_cast<std::size_t>(length)));
  return true;
}

void ReadClock(bool utc, SYSTEMTIME& time) {
  if (utc)
    ::GetSystemTime(&time);
  else
    ::GetLocalTime(&time);
}

std::wstring Utf8OrEmpty(const char* text) { return text ? QvText::FromUtf8(text) : std::wstring(); }

}  // namespace

int UtcOffsetMinutes(DWORD zoneId, const TIME_ZONE_INFORMATION& zone) {
  switch (zoneId) {
    case TIME_ZONE_ID_INVALID:
      return 3599;
    case TIME_ZONE_ID_DAYLIGHT:
      return -(zone.Bias + zone.DaylightBias);
    default:
      return -(zone.Bias + zone.StandardBias);
  }
}

// ---- Logger -------------------------------------------------------------------------------------

Logger::~Logger() = default;

bool Logger::IsEnabled(int level) { return !IsDisabled(level); }

bool Logger::IsDisabled(int level) { return level > level_.load(std::memory_order_relaxed); }

const char* Logger::LevelMark(int level) { return LevelMarkText(level); }

int Logger::BannerLevel() { return LevelInfo; }

void Logger::Log(int level, const char* format, ...) {
  va_list args;
  va_start(args, format);
  VLog(level, nullptr, format, args);
  va_end(args);
}

void Logger::Log(int level, const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  VLog(level, nullptr, format, args);
  va_end(args);
}

// ---- LoggerWin ----------------------------------------------------------------------------------

LoggerWin::~LoggerWin() {
  LastErrorKeeper keepError;
  Log(BannerLevel(), "***  LOG AUTO-CLOSED ***");
  std::lock_guard lock(mutex_);
  context_.reset();
}

void LoggerWin::Init(const char* nameSpace, const char* component, const char* fileName, int level,
                     unsigned flags) {
  LastErrorKeeper keepError;
  const std::wstring wideNameSpace = Utf8OrEmpty(nameSpace);
  const std::wstring wideComponent = Utf8OrEmpty(component);
  const std::wstring wideFileName = Utf8OrEmpty(fileName);
  Init(wideNameSpace.c_str(), wideComponent.c_str(), wideFileName.c_str(), level, flags);
}

void LoggerWin::Init(const wchar_t* nameSpace, const wchar_t* component, const wchar_t* fileName, int level,
                     unsigned flags) {
  LastErrorKeeper keepError;
  const std::wstring nameSpaceText = nameSpace ? nameSpace : L"";
  const std::wstring componentText = component ? component : L"";
  const std::wstring fileNameText = fileName ? fileName : L"";

  std::unique_lock lock(mutex_);
  if (context_) return;
  flags_.store(flags);
  context_ = CreateContext(nameSpaceText, componentText, fileNameText, level, flags);
  if (flags & FlagDeferredStart) {
    // Nothing touches the disk until the first level check refreshes.
    level_.store(LevelVerbose);
    debugOutput_.store(false);
    lastRefresh_.store(0);
    return;
  }
  level_.store(level);
  Refresh(lock);
}

std::unique_ptr<FileContext> LoggerWin::CreateContext(const std::wstring& nameSpace,
                                                      const std::wstring& component,
                                                      const std::wstring& fileName, int level,
                                                      unsigned flags) {
  return std::make_unique<FileContext>(std::make_unique<LogFileIo::Path>(), nameSpace, component, fileName,
                                       level, flags);
}

void LoggerWin::Uninit() {
  LastErrorKeeper keepError;
  Log(BannerLevel(), "***  LOGGING ENDED  ***");
  std::lock_guard lock(mutex_);
  context_.reset();
  lastRefresh_.store(0);
}

void LoggerWin::Flush() {
  LastErrorKeeper keepError;
  std::lock_guard lock(mutex_);
  if (context_) context_->Flush();
}

bool LoggerWin::RefreshDue() const {
  const std::uint64_t last = lastRefresh_.load();
  return last == 0 || ::GetTickCount64() - last > kRefreshIntervalMs;
}

bool LoggerWin::IsDisabled(int level) {
  if (RefreshDue()) {
    LastErrorKeeper keepError;
    std::unique_lock lock(mutex_);
    // Another thread may have refreshed while this one waited for the lock.
    if (RefreshDue()) Refresh(lock);
  }
  return Logger::IsDisabled(level);
}

bool LoggerWin::PinBelowLogFolder(const std::wstring& relative, bool create, SECURITY_ATTRIBUTES* security,
                                  LogFileIo::FolderPins& pins) {
  LastErrorKeeper keepError;
  std::lock_guard lock(mutex_);
  return context_ && context_->PinBelowLogFolder(relative, create, security, pins);
}

std::wstring LoggerWin::LogFolder() {
  std::lock_guard lock(mutex_);
  if (!context_) return {};
  const std::wstring& base = context_->GetBasePath();
  const std::size_t separator = base.rfind(L'\\');
  return separator == std::wstring::npos ? std::wstring() : base.substr(0, separator);
}

int LoggerWin::BannerLevel() { return (flags_.load() & FlagBannersAtDebug) ? LevelDebug : LevelInfo; }

void LoggerWin::Refresh(std::unique_lock<std::mutex>& lock) {
  bool resolvedNow = false;
  if (context_) {
    resolvedNow = context_->Initialize();
    level_.store(context_->GetLevel());
    DWORD debugOutput = 0;
    Platform::ReadLoggingDword(L"DebugOutputLogging", debugOutput);
    debugOutput_.store(debugOutput != 0);
  }
  // 0 stands for "never", so a tick count of 0 is stored as 1.
  lastRefresh_.store(std::max<std::uint64_t>(::GetTickCount64(), 1));
  if (resolvedNow) {
    lock.unlock();
    WriteStartBanner();
  }
}

void LoggerWin::WriteStartBanner() {
  const int level = BannerLevel();
  if (IsDisabled(level)) return;
  DWORD sessionId = 0;
  if (!::ProcessIdToSessionId(::GetCurrentProcessId(), &sessionId)) sessionId = 0xdeadbeef;
  TIME_ZONE_INFORMATION zone{};
  const DWORD zoneId = ::GetTimeZoneInformation(&zone);
  const std::string banner =
      StartBannerText((flags_.load() & FlagUtcTime) != 0, UtcOffsetMinutes(zoneId, zone), sessionId);
  {
    // An empty line separates runs in the file.
    std::lock_guard lock(mutex_);
    if (context_) context_->Write("\r\n");
  }
  Log(level, "%s", banner.c_str());
}

void LoggerWin::VLog(int level, const char* tag, const wchar_t* format, va_list args) {
  LastErrorKeeper keepError;
  if (IsDisabled(level)) return;
  SYSTEMTIME time;
  ReadClock((flags_.load() & FlagUtcTime) != 0, time);
  std::string message;
  if (!FormatMessageText(format ? format : L"", args, message)) {
    Log(LevelError, L"QV_BREL_LOG failure: too large message. Format: %ls", format);
    return;
  }
  WriteRecord(level, tag, message, time);
}

void LoggerWin::VLog(int level, const char* tag, const char* format, va_list args) {
  LastErrorKeeper keepError;
  if (IsDisabled(level)) return;
  SYSTEMTIME time;
  ReadClock((flags_.load() & FlagUtcTime) != 0, time);
  std::string message;
  if (!FormatMessageText(format ? format : "", args, message)) {
    Log(LevelError, "QV_BREL_LOG failure: too large message. Format: %hs", format);
    return;
  }
  WriteRecord(level, tag, message, time);
}

void LoggerWin::WriteRecord(int level, const char* tag, const std::string& message, const SYSTEMTIME& time) {
  LinePrefix prefix;
  prefix.year = time.wYear;
  prefix.month = time.wMonth;
  prefix.day = time.wDay;
  prefix.hour = time.wHour;
  prefix.minute = time.wMinute;
  prefix.second = time.wSecond;
  prefix.millisecond = time.wMilliseconds;
  prefix.processId = ::GetCurrentProcessId();
  prefix.threadId = ::GetCurrentThreadId();
  const std::string line = ComposeLine(prefix, LevelMark(level), NormalizeTag(tag), message);
  if (line.empty()) return;
  if (debugOutput_.load()) ::OutputDebugStringA(line.c_str());
  std::lock_guard lock(mutex_);
  if (context_) context_->Write(line);
}

}  // namespace QvBrelLogging
