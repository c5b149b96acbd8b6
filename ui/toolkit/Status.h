// A status icon (error, warning, information, success, question) drawn from path data in the
// kind's colour, scaled to the control and centred.
#pragma once

#include "ui/toolkit/Control.h"

namespace QvUI {

class Status : public Control {
 public:
  void SetKind(int kind);
  int Kind() const { return kind_; }

  void OnClick() override {}
  void Paint(HDC dc, const RECT& rect) override;

 private:
  int kind_ = 0;
};

}  // namespace QvUI
