// Multi-string split and join (REG_MULTI_SZ text).
#include "base/MultiString.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Entries = std::vector<std::wstring>;
using namespace std::string_literals;
using namespace std::string_view_literals;

TEST(MultiStringTest, SplitStopsAtTheEmptyEntryAndDropsAnUnclosedOne) {
  const struct {
    std::wstring data;
    Entries entries;
  } cases[] = {
      {L""s, {}},
      {L"\0"s, {}},
      {L"\0\0"s, {}},
      {L"a\0b\0\0"s, {L"a", L"b"}},
      {L"a\0b\0"s, {L"a", L"b"}},  // the list terminator missing
      {L"a\0bc"s, {L"a"}},         // the last entry cut short
      {L"one"s, {}},
      {L"a\0\0b\0\0"s, {L"a"}},  // nothing after the end is read
      {L"\0a\0\0"s, {}},
      {L"x y\0\x00e9\0\0\0\0"s, {L"x y", L"\x00e9"}},
  };
  for (const auto& c : cases) EXPECT_EQ(QvText::SplitMultiString(c.data), c.entries) << c.data.size();
}

TEST(MultiStringTest, JoinWritesEveryEntryAndOneFinalTerminator) {
  const struct {
    Entries entries;
    std::wstring data;
    Entries readBack;
  } cases[] = {
      {{}, L"\0\0"s, {}},
      {{L"a"}, L"a\0\0"s, {L"a"}},
      {{L"a", L"bc"}, L"a\0bc\0\0"s, {L"a", L"bc"}},
      {{L"src", L"", L"next"}, L"src\0\0next\0\0"s, {L"src"}},  // kept, but ends the list for readers
  };
  for (const auto& c : cases) {
    EXPECT_EQ(QvText::JoinMultiString(c.entries), c.data);
    EXPECT_EQ(QvText::SplitMultiString(QvText::JoinMultiString(c.entries)), c.readBack);
  }
}
}  // namespace
