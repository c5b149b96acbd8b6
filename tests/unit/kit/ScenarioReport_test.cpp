// What a scenario's process reports and how the runner judges its end: a crash, a hang or a missing
// result is a failure that says what happened; a reported result stands only after a clean end.
#include "tests/kit/ScenarioReport.h"

#include <gtest/gtest.h>

namespace {

using namespace QvKit;

TEST(KitScenarioReport, LinesRoundTripAndACutLastLineIsIgnored) {
  const std::string text = NoteLine(L"planted C:\\x\r\nand\nmore") + "garbage line\n" +
                           NoteLine(L"K\u00e4ytt\u00f6") + ResultLine({Outcome::Skipped, L"no junctions"}) +
                           "R PASS cut sho";
  const ScenarioReport report = ParseScenarioReport(text);
  ASSERT_EQ(report.notes.size(), 2u);
  EXPECT_EQ(report.notes[0], L"planted C:\\x / and / more");
  EXPECT_EQ(report.notes[1], L"K\u00e4ytt\u00f6");
  ASSERT_TRUE(report.result.has_value());
  EXPECT_EQ(report.result->outcome, Outcome::Skipped);
  EXPECT_EQ(report.result->detail, L"no junctions");
  EXPECT_FALSE(ParseScenarioReport(NoteLine(L"only a note")).result.has_value());
  EXPECT_FALSE(ParseScenarioReport("R MAYBE x\n").result.has_value());
  EXPECT_EQ(ParseScenarioReport(ResultLine({Outcome::Pass, L""})).result->outcome, Outcome::Pass);
}

struct JudgeCase {
  const char* what;
  ProcessEnd end;
  std::optional<Result> reported;
  Outcome outcome;
  const wchar_t* detail;
};

TEST(KitScenarioReport, JudgesHowTheProcessEnded) {
  const Result pass{Outcome::Pass, L""};
  const JudgeCase cases[] = {
      {"clean pass", {true, true, 0, 1000}, pass, Outcome::Pass, L""},
      {"clean skip", {true, true, 0, 1000}, Result{Outcome::Skipped, L"why"}, Outcome::Skipped, L"why"},
      {"skip without reason",
       {true, true, 0, 1000},
       Result{Outcome::Skipped, L""},
       Outcome::Skipped,
       L"skipped without a reason"},
      {"reported failure",
       {true, true, 0, 1000},
       Result{Outcome::Fail, L"canary gone"},
       Outcome::Fail,
       L"canary gone"},
      {"crash before result",
       {true, true, 0xC0000005, 1000},
       std::nullopt,
       Outcome::Fail,
       L"the scenario's process ended with exception 0xC0000005 before reporting a result"},
      {"crash after a pass",
       {true, true, 0xC0000409, 1000},
       pass,
       Outcome::Fail,
       L"the scenario's process ended with exception 0xC0000409 after reporting its result"},
      {"exit code",
       {true, true, 3, 1000},
       std::nullopt,
       Outcome::Fail,
       L"the scenario's process ended with exit code 3 before reporting a result"},
      {"no result",
       {true, true, 0, 1000},
       std::nullopt,
       Outcome::Fail,
       L"the scenario's process ended without reporting a result"},
      {"hang",
       {true, false, STILL_ACTIVE, 1200000},
       pass,
       Outcome::Fail,
       L"still running after 1200 s; ended by the runner"},
      {"no start",
       {false, false, 0, 1000},
       std::nullopt,
       Outcome::Fail,
       L"the scenario's process could not be started"},
  };
  for (const JudgeCase& c : cases) {
    SCOPED_TRACE(c.what);
    ScenarioReport report;
    report.result = c.reported;
    const Result result = JudgeScenario(c.end, report);
    EXPECT_EQ(result.outcome, c.outcome);
    EXPECT_EQ(result.detail, c.detail);
  }
}

}  // namespace
