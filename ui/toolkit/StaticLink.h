// Static text with one link in it ("before [#]link[#] after"): word-wrapped across the three runs,
// only the link answers the mouse, Space activates it from the keyboard.
#pragma once

#include <string>
#include <vector>

#include "ui/toolkit/Control.h"

namespace QvUI {

class StaticLink : public Control {
 public:
  bool Attach(HWND window) override;
  // Splits at the "[#]" markers; the window shows the text without them.
  void SetText(const std::wstring& text);

  const std::wstring& LinkPart() const { return link_; }
  const std::vector<RECT>& LinkRects() const { return linkRects_; }

  AccessibleFacts Describe(long child) const override;
  void OnStateChanged(int changed) override;
  void Paint(HDC dc, const RECT& rect) override;
  LRESULT WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void RebuildLinkFont();
  void DrawFocusRects(HDC dc);

  std::wstring before_;
  std::wstring link_;
  std::wstring after_;
  std::vector<RECT> linkRects_;
  HCURSOR arrow_ = ::LoadCursorW(nullptr, IDC_ARROW);
  HCURSOR hand_ = ::LoadCursorW(nullptr, IDC_HAND);
  UniqueHFont linkFont_;
};

}  // namespace QvUI
