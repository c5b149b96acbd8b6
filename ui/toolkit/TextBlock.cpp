// Static text painting.
#include "ui/toolkit/TextBlock.h"

#include "ui/toolkit/Theme.h"

namespace QvUI {

UINT StaticTextFormat(LONG_PTR style) {
  UINT format = DT_NOPREFIX;
  switch (style & SS_TYPEMASK) {
    case SS_CENTER:
      format |= DT_CENTER;
      break;
    case SS_RIGHT:
      format |= DT_RIGHT;
      break;
    case SS_SIMPLE:
    case SS_LEFTNOWORDWRAP:
      format |= DT_SINGLELINE;
      break;
    default:
      break;
  }
  if (!(format & DT_SINGLELINE)) format |= DT_WORDBREAK | DT_EDITCONTROL | DT_NOFULLWIDTHCHARBREAK;
  if (style & SS_CENTERIMAGE) format |= DT_VCENTER;
  switch (style & SS_ELLIPSISMASK) {
    case SS_ENDELLIPSIS:
      format |= DT_END_ELLIPSIS;
      break;
    case SS_PATHELLIPSIS:
      format |= DT_PATH_ELLIPSIS;
      break;
    default:
      break;
  }
  return format;
}

AccessibleFacts TextBlock::Describe(long child) const {
  AccessibleFacts facts = Control::Describe(child);
  facts.role = ROLE_SYSTEM_STATICTEXT;
  facts.state |= STATE_SYSTEM_READONLY;
  return facts;
}

void TextBlock::Paint(HDC dc, const RECT& rect) {
  FillBackground(dc, rect, WM_CTLCOLORSTATIC);
  const COLORREF colour = ::IsWindowEnabled(hwnd_) ? ::GetTextColor(dc) : Theme::Instance().Colour(12);
  const Selection selected(dc, Font());
  DrawTextIn(dc, Text(), rect, StaticTextFormat(Style()), colour);
}

}  // namespace QvUI
