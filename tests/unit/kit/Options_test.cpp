// The runner's command line: what it accepts, what it refuses, and the quoting of the command line
// it starts a scenario's process with.
#include "tests/kit/Options.h"

#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

namespace {

using namespace QvKit;

struct OptionsCase {
  std::vector<std::wstring> arguments;
  const wchar_t* errorPart;  // null: accepted
  bool throwaway;
  std::wstring out;
  std::optional<std::vector<std::wstring>> units;
  std::optional<std::vector<std::wstring>> scenarios;
};

TEST(KitOptions, AcceptsTheDocumentedFormsAndRefusesEverythingElse) {
  using Names = std::vector<std::wstring>;
  const OptionsCase cases[] = {
      {{}, nullptr, false, L"", std::nullopt, std::nullopt},
      {{L"--throwaway"}, nullptr, true, L"", std::nullopt, std::nullopt},
      {{L"--throwaway", L"--out", L"C:\\r es", L"--units", L"base,core", L"--scenarios", L"junction"},
       nullptr,
       true,
       L"C:\\r es",
       Names{L"base", L"core"},
       Names{L"junction"}},
      {{L"--units", L"none", L"--scenarios", L"none"}, nullptr, false, L"", Names{}, Names{}},
      {{L"--units", L"base,base"}, nullptr, false, L"", Names{L"base"}, std::nullopt},
      {{L"--throwaway", L"--throwaway"}, L"given twice", true, L"", std::nullopt, std::nullopt},
      {{L"--units", L"a", L"--units", L"b"}, L"given twice", false, L"", std::nullopt, std::nullopt},
      {{L"--out"}, L"needs a value", false, L"", std::nullopt, std::nullopt},
      {{L"--out", L"--throwaway"}, L"needs a value", false, L"", std::nullopt, std::nullopt},
      {{L"--units", L""}, L"needs a value", false, L"", std::nullopt, std::nullopt},
      {{L"--units", L"base,"}, L"empty name", false, L"", std::nullopt, std::nullopt},
      {{L"--scenarios", L",junction"}, L"empty name", false, L"", std::nullopt, std::nullopt},
      {{L"--units", L"none,base"}, L"'none' cannot be combined", false, L"", std::nullopt, std::nullopt},
      {{L"--throw-away"}, L"unknown option '--throw-away'", false, L"", std::nullopt, std::nullopt},
      {{L"results"}, L"unknown option 'results'", false, L"", std::nullopt, std::nullopt},
  };
  for (const OptionsCase& c : cases) {
    std::wstring shown;
    for (const std::wstring& a : c.arguments) shown += L"[" + a + L"]";
    SCOPED_TRACE(testing::PrintToString(shown));
    const ParsedOptions parsed = ParseOptions(c.arguments);
    if (c.errorPart != nullptr) {
      EXPECT_FALSE(parsed.ok);
      EXPECT_NE(parsed.error.find(c.errorPart), std::wstring::npos) << testing::PrintToString(parsed.error);
      continue;
    }
    ASSERT_TRUE(parsed.ok) << testing::PrintToString(parsed.error);
    EXPECT_EQ(parsed.options.throwaway, c.throwaway);
    EXPECT_EQ(parsed.options.out, c.out);
    EXPECT_EQ(parsed.options.units, c.units);
    EXPECT_EQ(parsed.options.scenarios, c.scenarios);
  }
}

TEST(KitOptions, QuotedArgumentsSplitBackIntoThemselves) {
  const std::wstring arguments[] = {L"plain",     L"with space",    L"C:\\results\\",
                                    L"C:\\r s\\", L"quote\"inside", L"back\\\\\"slashes",
                                    L"",          L"tab\there",     L"\\\\server\\share\\x y"};
  for (const std::wstring& argument : arguments) {
    SCOPED_TRACE(testing::PrintToString(argument));
    const std::wstring line = L"qvkit.exe " + QuoteArgument(argument) + L" next";
    int count = 0;
    LPWSTR* split = ::CommandLineToArgvW(line.c_str(), &count);
    ASSERT_NE(split, nullptr);
    ASSERT_EQ(count, 3);
    EXPECT_EQ(std::wstring(split[1]), argument);
    EXPECT_EQ(std::wstring(split[2]), L"next");
    ::LocalFree(split);
  }
}

}  // namespace
