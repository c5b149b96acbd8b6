// Push button: filled (primary) or outlined (secondary) rounded shape, optional icon, ellipsis when
// the text does not fit.
#pragma once

#include "ui/toolkit/Control.h"

namespace QvUI {

class Button : public Control {
 public:
  Button() = default;
  void SetPrimary(bool primary);
  bool IsPrimary() const { return primary_ != 0; }
  // Takes ownership of the icon, drawn before the text at the font's height.
  void SetIcon(HICON icon);

  AccessibleFacts Describe(long child) const override;
  void OnStateChanged(int changed) override;
  void Paint(HDC dc, const RECT& rect) override;

 private:
  unsigned char primary_ = 1;
  RECT focusRect_{};
  UniqueHIcon icon_;
};

}  // namespace QvUI
