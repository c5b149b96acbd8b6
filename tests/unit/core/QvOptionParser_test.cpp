// Tokenising and option parsing of the command line.
#include "core/QvOptionParser.h"

#include <gtest/gtest.h>

namespace {

using Tokens = std::vector<std::wstring>;

Tokens Tokenize(const wchar_t* line, bool expectOpen = false) {
  bool open = !expectOpen;
  Tokens tokens = TokenizeCommandLine(line, open);
  EXPECT_EQ(open, expectOpen) << "quotes state of: " << testing::PrintToString(std::wstring(line));
  return tokens;
}

TEST(TokenizeCommandLine, QuotingRules) {
  EXPECT_EQ(Tokenize(L"a b  c"), (Tokens{L"a", L"b", L"c"}));
  EXPECT_EQ(Tokenize(L"\"\""), (Tokens{L""}));
  EXPECT_EQ(Tokenize(L"a \"\" b"), (Tokens{L"a", L"", L"b"}));
  EXPECT_EQ(Tokenize(L"\"a b\" c"), (Tokens{L"a b", L"c"}));
  // A quote right after a closing quote is literal.
  EXPECT_EQ(Tokenize(L"\"a\"\"b\""), (Tokens{L"a\"b"}));
  EXPECT_EQ(Tokenize(L"\"say \"\"hi\"\"\""), (Tokens{L"say \"hi\""}));
  // Mixed quoted and unquoted pieces make one token, quotes removed.
  EXPECT_EQ(Tokenize(L"/p=\"a b\",c x"), (Tokens{L"/p=a b,c", L"x"}));
  EXPECT_EQ(Tokenize(L"pre\"mid dle\"post"), (Tokens{L"premid dlepost"}));
  // Only the space separates; tabs are ordinary characters.
  EXPECT_EQ(Tokenize(L"a\tb c"), (Tokens{L"a\tb", L"c"}));
  EXPECT_EQ(Tokenize(L""), Tokens{});
  EXPECT_EQ(Tokenize(L"   "), Tokens{});
  EXPECT_EQ(Tokenize(L"a \"b c", true), (Tokens{L"a", L"b c"}));
}

class OptionParserTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(parser_.AddOption(OptionNoValue, L"testui", 0));
    ASSERT_TRUE(parser_.AddOption(OptionNoValue, L"help", L'h'));
    ASSERT_TRUE(parser_.AddOption(OptionNoValue, L"silent", L's'));
    ASSERT_TRUE(parser_.AddOption(OptionNoValue, L"restart", L'r'));
    ASSERT_TRUE(parser_.AddOption(OptionValueRequired, L"language", L'l'));
    ASSERT_TRUE(parser_.AddOption(OptionValueRequired, L"products", L'p'));
    ASSERT_TRUE(parser_.AddOption(OptionValueOptional, L"level", L'v'));
  }
  bool Line(const std::wstring& arguments) { return parser_.Parse((L"tool.exe " + arguments).c_str()); }

  QvOptionParser parser_;
};

TEST_F(OptionParserTest, RegistrationRefusesDuplicates) {
  EXPECT_FALSE(parser_.AddOption(OptionNoValue, L"SILENT", 0));
  EXPECT_FALSE(parser_.AddOption(OptionNoValue, L"other", L's'));
  EXPECT_TRUE(parser_.AddOption(OptionNoValue, L"other", L'S'));
  EXPECT_TRUE(parser_.AddOption(OptionNoValue, L"another", 0));  // several options without a short form
}

TEST_F(OptionParserTest, ShortLongAndSlashForms) {
  ASSERT_TRUE(Line(L"-s --RESTART /l=fi /products=a,b"));
  EXPECT_TRUE(parser_.IsSet(L"silent"));
  EXPECT_TRUE(parser_.IsSet(L"Restart"));
  EXPECT_EQ(parser_.GetValue(L"LANGUAGE"), L"fi");
  EXPECT_EQ(parser_.GetValue(L"products"), L"a,b");
  EXPECT_TRUE(parser_.HasValue(L"products"));
  EXPECT_FALSE(parser_.IsSet(L"help"));
  EXPECT_FALSE(parser_.IsSet(L"nonexistent"));
  EXPECT_EQ(parser_.GetValue(L"nonexistent"), L"");
  EXPECT_EQ(parser_.GetError(), L"");
}

TEST_F(OptionParserTest, SlashNamesMatchShortThenLong) {
  ASSERT_TRUE(parser_.AddOption(OptionNoValue, L"x", L'q'));
  ASSERT_TRUE(Line(L"/x /HELP /p=x"));
  EXPECT_TRUE(parser_.IsSet(L"x"));
  EXPECT_TRUE(parser_.IsSet(L"help"));
  EXPECT_EQ(parser_.GetValue(L"products"), L"x");
  QvOptionParser other;
  ASSERT_TRUE(other.AddOption(OptionValueRequired, L"products", L'p'));
  EXPECT_FALSE(other.Parse(L"tool.exe /P=x"));  // short characters keep their case
  EXPECT_EQ(other.GetError(), L"Unknown option: /P=x");
}

TEST_F(OptionParserTest, ValuesFollowTheirOption) {
  ASSERT_TRUE(Line(L"-l fi --products \"a b\" stray"));
  EXPECT_EQ(parser_.GetValue(L"language"), L"fi");
  EXPECT_EQ(parser_.GetValue(L"products"), L"a b");
  EXPECT_EQ(parser_.GetArguments(), (Tokens{L"stray"}));
}

