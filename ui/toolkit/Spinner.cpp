// Spinner painting and animation.
#include "ui/toolkit/Spinner.h"

#include <algorithm>

#include "ui/toolkit/GdiPlus.h"
#include "ui/toolkit/Theme.h"

namespace QvUI {

namespace {

constexpr UINT_PTR TimerId = 1;

}  // namespace

float SpinnerAngle(unsigned long long milliseconds) { return static_cast<float>((milliseconds / 4) % 360); }

bool Spinner::Attach(HWND window) {
  if (!Control::Attach(window)) return false;
  ::SetTimer(window, TimerId, 20, nullptr);
  return true;
}

AccessibleFacts Spinner::Describe(long child) const {
  AccessibleFacts facts = Control::Describe(child);
  // A progress bar without a value that is busy: what the system's own marquee progress bar
  // reports, so screen readers say "progress bar" and "busy"; an animation role tells nothing of
  // waiting.
  facts.name = name_;
  facts.role = ROLE_SYSTEM_PROGRESSBAR;
  facts.state |= STATE_SYSTEM_BUSY | STATE_SYSTEM_READONLY;
  return facts;
}

void Spinner::OnDestroyHook() { ::KillTimer(hwnd_, TimerId); }

void Spinner::Paint(HDC dc, const RECT& rect) {
  FillBackground(dc, rect, WM_CTLCOLORSTATIC);
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  const int side = std::min(width, height);
  const int pen = side / 10 + 1;
  const int d = side - pen;
  const float x = static_cast<float>(rect.left + (width - d) / 2);
  const float y = static_cast<float>(rect.top + (height - d) / 2);
  Gdip::Canvas canvas(dc);
  canvas.DrawArc(Theme::Instance().Colour(2), static_cast<float>(pen), x, y, static_cast<float>(d),
                 static_cast<float>(d), SpinnerAngle(::GetTickCount64()), 270);
}

LRESULT Spinner::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_TIMER && wParam == TimerId) {
    Redraw();
    return 0;
  }
  return Control::WindowProc(window, message, wParam, lParam);
}

}  // namespace QvUI
