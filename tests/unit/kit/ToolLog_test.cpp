// The records one run wrote to the tool's log, also across a rotation of the file.
#include "tests/kit/ToolLog.h"

#include <gtest/gtest.h>

namespace {

using namespace QvKit;

struct SliceCase {
  const char* what;
  std::string before;  // the current generation when the run started
  std::string older;   // the generations after the run
  std::string current;
  std::string written;
};

TEST(KitToolLog, FindsWhatFollowsTheMark) {
  const std::string big(2000, 'a');
  const std::string tail = big + "end of earlier run\n";
  const SliceCase cases[] = {
      {"no log before", "", "", "run 1\n", "run 1\n"},
      {"appended", "old\n", "", "old\nnew\n", "new\n"},
      {"long file", tail, "", tail + "new\n", "new\n"},
      {"rotated during the run", tail, "x" + tail + "first half\n", "second half\n",
       "first half\nsecond half\n"},
      {"nothing written", "old\n", "", "old\n", ""},
      {"mark lost to two rotations", "gone\n", "later\n", "now\n", "later\nnow\n"},
  };
  for (const SliceCase& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string mark = LogMark(c.before);
    EXPECT_LE(mark.size(), 512u);
    EXPECT_EQ(WrittenSince(mark, c.older, c.current), c.written);
  }
}

TEST(KitToolLog, LogFileIsTheElevatedRunsOne) {
  const std::wstring file = ToolLogFile();
  EXPECT_TRUE(file.ends_with(L"\\Quorvel\\Log\\UninstallationTool\\UninstallationTool.log"));
  EXPECT_EQ(file.substr(1, 2), L":\\");
}

}  // namespace
