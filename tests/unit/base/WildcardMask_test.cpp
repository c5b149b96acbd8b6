// Wildcard masks: "*", "?", case, and stars that must not blow up.
#include "base/WildcardMask.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(WildcardMaskTest, StarsQuestionMarksAndCase) {
  const struct {
    const wchar_t* mask;
    const wchar_t* text;
    bool matches;
  } cases[] = {
      {L"", L"", true},
      {L"", L"a", false},
      {L"*", L"", true},
      {L"*", L"anything", true},
      {L"?", L"", false},
      {L"?", L"x", true},
      {L"??", L"x", false},
      {L"a*", L"a", true},
      {L"*.log", L"app.log", true},
      {L"*.log", L"app.log.1", false},
      {L"*.log*", L"app.log.1", true},
      {L"app.*.log", L"app.2.log", true},
      {L"*a*b*c", L"xxaxxbxxc", true},
      {L"*a*b*c", L"xxaxxcxxb", false},
      {L"a*a*a", L"aaa", true},
      {L"a*a*a", L"aa", false},
      {L"*ab", L"aab", true},
      {L"Qv*", L"qvtool", false},
      {L"qv?", L"QvA", false},
      {L"x\x00e9*", L"x\x00e9y", true},
      {L"a?c", L"abc", true},
      {L"a?c", L"ac", false},
      {L"***a", L"ba", true},
  };
  for (const auto& c : cases)
    EXPECT_EQ(QvText::MatchesMask(c.mask, c.text), c.matches) << c.mask << L" " << c.text;
}

TEST(WildcardMaskTest, ManyStarsStayLinear) {
  // A recursive matcher takes exponential time (or the stack) here.
  const std::wstring text(20000, L'a');
  EXPECT_FALSE(QvText::MatchesMask(std::wstring(5000, L'*') + L"b", text));
  EXPECT_TRUE(QvText::MatchesMask(L"*a" + std::wstring(3000, L'*') + L"a", text));
  std::wstring mask;
  for (int i = 0; i < 200; ++i) mask += L"*a";
  EXPECT_FALSE(QvText::MatchesMask(mask + L"*b", text));
}

}  // namespace
