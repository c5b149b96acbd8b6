// The localised resource format and the language matching rules.
#include "core/ResourceText.h"

#include <gtest/gtest.h>

namespace {

using BrelResLib::ChooseAutomaticLanguage;
using BrelResLib::LanguageTexts;
using BrelResLib::MatchLanguage;
using BrelResLib::ParseResourceText;
using BrelResLib::TextTable;

TEST(ResourceText, LocalisedAndPlainRecords) {
  const TextTable table = ParseResourceText(
      "Title\x02"
      "en\x03Hello\x02"
      "de\x03Hallo\x02\x01"
      "Notice\x03Plain value = with equals\x02\x01"
      "Utf\x02ja\x03\xE6\x97\xA5\xE6\x9C\xAC\x02\x01");
  ASSERT_EQ(3u, table.size());
  EXPECT_EQ((LanguageTexts{{"de", "Hallo"}, {"en", "Hello"}}), table.at("Title"));
  EXPECT_EQ((LanguageTexts{{"", "Plain value = with equals"}}), table.at("Notice"));
  EXPECT_EQ("\xE6\x97\xA5\xE6\x9C\xAC", table.at("Utf").at("ja"));
}

TEST(ResourceText, UnterminatedAndMalformedRecordsAreSkipped) {
  const TextTable table = ParseResourceText(
      "NoFieldEnd\x01"                 // no 0x02 at all
      "NoFieldEndEither\x03value\x01"  // a separator but no 0x02
      "\x01"                           // empty record
      "Good\x02"
      "en\x03yes\x02\x01"
      "Last\x02"
      "en\x03no final record end\x02");
  ASSERT_EQ(1u, table.size());
  EXPECT_EQ("yes", table.at("Good").at("en"));
}

TEST(ResourceText, FieldsWithoutSeparatorOrEndAreSkipped) {
  const TextTable table = ParseResourceText(
      "Key\x02"
      "en\x03one\x02"
      "garbage\x02"
      "de\x03zwei\x02"
      "fr\x03unterminated\x01");
  EXPECT_EQ((LanguageTexts{{"de", "zwei"}, {"en", "one"}}), table.at("Key"));
}

TEST(ResourceText, RepeatedKeysMergeAndTheFirstTextWins) {
  const TextTable table = ParseResourceText(
      "Key\x02"
      "en\x03"
      "first\x02"
      "en\x03second\x02\x01"
      "KEY\x02"
      "en\x03third\x02"
      "de\x03vier\x02\x01"
      "Plain\x03one\x02\x01"
      "plain\x03two\x02\x01");
  ASSERT_EQ(2u, table.size());
  EXPECT_EQ((LanguageTexts{{"de", "vier"}, {"en", "first"}}), table.at("key"));
  EXPECT_EQ("one", table.at("PLAIN").at(""));
}

TEST(ResourceText, SeparatorBeforeTheFirstFieldEndMakesAPlainRecord) {
  const TextTable table = ParseResourceText(
      "Key\x03value\x02"
      "en\x03ignored\x02\x01"
      "Empty\x02"
      "en\x03\x02\x01");
  EXPECT_EQ((LanguageTexts{{"", "value"}}), table.at("Key"));
  EXPECT_EQ((LanguageTexts{{"en", ""}}), table.at("Empty"));
}

TEST(ResourceText, EmptyInput) {
  EXPECT_TRUE(ParseResourceText("").empty());
  EXPECT_TRUE(ParseResourceText("\x01\x01\x01").empty());
  EXPECT_TRUE(ParseResourceText("just text").empty());
}

TEST(LanguageMatching, ExplicitCodesIgnoreCaseAndKeepTheTableSpelling) {
  const std::set<std::string> available = {"en", "fi", "pt-BR", "zh-TW"};
  EXPECT_EQ("fi", MatchLanguage(available, "FI"));
  EXPECT_EQ("pt-BR", MatchLanguage(available, "PT-br"));
  EXPECT_EQ("", MatchLanguage(available, "xx"));
  EXPECT_EQ("", MatchLanguage(available, "pt"));
  EXPECT_EQ("", MatchLanguage(available, ""));
}

TEST(LanguageMatching, AutomaticChoiceTriesLanguageCountryThenLanguageThenCountryThenEnglish) {
  const std::set<std::string> available = {"bg", "en", "es", "es-MX", "no", "pt", "pt-BR", "zh", "zh-TW"};
  EXPECT_EQ("pt-BR", ChooseAutomaticLanguage(available, "pt", "BR"));
  EXPECT_EQ("pt", ChooseAutomaticLanguage(available, "pt", "PT"));
  EXPECT_EQ("es-MX", ChooseAutomaticLanguage(available, "es", "MX"));
  EXPECT_EQ("es", ChooseAutomaticLanguage(available, "es", "AR"));
  EXPECT_EQ("zh", ChooseAutomaticLanguage(available, "zh", "CN"));
  EXPECT_EQ("no", ChooseAutomaticLanguage(available, "nb", "NO"));  // by country
  EXPECT_EQ("es", ChooseAutomaticLanguage(available, "ca", "ES"));  // by country
  EXPECT_EQ("en", ChooseAutomaticLanguage(available, "ca", "AD"));
  EXPECT_EQ("en", ChooseAutomaticLanguage(available, "", ""));
}

TEST(LanguageMatching, WithoutEnglishTheFirstCodeIsUsed) {
  EXPECT_EQ("bg", ChooseAutomaticLanguage({"de", "bg"}, "ca", "AD"));
  EXPECT_EQ("", ChooseAutomaticLanguage({}, "en", "US"));
}

}  // namespace
