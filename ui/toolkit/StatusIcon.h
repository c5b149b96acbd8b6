// A status icon (error, warning, information, success, question) drawn from path data in the
// kind's colour, scaled to the control and centred.
#pragma once

#include "ui/toolkit/Control.h"

namespace QvUI {

class StatusIcon : public Control {
 public:
  void SetKind(int kind);
  int Kind() const { return kind_; }

  void OnClick() override {}
  AccessibleFacts Describe(long child) const override;
  void Paint(HDC dc, const RECT& rect) override;

 private:
  int kind_ = 0;
};

// Fills 24 x 24 path data scaled into rect and centred, even-odd; false, with nothing drawn, when the
// data does not read.
bool FillIconPath(HDC dc, const RECT& rect, const char* pathData, COLORREF colour);

}  // namespace QvUI
