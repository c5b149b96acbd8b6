// Pure pieces of a log record: level marks, run-time tag shortening, the line and banner texts.
#pragma once

#include <string>
#include <string_view>

namespace QvBrelLogging {

// Broken-down time and ids that prefix every line.
struct LinePrefix {
  unsigned year = 0;
  unsigned month = 0;
  unsigned day = 0;
  unsigned hour = 0;
  unsigned minute = 0;
  unsigned second = 0;
  unsigned millisecond = 0;
  unsigned long processId = 0;
  unsigned long threadId = 0;
};

// Two characters: "*F", "*E", ".W", " I", " D", " V", or two blanks for any other level.
const char* LevelMarkText(int level);

// The tag as it appears in the line, ": " included; empty for a null or empty tag. Shortens the
// decorated names other compilers give to unnamed namespaces and lambdas.
std::string NormalizeTag(const char* tag);

// "YYYY-MM-DD hh:mm:ss.mmm [pppp.tttt] MK: tag: message\r\n"; `tag` as NormalizeTag gives it.
std::string ComposeLine(const LinePrefix& prefix, const char* mark, std::string_view tag,
                        std::string_view message);

// Start banner text; offsetMinutes is local time minus UTC.
std::string StartBannerText(bool utcTimestamps, int offsetMinutes, unsigned long sessionId);

}  // namespace QvBrelLogging
