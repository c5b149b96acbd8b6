// Line text, level marks, run-time tag shortening and the start banner's offset text.
#include "logging/LogLine.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "logging/Logger.h"

namespace {

using QvBrelLogging::ComposeLine;
using QvBrelLogging::LevelMarkText;
using QvBrelLogging::NormalizeTag;
using QvBrelLogging::StartBannerText;
using QvBrelLogging::UtcOffsetMinutes;

QvBrelLogging::LinePrefix ExamplePrefix() {
  QvBrelLogging::LinePrefix prefix;
  prefix.year = 2024;
  prefix.month = 4;
  prefix.day = 11;
  prefix.hour = 12;
  prefix.minute = 43;
  prefix.second = 9;
  prefix.millisecond = 123;
  prefix.processId = 0x1a2b;
  prefix.threadId = 0x3c4;
  return prefix;
}

TIME_ZONE_INFORMATION Zone(LONG bias, LONG standardBias = 0, LONG daylightBias = -60) {
  TIME_ZONE_INFORMATION zone{};
  zone.Bias = bias;
  zone.StandardBias = standardBias;
  zone.DaylightBias = daylightBias;
  return zone;
}

std::string LocalBanner(DWORD zoneId, const TIME_ZONE_INFORMATION& zone) {
  return StartBannerText(false, UtcOffsetMinutes(zoneId, zone), 1);
}

}  // namespace

TEST(LogLine, ComposesTheDocumentedExampleByteForByte) {
  EXPECT_EQ(
      ComposeLine(ExamplePrefix(), LevelMarkText(4), NormalizeTag("UiTool::Prepare"), "Using language: en"),
      "2024-04-11 12:43:09.123 [1a2b.03c4]  I: UiTool::Prepare: Using language: en\r\n");
}

TEST(LogLine, PadsAndWidensNumbersLikeThePrintfFormat) {
  QvBrelLogging::LinePrefix prefix;
  prefix.year = 7;
  prefix.month = 1;
  prefix.day = 2;
  prefix.processId = 0;
  prefix.threadId = 0x12345678;
  EXPECT_EQ(ComposeLine(prefix, "*E", "", "x"), "0007-01-02 00:00:00.000 [0000.12345678] *E: x\r\n");
  prefix.year = 12345;
  prefix.millisecond = 999;
  prefix.processId = 0xffffffffUL;
  prefix.threadId = 0xabcde;
  EXPECT_EQ(ComposeLine(prefix, " V", "T: ", ""), "12345-01-02 00:00:00.999 [ffffffff.abcde]  V: T: \r\n");
}

TEST(LogLine, LevelMarks) {
  EXPECT_STREQ(LevelMarkText(1), "*F");
  EXPECT_STREQ(LevelMarkText(2), "*E");
  EXPECT_STREQ(LevelMarkText(3), ".W");
  EXPECT_STREQ(LevelMarkText(4), " I");
  EXPECT_STREQ(LevelMarkText(5), " D");
  EXPECT_STREQ(LevelMarkText(6), " V");
  for (const int other : {0, -1, 7, 100, INT_MIN, INT_MAX}) EXPECT_STREQ(LevelMarkText(other), "  ") << other;
}

TEST(LogLine, NormalizesTagsAtRunTime) {
  EXPECT_EQ(NormalizeTag(nullptr), "");
  EXPECT_EQ(NormalizeTag(""), "");
  EXPECT_EQ(NormalizeTag("UiTool::Prepare"), "UiTool::Prepare: ");
  // The unnamed-namespace and lambda forms of other compilers.
  EXPECT_EQ(NormalizeTag("`anonymous-namespace'::GetShortPath"), "::GetShortPath: ");
  EXPECT_EQ(NormalizeTag("Run::<lambda_1>::operator ()"), "Run::<lambda>: ");
  EXPECT_EQ(NormalizeTag("`anonymous-namespace'::Worker::<lambda_7f3a>::operator ()"),
            "::Worker::<lambda>: ");
  // Only a leading prefix is removed, and only a lambda operator call is shortened.
  EXPECT_EQ(NormalizeTag("A::`anonymous-namespace'::F"), "A::`anonymous-namespace'::F: ");
  EXPECT_EQ(NormalizeTag("`anonymous-namespace'"), ": ");
  EXPECT_EQ(NormalizeTag("Run::<lambda_1>::Invoke"), "Run::<lambda_1>::Invoke: ");
  EXPECT_EQ(NormalizeTag("Cmp::operator ()"), "Cmp::operator (): ");
  // The compile-time forms of g++ pass unchanged.
  EXPECT_EQ(NormalizeTag("::GetShortPath"), "::GetShortPath: ");
  EXPECT_EQ(NormalizeTag("Run::<lambda>"), "Run::<lambda>: ");
}

TEST(LogLine, StartBannerShowsTheZoneOffset) {
  EXPECT_EQ(LocalBanner(TIME_ZONE_ID_STANDARD, Zone(-330)),
            "***  LOGGING STARTED  *** (UTC+5:30, session: 0x1)");
  EXPECT_EQ(LocalBanner(TIME_ZONE_ID_STANDARD, Zone(210)),
            "***  LOGGING STARTED  *** (UTC-3:-30, session: 0x1)");
  EXPECT_EQ(LocalBanner(TIME_ZONE_ID_UNKNOWN, Zone(0)), "***  LOGGING STARTED  *** (UTC+0:00, session: 0x1)");
  EXPECT_EQ(LocalBanner(TIME_ZONE_ID_STANDARD, Zone(-600)),
            "***  LOGGING STARTED  *** (UTC+10:00, session: 0x1)");
  // Daylight time adds the daylight bias, standard time the standard bias.
  EXPECT_EQ(LocalBanner(TIME_ZONE_ID_DAYLIGHT, Zone(300, 0, -60)),
            "***  LOGGING STARTED  *** (UTC-4:00, session: 0x1)");
  EXPECT_EQ(LocalBanner(TIME_ZONE_ID_STANDARD, Zone(300, 0, -60)),
            "***  LOGGING STARTED  *** (UTC-5:00, session: 0x1)");
  EXPECT_EQ(LocalBanner(TIME_ZONE_ID_INVALID, Zone(0)),
            "***  LOGGING STARTED  *** (UTC+59:59, session: 0x1)");
}

TEST(LogLine, UtcStartBannerNamesTheLocalOffset) {
  EXPECT_EQ(StartBannerText(true, 330, 0xdeadbeef),
            "***  LOGGING STARTED  *** (UTC+00:00, local:+5:30, session: 0xdeadbeef)");
  EXPECT_EQ(StartBannerText(true, -210, 3),
            "***  LOGGING STARTED  *** (UTC+00:00, local:-3:-30, session: 0x3)");
}
