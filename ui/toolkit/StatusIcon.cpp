// The status icon widget: its kind, its accessible name and its painting.
#include "ui/toolkit/StatusIcon.h"

#include <algorithm>
#include <vector>

#include "ui/toolkit/GdiPlus.h"
#include "ui/toolkit/VectorPath.h"
#include "ui/toolkit/StatusIconShapes.h"
#include "ui/toolkit/Theme.h"

namespace QvUI {

void StatusIcon::SetKind(int kind) {
  kind_ = kind;
  if (!hwnd_) return;
  ::InvalidateRect(hwnd_, nullptr, FALSE);
  ::NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, hwnd_, OBJID_CLIENT, CHILDID_SELF);
}

AccessibleFacts StatusIcon::Describe(long child) const {
  AccessibleFacts facts = Control::Describe(child);
  facts.role = ROLE_SYSTEM_GRAPHIC;
  facts.state |= STATE_SYSTEM_READONLY;
  // The texts hold no single words for the kinds; these stay English in every language.
  switch (kind_) {
    case StatusError:
      facts.name = L"Error";
      break;
    case StatusWarning:
      facts.name = L"Warning";
      break;
    case StatusInformation:
      facts.name = L"Information";
      break;
    case StatusSuccess:
      facts.name = L"Success";
      break;
    default:
      facts.name = L"Question";
      break;
  }
  return facts;
}

void StatusIcon::Paint(HDC dc, const RECT& rect) {
  FillBackground(dc, rect, WM_CTLCOLORSTATIC);
  FillIconPath(dc, rect, StatusIconPath(kind_), Theme::Instance().Colour(StatusIconColour(kind_)));
}

bool FillIconPath(HDC dc, const RECT& rect, const char* pathData, COLORREF colour) {
  std::vector<PathSegment> segments;
  if (!ParsePathData(pathData, segments)) return false;
  const float width = static_cast<float>(rect.right - rect.left);
  const float height = static_cast<float>(rect.bottom - rect.top);
  const float scale = std::min(width / 24, height / 24);
  const float dx = static_cast<float>(rect.left) + (width - 24 * scale) / 2;
  const float dy = static_cast<float>(rect.top) + (height - 24 * scale) / 2;
  for (PathSegment& segment : segments)
    for (PathPoint& point : segment.points) point = {point.x * scale + dx, point.y * scale + dy};
  Gdip::Path path(true);
  path.AddSegments(segments);
  Gdip::Canvas canvas(dc);
  canvas.FillPath(path, colour);
  return true;
}

}  // namespace QvUI
