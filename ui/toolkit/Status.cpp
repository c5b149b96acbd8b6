// Status icon painting.
#include "ui/toolkit/Status.h"

#include <algorithm>
#include <vector>

#include "ui/toolkit/GdiPlus.h"
#include "ui/toolkit/PathData.h"
#include "ui/toolkit/StatusIcons.h"
#include "ui/toolkit/Theme.h"

namespace QvUI {

void Status::SetKind(int kind) {
  kind_ = kind;
  if (hwnd_) ::InvalidateRect(hwnd_, nullptr, FALSE);
}

void Status::Paint(HDC dc, const RECT& rect) {
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
