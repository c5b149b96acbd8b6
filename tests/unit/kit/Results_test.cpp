// The kit's results: the JUnit XML stays well formed whatever the texts hold, counts what it
// carries, and the summary lists every entry with the totals.
#include "tests/kit/Results.h"

#include <gtest/gtest.h>

#include "tests/kit/Options.h"

namespace {

using namespace QvKit;

std::vector<Entry> Sample() {
  return {
      {L"units", L"base", Outcome::Pass, L"12 tests, 0 failed, 1 skipped", 1.24, {}},
      {L"scenarios",
       L"junction",
       Outcome::Skipped,
       L"no junctions under Wine",
       0.5,
       {L"risk: follows <links>"}},
      {L"scenarios",
       L"x&\"y'",
       Outcome::Fail,
       L"canary <gone> & \"more\"\nline\x01two",
       2.0,
       {L"planted C:\\a<b>", L"bell\x07"}},
  };
}

TEST(KitResults, XmlEscapesEveryTextAndCountsPerSuite) {
  const std::string xml = JUnitXml(Sample());
  const std::string expected[] = {
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n",
      "<testsuites name=\"qvkit\" tests=\"3\" failures=\"1\" errors=\"0\" skipped=\"1\" time=\"3.740\">",
      "<testsuite name=\"units\" tests=\"1\" failures=\"0\" errors=\"0\" skipped=\"0\" time=\"1.240\">",
      "<testsuite name=\"scenarios\" tests=\"2\" failures=\"1\" errors=\"0\" skipped=\"1\" time=\"2.500\">",
      "<testcase classname=\"qvkit.units\" name=\"base\" time=\"1.240\">\n"
      "      <system-out>12 tests, 0 failed, 1 skipped&#10;</system-out>",
      "<skipped message=\"no junctions under Wine\"/>",
      "<system-out>risk: follows &lt;links&gt;&#10;</system-out>",
      "name=\"x&amp;&quot;y&apos;\"",
      // A control character XML cannot carry becomes U+FFFD; line breaks survive as references.
      "<failure message=\"canary &lt;gone&gt; &amp; &quot;more&quot;&#10;line\xEF\xBF\xBDtwo\"/>",
      "<system-out>planted C:\\a&lt;b&gt;&#10;bell\xEF\xBF\xBD&#10;</system-out>",
      "</testsuites>\n",
  };
  for (const std::string& part : expected)
    EXPECT_NE(xml.find(part), std::string::npos) << part << "\n" << xml;
  EXPECT_EQ(xml.find('\x01'), std::string::npos);
  EXPECT_EQ(xml.find('\x07'), std::string::npos);
}

TEST(KitResults, EmptyRunStillHasBothSuites) {
  const std::string xml = JUnitXml({});
  EXPECT_NE(xml.find("<testsuite name=\"units\" tests=\"0\""), std::string::npos) << xml;
  EXPECT_NE(xml.find("<testsuite name=\"scenarios\" tests=\"0\""), std::string::npos) << xml;
  EXPECT_EQ(SummaryTable({}).substr(SummaryTable({}).find(L"Total")),
            L"Total: 0 run, 0 passed, 0 failed, 0 skipped, 0.0 s\n");
}

TEST(KitResults, SummaryHasOneRowPerEntryAndTheTotals) {
  const std::wstring table = SummaryTable(Sample());
  const std::wstring rows[] = {
      L"Kind      Name      Result   Time      Reason\n",
      L"unit      base      PASS     1.2 s     12 tests, 0 failed, 1 skipped\n",
      L"scenario  junction  SKIPPED  0.5 s     no junctions under Wine\n",
      L"scenario  x&\"y'     FAIL     2.0 s     canary <gone> & \"more\" line\x01two\n",
      L"Total: 3 run, 1 passed, 1 failed, 1 skipped, 3.7 s\n",
  };
  for (const std::wstring& row : rows)
    EXPECT_NE(table.find(row), std::wstring::npos) << testing::PrintToString(table);
}

TEST(KitResults, ExitCodeIsOneOnlyWhenSomethingFailed) {
  std::vector<Entry> entries = Sample();
  EXPECT_EQ(ExitCodeOf(entries), kExitSomethingFailed);
  entries.pop_back();
  EXPECT_EQ(ExitCodeOf(entries), kExitAllPassed);
  EXPECT_EQ(ExitCodeOf({}), kExitAllPassed);
}

}  // namespace
