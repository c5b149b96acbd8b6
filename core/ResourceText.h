// The control-character format of the localised resources, and the language matching rules.
#pragma once

#include <map>
#include <set>
#include <string>
#include <string_view>

namespace BrelResLib {

// Record bytes: 0x01 ends a record, 0x02 ends a key or a field, 0x03 separates code and text.
constexpr char RecordEnd = '\x01';
constexpr char FieldEnd = '\x02';
constexpr char ValueSeparator = '\x03';

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b);

// Orders keys ignoring ASCII case, so "Title" and "TITLE" are one key.
struct KeyLess {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const;
};

// language code -> UTF-8 text; the empty code holds a non-localised value.
using LanguageTexts = std::map<std::string, std::string>;
using TextTable = std::map<std::string, LanguageTexts, KeyLess>;

// Malformed records and fields are skipped; repeated keys merge; the first text per language wins.
TextTable ParseResourceText(std::string_view text);

// The available code equal to `code` ignoring case, as written in the table; empty when none.
std::string MatchLanguage(const std::set<std::string>& available, std::string_view code);

// The code for a user whose UI language has these ISO 639 / ISO 3166 names: language-country,
// language, country, "en", else the first available code; empty when nothing is available.
std::string ChooseAutomaticLanguage(const std::set<std::string>& available, std::string_view iso639,
                                    std::string_view iso3166);

}  // namespace BrelResLib
