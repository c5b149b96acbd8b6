// A unit suite passes only when it ends with 0 and leaves a clean GoogleTest report.
#include "tests/kit/UnitSuites.h"

#include <gtest/gtest.h>

#include "tests/support/ScratchDir.h"

namespace {

using namespace QvKit;

const char kClean[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<testsuites tests=\"5\" failures=\"0\" disabled=\"1\" errors=\"0\" time=\"0.1\" name=\"AllTests\">\n"
    "  <testsuite name=\"A\" tests=\"5\" failures=\"0\" disabled=\"1\" skipped=\"1\" errors=\"0\">\n"
    "    <testcase name=\"x\" status=\"run\" result=\"skipped\"><skipped message=\"no\"/></testcase>\n"
    "  </testsuite>\n</testsuites>\n";
const char kFailed[] = "<testsuites tests=\"7\" failures=\"2\" disabled=\"0\" errors=\"0\">";

struct SuiteCase {
  const char* what;
  bool finished;
  unsigned long exitCode;
  const char* xml;
  Outcome outcome;
  const wchar_t* reason;
};

TEST(KitUnitSuites, JudgesExitCodeAndReport) {
  const SuiteCase cases[] = {
      {"clean", true, 0, kClean, Outcome::Pass, L"5 tests, 0 failed, 2 skipped"},
      {"failed tests", true, 1, kFailed, Outcome::Fail,
       L"exit code 1, 7 tests, 2 failed, 0 skipped; see base.txt"},
      {"crashed without report", true, 0xC0000005, "", Outcome::Fail,
       L"exit code 3221225477, no test report; see base.txt"},
      {"zero without report", true, 0, "", Outcome::Fail, L"exit code 0 but no test report; see base.txt"},
      {"zero with failures", true, 0, kFailed, Outcome::Fail,
       L"exit code 0 but 7 tests, 2 failed, 0 skipped; see base.txt"},
      {"hang", false, 0, "", Outcome::Fail, L"still running after 30 min; ended; see base.txt"},
  };
  for (const SuiteCase& c : cases) {
    SCOPED_TRACE(c.what);
    const Entry entry = JudgeUnitSuite(L"base", c.finished, c.exitCode, c.xml);
    EXPECT_EQ(entry.suite, L"units");
    EXPECT_EQ(entry.name, L"base");
    EXPECT_EQ(entry.outcome, c.outcome);
    EXPECT_EQ(entry.reason, c.reason);
  }
}

TEST(KitUnitSuites, FindsOnlyTestExecutableFilesSorted) {
  QvTest::ScratchDir kit(L"qvkitsuites");
  ASSERT_TRUE(kit.Created());
  for (const wchar_t* name : {L"sysops_tests.exe", L"base_Tests.EXE", L"qvkit.exe", L"_tests.exe",
                              L"core_tests.exe.txt", L"replace_scripts.exe"})
    ASSERT_TRUE(QvTest::MakeFile(kit / name));
  ASSERT_TRUE(QvTest::MakeFolder(kit / L"ui_tests.exe"));
  EXPECT_EQ(FindUnitSuites(kit.Path()), (std::vector<std::wstring>{L"base", L"sysops"}));
}

}  // namespace
