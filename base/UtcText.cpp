// UTC text of a file time, to the second.
#include "base/UtcText.h"

#include <cstdio>
#include <cwchar>

namespace QvText {

std::string IsoUtc(const FILETIME& time) {
  SYSTEMTIME utc{};
  if (!::FileTimeToSystemTime(&time, &utc)) return {};
  char text[32];
  std::snprintf(text, sizeof(text), "%04u-%02u-%02uT%02u:%02u:%02uZ", utc.wYear, utc.wMonth, utc.wDay,
                utc.wHour, utc.wMinute, utc.wSecond);
  return text;
}

std::wstring UtcStamp(const FILETIME& time) {
  SYSTEMTIME utc{};
  if (!::FileTimeToSystemTime(&time, &utc)) return {};
  wchar_t text[24];
  std::swprintf(text, 24, L"%04u%02u%02uT%02u%02u%02uZ", utc.wYear, utc.wMonth, utc.wDay, utc.wHour,
                utc.wMinute, utc.wSecond);
  return text;
}

}  // namespace QvText
