// A busy indicator: a 270-degree arc turning once every 1440 ms, driven by the UI thread's timer.
#pragma once

#include <string>
#include <utility>

#include "ui/toolkit/Control.h"

namespace QvUI {

class Spinner : public Control {
 public:
  // Also starts the 20 ms timer (id 1).
  bool Attach(HWND window) override;

  // What assistive technology calls it: a static of a frame style keeps no window text.
  void SetName(std::wstring name) { name_ = std::move(name); }

  void OnClick() override {}
  AccessibleFacts Describe(long child) const override;
  void Paint(HDC dc, const RECT& rect) override;
  void OnDestroyHook() override;
  LRESULT WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  std::wstring name_;
};

// Start angle in degrees for a time since boot.
float SpinnerAngle(unsigned long long milliseconds);

}  // namespace QvUI
