// Check box or radio button (by the button style) with a drawn mark; a radio unchecks the rest of
// its group when clicked.
#pragma once

#include "ui/toolkit/Control.h"

namespace QvUI {

class Checkbox : public Control {
 public:
  bool IsChecked() const;
  bool IsRadio() const;

  AccessibleFacts Describe(long child) const override;
  void OnClick() override;
  void OnStateChanged(int changed) override;
  void Paint(HDC dc, const RECT& rect) override;
  LRESULT WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  RECT focusRect_{};
  RECT hitRect_{};
};

}  // namespace QvUI
