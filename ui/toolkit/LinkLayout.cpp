// Link text split and three-run word wrapping.
#include "ui/toolkit/LinkLayout.h"

namespace QvUI {

namespace {

constexpr std::wstring_view Marker = L"[#]";

}  // namespace

LinkText SplitLinkText(std::wstring_view text) {
  const size_t open = text.find(Marker);
  const size_t close = open == std::wstring_view::npos ? open : text.find(Marker, open + Marker.size());
  if (close == std::wstring_view::npos) return {std::wstring(text), {}, {}};
  return {std::wstring(text.substr(0, open)),
          std::wstring(text.substr(open + Marker.size(), close - open - Marker.size())),
          std::wstring(text.substr(close + Marker.size()))};
}

RunLayout LayoutRuns(const std::array<std::wstring, 3>& runs, int lineWidth, int lineHeight,
                     const TextMeasure& measure) {
  RunLayout layout;
  layout.lineWidths.push_back(0);
  size_t line = 0;
  for (int run = 0; run < 3; ++run) {
    std::wstring_view rest = runs[run];
    while (!rest.empty()) {
      const int used = layout.lineWidths[line];
      const size_t fit = measure.fit(run, rest, lineWidth - used);
      std::wstring_view piece = rest;
      std::wstring_view next;
      if (fit < rest.size()) {
        const size_t space = rest.find_last_of(L' ', fit);
        if (space != std::wstring_view::npos) {
          piece = rest.substr(0, space);
          next = rest.substr(space + 1);
        } else if (used > 0) {
          piece = {};
          next = rest;
        } else {
          // A word wider than the whole line; at least one character, so the layout always advances.
          const size_t hard = fit == 0 ? 1 : fit;
          piece = rest.substr(0, hard);
          next = rest.substr(hard);
        }
      }
      if (!piece.empty()) {
        const int width = measure.width(run, piece);
        const int top = static_cast<int>(line) * lineHeight;
        layout.boxes.push_back(
            {run, static_cast<int>(line), std::wstring(piece), used, top, used + width, top + lineHeight});
        layout.lineWidths[line] += width;
      }
      if (next.empty() && fit >= rest.size()) break;
      rest = next;
      ++line;
      if (line == layout.lineWidths.size()) layout.lineWidths.push_back(0);
    }
  }
  return layout;
}

}  // namespace QvUI
