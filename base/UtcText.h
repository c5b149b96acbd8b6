// A moment as UTC text, in the two forms the tool writes: ISO 8601 for readers
// ("2026-12-09T15:16:02Z") and a compact stamp for names that sort by time ("20261209T151602Z").
// Empty for a time the system cannot convert.
#pragma once

#include <windows.h>

#include <string>

namespace QvText {

std::string IsoUtc(const FILETIME& time);
std::wstring UtcStamp(const FILETIME& time);

}  // namespace QvText
