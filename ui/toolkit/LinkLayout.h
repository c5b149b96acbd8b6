// The text of a link control: splitting "before [#]link[#] after" and laying the three runs out on
// word-wrapped lines, as a function of measured widths. No windows.h.
#pragma once

#include <array>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace QvUI {

struct LinkText {
  std::wstring before;
  std::wstring link;
  std::wstring after;
};

// Without a complete pair of "[#]" markers the whole text is the before part, markers and all.
LinkText SplitLinkText(std::wstring_view text);

enum LinkRun { RunBefore = 0, RunLink = 1, RunAfter = 2 };

// Measurement supplied by the caller (the run selects the font).
struct TextMeasure {
  // How many leading characters of text fit into width.
  std::function<size_t(int run, std::wstring_view text, int width)> fit;
  std::function<int(int run, std::wstring_view text)> width;
};

struct RunBox {
  int run = RunBefore;
  int line = 0;
  std::wstring text;
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
};

struct RunLayout {
  std::vector<RunBox> boxes;
  std::vector<int> lineWidths;  // used width per line
};

// Lays the runs out in order on lines of lineWidth, each lineHeight high: a run that does not fit
// breaks after its last fitting space (the space is dropped); a word that does not fit moves to the
// next line, or, on an empty line, is broken after its last fitting character.
RunLayout LayoutRuns(const std::array<std::wstring, 3>& runs, int lineWidth, int lineHeight,
                     const TextMeasure& measure);

}  // namespace QvUI
