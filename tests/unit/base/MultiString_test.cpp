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

TEST(MultiStringTest, PendingEntriesMatchAPrefixAfterTheirNtPrefix) {
  // Sources and targets alike, empty deletion targets read past, letter case ignored.
  const std::wstring schedule =
      L"\\??\\C:\\Old\\a.txt\0\0\\??\\C:\\src\0\\??\\C:\\Dst\\B\0\\??\\C:\\s2\0!\\??\\C:\\d2\0\0"s;
  const struct {
    std::wstring_view data;
    const wchar_t* prefix;
    bool found;
  } cases[] = {
      {schedule, L"c:\\old", true},
      {schedule, L"C:\\OLD\\A.TXT", true},
      {schedule, L"C:\\src", true},
      {schedule, L"c:\\DST\\b", true},
      {schedule, L"\\C:\\d2", true},          // a replacing target's "!" shifts it by one
      {schedule, L"C:\\old\\a.txt2", false},  // the entry is too short for it
      {schedule, L"C:\\Other", false},
      {schedule, L"", false},
      {L"ab\0"sv, L"a", false},    // shorter than four characters plus the prefix
      {L"\\??\\a"sv, L"a", true},  // a last entry without NUL is still read
      {L""sv, L"a", false},
  };
  for (const auto& c : cases) EXPECT_EQ(QvText::HasEntryWithPrefix(c.data, c.prefix), c.found) << c.prefix;
}

}  // namespace
