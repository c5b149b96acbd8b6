// Button painting.
#include "ui/toolkit/Button.h"

#include <algorithm>

#include "ui/toolkit/GdiPlus.h"
#include "ui/toolkit/Theme.h"

namespace QvUI {

void Button::SetPrimary(bool primary) {
  primary_ = primary ? 1 : 0;
  if (hwnd_) ::InvalidateRect(hwnd_, nullptr, TRUE);
}

void Button::SetIcon(HICON icon) {
  icon_.reset(icon);
  if (hwnd_) ::InvalidateRect(hwnd_, nullptr, TRUE);
}

AccessibleFacts Button::Describe(long child) const {
  AccessibleFacts facts = Control::Describe(child);
  facts.role = ROLE_SYSTEM_PUSHBUTTON;
  facts.state |= STATE_SYSTEM_FOCUSABLE;
  // The dialog manager moves the default style to the push button that has the focus.
  if ((Style() & BS_TYPEMASK) == BS_DEFPUSHBUTTON) facts.state |= STATE_SYSTEM_DEFAULT;
  facts.defaultAction = L"Press";
  return facts;
}

void Button::OnStateChanged(int changed) {
  if (changed & focusMask_) {
    // Drawing the focus rectangle again with XOR toggles it without a full repaint.
    const WindowDc dc(hwnd_);
    ::SetTextColor(dc.get(), Theme::Instance().Colour(10));
    ::DrawFocusRect(dc.get(), &focusRect_);
  }
  if (changed & (hotMask_ | pressedMask_)) ::InvalidateRect(hwnd_, nullptr, FALSE);
}

void Button::Paint(HDC dc, const RECT& rect) {
  FillBackground(dc, rect, WM_CTLCOLORBTN);
  const Theme& theme = Theme::Instance();
  const bool enabled = ::IsWindowEnabled(hwnd_) != FALSE;
  const int step = HasState(pressedMask_) ? 2 : HasState(hotMask_) ? 1 : 0;
  int fill, border, text;
  if (primary_) {
    fill = enabled ? 2 + step : 5;
    border = -1;
    text = enabled ? 13 : 14;
  } else {
    fill = enabled ? 6 + step : 9;
    border = enabled ? 2 + step : 5;
    text = enabled ? 15 : 16;
  }

  const int dpi = Dpi();
  const int height = rect.bottom - rect.top;
  const float d =
      static_cast<float>(std::min(ScaleToDpi(48, static_cast<int>(theme.ScaleFactor() * dpi)), height));
  const float i = primary_ ? 0.0f : 1.0f;
  const float size = d - 2 * i;
  const float right = static_cast<float>(rect.right) - d - 1 + i;
  const float bottom = static_cast<float>(rect.bottom) - d - 1 + i;
  Gdip::Path shape(false);
  shape.AddArc(static_cast<float>(rect.left) + i, static_cast<float>(rect.top) + i, size, size, 180, 90);
  shape.AddArc(right, static_cast<float>(rect.top) + i, size, size, 270, 90);
  shape.AddArc(right, bottom, size, size, 0, 90);
  shape.AddArc(static_cast<float>(rect.left) + i, bottom, size, size, 90, 90);
  shape.CloseFigure();
  {
    Gdip::Canvas canvas(dc);
    canvas.FillPath(shape, theme.Colour(fill));
    if (border >= 0) canvas.DrawPath(shape, theme.Colour(border), PenWidthAtDpi(1, dpi));
  }

  const int margin = ScaleToDpi(8, dpi);
  RECT box{rect.left + margin, rect.top, rect.right - margin, rect.bottom - 2};
  const std::wstring label = Text();
  const HFONT font = Font();
  const SIZE extent = MeasureText(dc, font, label);
  int iconSize = 0;
  if (icon_) {
    TEXTMETRICW metrics{};
    const Selection selected(dc, font);
    ::GetTextMetricsW(dc, &metrics);
    iconSize = metrics.tmHeight;
  }
  const int contentWidth = extent.cx + (icon_ ? iconSize + margin : 0);
  const bool fits = contentWidth <= box.right - box.left;
  if (fits) box.left += (box.right - box.left - contentWidth) / 2;
  if (icon_) {
    ::DrawIconEx(dc, box.left, rect.top + (height - iconSize) / 2, icon_.get(), iconSize, iconSize, 0,
                 nullptr, DI_NORMAL);
    box.left += iconSize + margin;
  }
  {
    const Selection selected(dc, font);
    DrawTextIn(dc, label, box, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | (fits ? 0 : DT_END_ELLIPSIS),
               theme.Colour(text));
  }

  const int textWidth = std::min<int>(extent.cx, box.right - box.left);
  const int top = rect.top + (height - extent.cy) / 2;
  focusRect_ = {box.left - 2, top, box.left + textWidth + 2, top + extent.cy};
  if (HasState(focusMask_)) {
    ::SetTextColor(dc, theme.Colour(10));
    ::DrawFocusRect(dc, &focusRect_);
  }
}

}  // namespace QvUI
