// Static text painted in theme colours, aligned and wrapped as its static style says.
#pragma once

#include "ui/toolkit/Control.h"

namespace QvUI {

class TextBlock : public Control {
 public:
  void OnClick() override {}
  AccessibleFacts Describe(long child) const override;
  void Paint(HDC dc, const RECT& rect) override;
};

// DrawText format for a static control style (alignment, single line, centring, ellipses).
UINT StaticTextFormat(LONG_PTR style);

}  // namespace QvUI
