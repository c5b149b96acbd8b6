// The restart schedule's pure rules: prefix lookup, pairs, removal by prefix.
#include "base/RestartSchedule.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace {

using namespace std::string_literals;
using namespace std::string_view_literals;

TEST(RestartScheduleTest, EntriesMatchAPrefixAfterTheirNtPrefix) {
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
  for (const auto& c : cases) EXPECT_EQ(QvRestartSchedule::HasEntryWithPrefix(c.data, c.prefix), c.found) << c.prefix;
}

TEST(RestartScheduleTest, PairsSplitRemoveAndJoinBackWithTheTerminatorsKept) {
  using Pairs = std::vector<QvRestartSchedule::Pair>;
  const std::wstring data = L"\\??\\C:\\P\\a.dll\0\0\\??\\C:\\Program\\b.dll\0\0C:\\P\0!\\??\\C:\\Q\0\0"s;
  const struct {
    const wchar_t* prefix;
    std::size_t removed;
    std::wstring left;
  } cases[] = {
      {L"C:\\P", 2, L"\\??\\C:\\Program\\b.dll\0\0\0"s},  // not "C:\Program": a path boundary
      {L"C:\\P\\", 1, L"\\??\\C:\\Program\\b.dll\0\0C:\\P\0!\\??\\C:\\Q\0\0"s},
      {L"c:\\p", 0, data},  // case-sensitive, as the system writes them
      {L"", 0, data},         // an empty prefix takes nothing
  };
  for (const auto& c : cases) {
    std::optional<Pairs> pairs = QvRestartSchedule::SplitPairs(data);
    ASSERT_TRUE(pairs.has_value());
    EXPECT_EQ(QvRestartSchedule::RemoveByPrefix(*pairs, c.prefix).size(), c.removed) << c.prefix;
    EXPECT_EQ(QvRestartSchedule::JoinPairs(*pairs), c.left) << c.prefix;
  }
  EXPECT_FALSE(QvRestartSchedule::SplitPairs(L"a\0b\0c"sv).has_value());  // an odd count is no schedule
}

}  // namespace
