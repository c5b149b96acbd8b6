// Check box and radio painting and group behaviour.
#include "ui/toolkit/Checkbox.h"

#include <windowsx.h>

#include "ui/toolkit/GdiPlus.h"
#include "ui/toolkit/Theme.h"

namespace QvUI {

bool Checkbox::IsChecked() const { return hwnd_ && ::SendMessageW(hwnd_, BM_GETCHECK, 0, 0) == BST_CHECKED; }

bool Checkbox::IsRadio() const {
  const LONG_PTR type = Style() & 0x0F;
  return type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON;
}

AccessibleFacts Checkbox::Describe(long child) const {
  AccessibleFacts facts = Control::Describe(child);
  const bool checked = IsChecked();
  facts.role = IsRadio() ? ROLE_SYSTEM_RADIOBUTTON : ROLE_SYSTEM_CHECKBUTTON;
  // A radio without a tab stop is still reached with the arrow keys inside its group.
  facts.state |= STATE_SYSTEM_FOCUSABLE | (checked ? STATE_SYSTEM_CHECKED : 0);
  facts.defaultAction = checked && !IsRadio() ? L"Uncheck" : L"Check";
  return facts;
}

void Checkbox::OnClick() {
  if (IsRadio()) {
    ::SendMessageW(hwnd_, BM_SETCHECK, BST_CHECKED, 0);
    const HWND parent = ::GetParent(hwnd_);
    for (HWND other = ::GetNextDlgGroupItem(parent, hwnd_, FALSE); other && other != hwnd_;
         other = ::GetNextDlgGroupItem(parent, other, FALSE))
      ::SendMessageW(other, BM_SETCHECK, BST_UNCHECKED, 0);
  } else {
    ::SendMessageW(hwnd_, BM_SETCHECK, IsChecked() ? BST_UNCHECKED : BST_CHECKED, 0);
  }
  ::InvalidateRect(hwnd_, nullptr, FALSE);
  Notify(BN_CLICKED);
}

void Checkbox::OnStateChanged(int changed) {
  if (changed & focusMask_) {
    const WindowDc dc(hwnd_);
    ::SetTextColor(dc.get(), RGB(0, 0, 0));
    ::DrawFocusRect(dc.get(), &focusRect_);
  }
  if (changed & (hotMask_ | pressedMask_)) ::InvalidateRect(hwnd_, nullptr, FALSE);
}

void Checkbox::Paint(HDC dc, const RECT& rect) {
  FillBackground(dc, rect, WM_CTLCOLORBTN);
  const Theme& theme = Theme::Instance();
  const bool enabled = ::IsWindowEnabled(hwnd_) != FALSE;
  const int step = HasState(pressedMask_) ? 2 : HasState(hotMask_) ? 1 : 0;
  const COLORREF accent = theme.Colour(enabled ? 2 + step : 5);
  const COLORREF face = theme.Colour(enabled ? 6 + step : 9);
  const COLORREF check = theme.Colour(enabled ? 13 : 14);

  const int windowDpi = Dpi();
  const int markWidth = SystemMetricForDpi(SM_CXMENUCHECK, windowDpi);
  const int markHeight = SystemMetricForDpi(SM_CYMENUCHECK, windowDpi);
  const int edge = SystemMetricForDpi(SM_CXEDGE, windowDpi);
  const int indent = markWidth + 6 * edge;
  const std::wstring label = Text();
  const SIZE extent = MeasureText(dc, Font(), label);
  const LONG_PTR style = Style();
  RECT text{rect.left + indent, rect.top, rect.left + indent + extent.cx, rect.top + extent.cy};
  const int room = rect.right - rect.left - indent;
  const int spareX = room - extent.cx;
  const int spareY = rect.bottom - rect.top - extent.cy;
  int dx = 0;
  if ((style & BS_CENTER) == BS_CENTER)
    dx = spareX / 2;
  else if (style & BS_RIGHT)
    dx = spareX;
  int dy = spareY / 2;
  if ((style & BS_VCENTER) == BS_VCENTER)
    dy = spareY / 2;
  else if (style & BS_TOP)
    dy = 0;
  else if (style & BS_BOTTOM)
    dy = spareY;
  ::OffsetRect(&text, dx > 0 ? dx : 0, dy);
  {
    const Selection selected(dc, Font());
    DrawTextIn(dc, label, text, DT_SINGLELINE | DT_NOPREFIX | DT_VCENTER, theme.Colour(enabled ? 10 : 12));
  }
  focusRect_ = text;
  hitRect_ = {text.left - indent, text.top, text.right, text.bottom};

  const float dpi = static_cast<float>(windowDpi);
  const float x = static_cast<float>(text.left - indent + edge);
  const float y = static_cast<float>(text.top + (extent.cy - markHeight) / 2);
  const float w = static_cast<float>(markWidth);
  const float h = static_cast<float>(markHeight);
  const bool checked = IsChecked();
  Gdip::Canvas canvas(dc);
  if (IsRadio()) {
    canvas.FillEllipse(face, x, y, w - 1, h - 1);
    canvas.DrawEllipse(accent, PenWidthAtDpi(1, dpi), x, y, w - 1, h - 1);
    if (checked) canvas.FillEllipse(accent, x + w / 4, y + h / 4, w / 2 - 1, h / 2 - 1);
  } else {
    const float d = static_cast<float>(ScaleToDpi(4, windowDpi));
    const float inset = checked ? 0.0f : 1.0f;
    const float left = x + inset, top = y + inset, right = x + w - 1 - inset, bottom = y + h - 1 - inset;
    Gdip::Path square(false);
    square.AddArc(left, top, d, d, 180, 90);
    square.AddArc(right - d, top, d, d, 270, 90);
    square.AddArc(right - d, bottom - d, d, d, 0, 90);
    square.AddArc(left, bottom - d, d, d, 90, 90);
    square.CloseFigure();
    if (checked) {
      canvas.FillPath(square, accent);
      const auto at = [&](float px, float py) { return PathPoint{x + px * w / 24, y + py * h / 24}; };
      canvas.DrawPolyline(check, PenWidthAtDpi(2, dpi), {at(6.5f, 12.25f), at(10.25f, 17), at(17.5f, 7)});
    } else {
      canvas.FillPath(square, face);
      canvas.DrawPath(square, accent, PenWidthAtDpi(1, dpi));
    }
  }
  if (HasState(focusMask_)) {
    ::SetTextColor(dc, RGB(0, 0, 0));
    ::DrawFocusRect(dc, &focusRect_);
  }
}

LRESULT Checkbox::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCHITTEST) {
    POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    ::ScreenToClient(window, &point);
    return ::PtInRect(&hitRect_, point) ? HTCLIENT : HTNOWHERE;
  }
  return Control::WindowProc(window, message, wParam, lParam);
}

}  // namespace QvUI
