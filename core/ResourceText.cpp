// Parsing of the localised resource format and the language matching rules (no Windows calls).
#include "core/ResourceText.h"

#include <algorithm>

namespace BrelResLib {
namespace {

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

void Add(TextTable& table, std::string_view key, std::string_view language, std::string_view text) {
  // try_emplace keeps what is there: the first text for a key and language wins.
  table[std::string(key)].try_emplace(std::string(language), text);
}

void ParseRecord(TextTable& table, std::string_view record) {
  const size_t keyEnd = record.find(FieldEnd);
  if (keyEnd == std::string_view::npos) return;
  const size_t separator = record.find(ValueSeparator);
  if (separator < keyEnd) {
    // Non-localised: key, 0x03, value, 0x02.
    Add(table, record.substr(0, separator), {}, record.substr(separator + 1, keyEnd - separator - 1));
    return;
  }
  const std::string_view key = record.substr(0, keyEnd);
  std::string_view rest = record.substr(keyEnd + 1);
  for (size_t end; (end = rest.find(FieldEnd)) != std::string_view::npos; rest.remove_prefix(end + 1)) {
    const std::string_view field = rest.substr(0, end);
    const size_t split = field.find(ValueSeparator);
    if (split == std::string_view::npos) continue;
    Add(table, key, field.substr(0, split), field.substr(split + 1));
  }
}

}  // namespace

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [](char x, char y) { return LowerAscii(x) == LowerAscii(y); });
}

bool KeyLess::operator()(std::string_view a, std::string_view b) const {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return static_cast<unsigned char>(LowerAscii(x)) < static_cast<unsigned char>(LowerAscii(y));
  });
}

TextTable ParseResourceText(std::string_view text) {
  TextTable table;
  // Whatever follows the last 0x01 is an unterminated record and is ignored.
  for (size_t end; (end = text.find(RecordEnd)) != std::string_view::npos; text.remove_prefix(end + 1))
    ParseRecord(table, text.substr(0, end));
  return table;
}

std::string MatchLanguage(const std::set<std::string>& available, std::string_view code) {
  if (code.empty()) return {};
  for (const std::string& candidate : available)
    if (EqualsIgnoringAsciiCase(candidate, code)) return candidate;
  return {};
}

std::string ChooseAutomaticLanguage(const std::set<std::string>& available, std::string_view iso639,
                                    std::string_view iso3166) {
  const std::string candidates[] = {std::string(iso639) + "-" + std::string(iso3166), std::string(iso639),
                                    std::string(iso3166), "en"};
  for (const std::string& candidate : candidates) {
    std::string match = MatchLanguage(available, candidate);
    if (!match.empty()) return match;
  }
  return available.empty() ? std::string() : *available.begin();
}

}  // namespace BrelResLib