TEST_F(OptionParserTest, OptionalValueMayBeMissing) {
  ASSERT_TRUE(Line(L"-v -s"));
  EXPECT_TRUE(parser_.IsSet(L"level"));
  EXPECT_FALSE(parser_.HasValue(L"level"));
  EXPECT_TRUE(parser_.IsSet(L"silent"));
}

TEST_F(OptionParserTest, GetValueAsIntUsesDecimalPrefix) {
  ASSERT_TRUE(Line(L"/v=42abc"));
  EXPECT_EQ(parser_.GetValueAsInt(L"level"), 42);
  EXPECT_EQ(parser_.GetValueAsInt(L"language"), 0);
}

struct BadLine {
  const wchar_t* arguments;
  const wchar_t* error;
};

class OptionParserErrors : public OptionParserTest, public testing::WithParamInterface<BadLine> {};

TEST_P(OptionParserErrors, FailWithExactText) {
  EXPECT_FALSE(Line(GetParam().arguments));
  EXPECT_EQ(parser_.GetError(), GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(Texts, OptionParserErrors,
                         testing::Values(BadLine{L"--language", L"Option 'language' requires a value"},
                                         BadLine{L"--language -s", L"Option 'language' requires a value"},
                                         BadLine{L"/language=", L"Option 'language' requires a value"},
                                         BadLine{L"/language", L"Option 'language' requires a value"},
                                         BadLine{L"--language=fi", L"Unknown option: --language=fi"},
                                         BadLine{L"/silent=yes", L"Option 'silent' has no value"},
                                         BadLine{L"-s -s", L"Option 'silent' specified twice"},
                                         BadLine{L"-s --SILENT", L"Option 'silent' specified twice"},
                                         BadLine{L"-S", L"Unknown option: -S"},
                                         BadLine{L"--", L"Unknown option: --"},
                                         BadLine{L"-sr", L"Unknown option: -sr"},
                                         BadLine{L"/=x", L"Unknown option: /=x"}, BadLine{L"-", L""},
                                         BadLine{L"/", L""}, BadLine{L"\"-s", L"Mismatching quotes"}));

// Dashes pasted from a document stand where '-' was meant.
INSTANTIATE_TEST_SUITE_P(LookalikeDashes, OptionParserErrors,
                         testing::Values(BadLine{L"\u2013s", L"Unknown option: \u2013s"},
                                         BadLine{L"-s \u2014products=a", L"Unknown option: \u2014products=a"},
                                         BadLine{L"\u2212\u2212silent",
                                                 L"Unknown option: \u2212\u2212silent"},
                                         BadLine{L"\u2013", L"Unknown option: \u2013"},
                                         BadLine{L"-l \u2013s", L"Option 'language' requires a value"}));

TEST_F(OptionParserTest, OptionsBeforeAnErrorStaySeen) {
  EXPECT_FALSE(Line(L"-s -x -h"));
  EXPECT_TRUE(parser_.IsSet(L"silent"));
  EXPECT_FALSE(parser_.IsSet(L"help"));
}

TEST_F(OptionParserTest, ParsesOnceUntilReset) {
  ASSERT_TRUE(Line(L"-s"));
  EXPECT_FALSE(Line(L"-h"));
  EXPECT_EQ(parser_.GetError(), L"Already parsed");
  parser_.Reset();
  EXPECT_FALSE(parser_.IsSet(L"silent"));
  EXPECT_EQ(parser_.GetError(), L"");
  ASSERT_TRUE(parser_.AddOption(OptionNoValue, L"help", L'h'));
  EXPECT_TRUE(Line(L"-h"));
}

TEST_F(OptionParserTest, EmptyOrMissingLines) {
  EXPECT_FALSE(parser_.Parse(static_cast<const wchar_t*>(nullptr)));
  EXPECT_FALSE(parser_.Parse(L""));
  EXPECT_TRUE(parser_.Parse(L"tool.exe"));
}

TEST_F(OptionParserTest, ArgumentVectorDropsAStrayClosingQuote) {
  const wchar_t* argv[] = {L"tool.exe", L"/p=a b\"", L"\"quoted\"", L"-s"};
  ASSERT_TRUE(parser_.Parse(4, argv));
  EXPECT_EQ(parser_.GetValue(L"products"), L"a b");
  EXPECT_EQ(parser_.GetArguments(), (Tokens{L"\"quoted\""}));
  EXPECT_TRUE(parser_.IsSet(L"silent"));
  QvOptionParser fresh;
  EXPECT_FALSE(fresh.Parse(0, argv));
}

TEST_F(OptionParserTest, ErrorsEchoAShortOneLineArgument) {
  const std::wstring y62(62, L'y');
  for (const auto& [token, echo] : {std::pair{L"--" + std::wstring(100000, L'y'), L"--" + y62 + L"..."},
                                    {L"--" + y62, L"--" + y62},                         // 64: whole
                                    {L"-" + y62 + L"\U0001F600", L"-" + y62 + L"..."},  // no half pair
                                    {std::wstring(L"-x\r\ny"), std::wstring(L"-x\\r\\ny")}}) {
    QvOptionParser parser;
    ASSERT_TRUE(parser.AddOption(OptionNoValue, L"silent", L's'));
    EXPECT_FALSE(parser.Parse(std::vector<std::wstring>{L"-s", token}));
    EXPECT_EQ(parser.GetError(), L"Unknown option: " + echo);
    EXPECT_TRUE(parser.IsSet(L"silent"));
  }
}

}  // namespace
