// Link text: splitting at the markers, and the three-run word wrap as a function of widths.
#include "ui/toolkit/LinkLayout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

TEST(LinkLayoutTest, SplitAtTheFirstPairOfMarkers) {
  const struct {
    const wchar_t* text;
    const wchar_t* before;
    const wchar_t* link;
    const wchar_t* after;
  } cases[] = {
      {L"", L"", L"", L""},
      {L"No link here", L"No link here", L"", L""},
      {L"One [#] marker", L"One [#] marker", L"", L""},
      {L"See [#]the terms[#].", L"See ", L"the terms", L"."},
      {L"[#]all[#]", L"", L"all", L""},
      {L"a [#][#] b", L"a ", L"", L" b"},
      {L"a [#]b[#] c [#]d[#]", L"a ", L"b", L" c [#]d[#]"},
      {L"a [#]b [#]c[#]", L"a ", L"b ", L"c[#]"},
      {L"[#[#]x[#]", L"[#", L"x", L""},
  };
  for (const auto& c : cases) {
    const QvUI::LinkText parts = QvUI::SplitLinkText(c.text);
    EXPECT_EQ(parts.before, c.before) << c.text;
    EXPECT_EQ(parts.link, c.link) << c.text;
    EXPECT_EQ(parts.after, c.after) << c.text;
  }
}

// Every character is 10 pixels wide, 12 in the link's font.
QvUI::TextMeasure Monospace() {
  const auto charWidth = [](int run) { return run == QvUI::RunLink ? 12 : 10; };
  QvUI::TextMeasure measure;
  measure.fit = [=](int run, std::wstring_view text, int width) {
    return std::min(text.size(), static_cast<size_t>(std::max(width, 0) / charWidth(run)));
  };
  measure.width = [=](int run, std::wstring_view text) {
    return static_cast<int>(text.size()) * charWidth(run);
  };
  return measure;
}

struct Box {
  int run;
  int line;
  std::wstring text;
  int left;
  int right;
};

TEST(LinkLayoutTest, WrapsRunsAtSpacesAndBreaksLongWords) {
  const struct {
    const char* name;
    std::array<std::wstring, 3> runs;
    int width;
    std::vector<Box> boxes;
  } cases[] = {
      {"all on one line",
       {L"ab ", L"cd", L" e"},
       200,
       {{0, 0, L"ab ", 0, 30}, {1, 0, L"cd", 30, 54}, {2, 0, L" e", 54, 74}}},
      {"break at the last space that fits",
       {L"one two three", L"", L""},
       90,
       {{0, 0, L"one two", 0, 70}, {0, 1, L"three", 0, 50}}},
      {"a word longer than a line breaks at the last fitting character",
       {L"abcdefghij", L"", L""},
       40,
       {{0, 0, L"abcd", 0, 40}, {0, 1, L"efgh", 0, 40}, {0, 2, L"ij", 0, 20}}},
      {"a link word that does not fit moves to the next line whole",
       {L"see ", L"terms", L""},
       60,
       {{0, 0, L"see ", 0, 40}, {1, 1, L"terms", 0, 60}}},
      {"a link continues on the next line",
       {L"read ", L"the terms", L" now"},
       100,
       {{0, 0, L"read ", 0, 50}, {1, 0, L"the", 50, 86}, {1, 1, L"terms", 0, 60}, {2, 1, L" now", 60, 100}}},
      {"a space that does not fit is dropped at the break",
       {L"abcd efgh", L"", L""},
       40,
       {{0, 0, L"abcd", 0, 40}, {0, 1, L"efgh", 0, 40}}},
      {"a line too narrow for one character still advances",
       {L"ab", L"", L""},
       5,
       {{0, 0, L"a", 0, 10}, {0, 1, L"b", 0, 10}}},
  };
  for (const auto& c : cases) {
    const QvUI::RunLayout layout = QvUI::LayoutRuns(c.runs, c.width, 16, Monospace());
    ASSERT_EQ(layout.boxes.size(), c.boxes.size()) << c.name;
    for (size_t i = 0; i < c.boxes.size(); ++i) {
      const QvUI::RunBox& got = layout.boxes[i];
      const Box& want = c.boxes[i];
      EXPECT_EQ(got.run, want.run) << c.name << " #" << i;
      EXPECT_EQ(got.line, want.line) << c.name << " #" << i;
      EXPECT_EQ(got.text, want.text) << c.name << " #" << i;
      EXPECT_EQ(got.left, want.left) << c.name << " #" << i;
      EXPECT_EQ(got.right, want.right) << c.name << " #" << i;
      EXPECT_EQ(got.top, want.line * 16) << c.name << " #" << i;
      EXPECT_EQ(got.bottom, want.line * 16 + 16) << c.name << " #" << i;
      EXPECT_LE(got.right, std::max(c.width, 10)) << c.name << " #" << i;
    }
  }
}

TEST(LinkLayoutTest, LineWidthsAddUpTheirBoxes) {
  const QvUI::RunLayout layout =
      QvUI::LayoutRuns({L"Copyright 2016 ", L"Licence terms apply", L" here"}, 120, 16, Monospace());
  std::vector<int> sums(layout.lineWidths.size(), 0);
  for (const auto& box : layout.boxes) sums[static_cast<size_t>(box.line)] += box.right - box.left;
  EXPECT_EQ(sums, layout.lineWidths);
  const auto linkLines = std::count_if(layout.boxes.begin(), layout.boxes.end(),
                                       [](const QvUI::RunBox& b) { return b.run == QvUI::RunLink; });
  EXPECT_GE(linkLines, 2);
}

}  // namespace
