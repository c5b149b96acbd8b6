// Level marks, tag shortening and the exact texts of lines and banners.
#include "logging/LogLine.h"

#include <stdio.h>

namespace QvBrelLogging {

namespace {

// Right-aligned decimal with leading zeros up to `width` digits (more digits when needed).
void AppendDecimal(std::string& out, unsigned long value, int width) {
  char digits[24];
  int count = 0;
  do {
    digits[count++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  for (int i = count; i < width; ++i) out.push_back('0');
  while (count > 0) out.push_back(digits[--count]);
}

// Lower-case hexadecimal with at least four digits.
void AppendHex4(std::string& out, unsigned long value) {
  static constexpr char kHex[] = "0123456789abcdef";
  char digits[24];
  int count = 0;
  do {
    digits[count++] = kHex[value & 0xF];
    value >>= 4;
  } while (value != 0);
  for (int i = count; i < 4; ++i) out.push_back('0');
  while (count > 0) out.push_back(digits[--count]);
}

}  // namespace

const char* LevelMarkText(int level) {
  switch (level) {
    case 1:
      return "*F";
    case 2:
      return "*E";
    case 3:
      return ".W";
    case 4:
      return " I";
    case 5:
      return " D";
    case 6:
      return " V";
    default:
      return "  ";
  }
}

std::string NormalizeTag(const char* tag) {
  if (tag == nullptr || *tag == '\0') return {};
  std::string_view text(tag);
  // The name an unnamed namespace gets from compilers that decorate it this way.
  constexpr std::string_view kAnonymous = "`anonymous-namespace'";
  if (text.size() >= kAnonymous.size() && text.starts_with(kAnonymous)) text.remove_prefix(kAnonymous.size());
  std::string result(text);
  // "Run::<lambda_1>::operator ()" -> "Run::<lambda>".
  if (result.size() >= 3 && result.ends_with("()") && result.size() >= 8) {
    const std::size_t lambda = result.find("<lambda_");
    if (lambda != std::string::npos) {
      result.resize(lambda + 7);
      result.push_back('>');
    }
  }
  result += ": ";
  return result;
}

std::string ComposeLine(const LinePrefix& prefix, const char* mark, std::string_view tag,
                        std::string_view message) {
  std::string line;
  line.reserve(48 + tag.size() + message.size());
  AppendDecimal(line, prefix.year, 4);
  line.push_back('-');
  AppendDecimal(line, prefix.month, 2);
  line.push_back('-');
  AppendDecimal(line, prefix.day, 2);
  line.push_back(' ');
  AppendDecimal(line, prefix.hour, 2);
  line.push_back(':');
  AppendDecimal(line, prefix.minute, 2);
  line.push_back(':');
  AppendDecimal(line, prefix.second, 2);
  line.push_back('.');
  AppendDecimal(line, prefix.millisecond, 3);
  line += " [";
  AppendHex4(line, prefix.processId);
  line.push_back('.');
  AppendHex4(line, prefix.threadId);
  line += "] ";
  line += mark;
  line += ": ";
  line += tag;
  line += message;
  line += "\r\n";
  return line;
}

std::string StartBannerText(bool utcTimestamps, int offsetMinutes, unsigned long sessionId) {
  // Both parts truncate toward zero, so a negative offset shows its sign twice ("-3:-30").
  const int hours = offsetMinutes / 60;
  const int minutes = offsetMinutes % 60;
  char text[128];
  const int length =
      utcTimestamps
          ? _snprintf(text, sizeof(text),
                      "***  LOGGING STARTED  *** (UTC+00:00, local:%+02d:%02d, session: 0x%lx)", hours,
                      minutes, sessionId)
          : _snprintf(text, sizeof(text), "***  LOGGING STARTED  *** (UTC%+02d:%02d, session: 0x%lx)", hours,
                      minutes, sessionId);
  if (length < 0 || length >= static_cast<int>(sizeof(text))) return {};
  return std::string(text, static_cast<std::size_t>(length));
}

}  // namespace QvBrelLogging
