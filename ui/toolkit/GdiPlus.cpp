// GDI+ flat API bound from the system directory at first use.
#include "ui/toolkit/GdiPlus.h"

// WIN32_LEAN_AND_MEAN leaves out the COM types GDI+ needs.
#include <objidl.h>

#include <gdiplus.h>

#include "base/ProcAddress.h"
#include "ui/toolkit/SystemApis.h"

namespace QvUI::Gdip {

namespace {

namespace G = Gdiplus;
namespace F = Gdiplus::DllExports;

// clang-format off
#define QV_GDIP_FUNCTIONS(X) \
  X(GdiplusStartup) \
  X(GdiplusShutdown) \
  X(GdipCreateFromHDC) \
  X(GdipDeleteGraphics) \
  X(GdipSetSmoothingMode) \
  X(GdipCreatePath) \
  X(GdipDeletePath) \
  X(GdipAddPathArc) \
  X(GdipAddPathLine) \
  X(GdipAddPathBezier) \
  X(GdipStartPathFigure) \
  X(GdipClosePathFigure) \
  X(GdipFillPath) \
  X(GdipDrawPath) \
  X(GdipCreateSolidFill) \
  X(GdipDeleteBrush) \
  X(GdipCreatePen1) \
  X(GdipDeletePen) \
  X(GdipSetPenLineCap197819) \
  X(GdipFillEllipse) \
  X(GdipDrawEllipse) \
  X(GdipDrawLines) \
  X(GdipDrawArc)
// clang-format on

// Both names live in namespace Gdiplus (the start-up pair outside DllExports).
using G::GdiplusShutdown;
using G::GdiplusStartup;
using namespace F;

struct Api {
#define QV_GDIP_MEMBER(name) decltype(&name) name = nullptr;
  QV_GDIP_FUNCTIONS(QV_GDIP_MEMBER)
#undef QV_GDIP_MEMBER
  bool complete = false;
};

// Bound once; the library stays loaded for the process.
const Api& Functions() {
  static const Api api = [] {
    Api bound;
    const HMODULE library = QvProc::LoadSystemLibrary(L"gdiplus.dll").release();
    bound.complete = library != nullptr;
#define QV_GDIP_BIND(name)                                   \
  bound.name = QvProc::Get<decltype(&name)>(library, #name); \
  bound.complete = bound.complete && bound.name != nullptr;
    QV_GDIP_FUNCTIONS(QV_GDIP_BIND)
#undef QV_GDIP_BIND
    return bound;
  }();
  return api;
}

G::ARGB Argb(COLORREF colour) {
  return 0xFF000000u | (static_cast<G::ARGB>(GetRValue(colour)) << 16) |
         (static_cast<G::ARGB>(GetGValue(colour)) << 8) | GetBValue(colour);
}

class Brush {
 public:
  explicit Brush(COLORREF colour) { Functions().GdipCreateSolidFill(Argb(colour), &brush_); }
  ~Brush() {
    if (brush_) Functions().GdipDeleteBrush(brush_);
  }
  G::GpBrush* get() const { return brush_; }

 private:
  G::GpSolidFill* brush_ = nullptr;
};

class Pen {
 public:
  Pen(COLORREF colour, float width, bool roundCaps) {
    Functions().GdipCreatePen1(Argb(colour), width, G::UnitPixel, &pen_);
    if (pen_ && roundCaps)
      Functions().GdipSetPenLineCap197819(pen_, G::LineCapRound, G::LineCapRound, G::DashCapRound);
  }
  ~Pen() {
    if (pen_) Functions().GdipDeletePen(pen_);
  }
  G::GpPen* get() const { return pen_; }

 private:
  G::GpPen* pen_ = nullptr;
};

G::GpGraphics* Graphics(void* graphics) { return static_cast<G::GpGraphics*>(graphics); }
G::GpPath* PathOf(const Path& path) { return static_cast<G::GpPath*>(path.get()); }

}  // namespace

Session::Session() {
  if (!Functions().complete) return;
  G::GdiplusStartupInput input;
  ULONG_PTR token = 0;
  if (Functions().GdiplusStartup(&token, &input, nullptr) == G::Ok) token_ = token;
}

Session::~Session() {
  if (token_ != 0) Functions().GdiplusShutdown(token_);
}

Path::Path(bool alternate) {
  if (!Functions().complete) return;
  G::GpPath* path = nullptr;
  if (Functions().GdipCreatePath(alternate ? G::FillModeAlternate : G::FillModeWinding, &path) == G::Ok)
    path_ = path;
}

Path::~Path() {
  if (path_) Functions().GdipDeletePath(static_cast<G::GpPath*>(path_));
}

void Path::AddArc(float x, float y, float width, float height, float start, float sweep) {
  if (path_) Functions().GdipAddPathArc(static_cast<G::GpPath*>(path_), x, y, width, height, start, sweep);
}

void Path::AddSegments(const std::vector<PathSegment>& segments) {
  if (!path_) return;
  auto* path = static_cast<G::GpPath*>(path_);
  for (const PathSegment& s : segments) {
    const PathPoint* p = s.points;
    switch (s.kind) {
      case PathSegment::Move:
        Functions().GdipStartPathFigure(path);
        last_ = p[0];
        break;
      case PathSegment::Line:
        Functions().GdipAddPathLine(path, last_.x, last_.y, p[0].x, p[0].y);
        last_ = p[0];
        break;
      case PathSegment::Cubic:
        Functions().GdipAddPathBezier(path, last_.x, last_.y, p[0].x, p[0].y, p[1].x, p[1].y, p[2].x, p[2].y);
        last_ = p[2];
        break;
      case PathSegment::Close:
        Functions().GdipClosePathFigure(path);
        last_ = {};
        break;
    }
  }
}

void Path::CloseFigure() {
  if (path_) Functions().GdipClosePathFigure(static_cast<G::GpPath*>(path_));
}

Canvas::Canvas(HDC dc) {
  if (!Functions().complete) return;
  G::GpGraphics* graphics = nullptr;
  if (Functions().GdipCreateFromHDC(dc, &graphics) != G::Ok) return;
  graphics_ = graphics;
  Functions().GdipSetSmoothingMode(graphics, G::SmoothingModeAntiAlias);
}

Canvas::~Canvas() {
  if (graphics_) Functions().GdipDeleteGraphics(Graphics(graphics_));
}

void Canvas::FillPath(const Path& path, COLORREF colour) {
  if (!graphics_ || !path.get()) return;
  const Brush brush(colour);
  if (brush.get()) Functions().GdipFillPath(Graphics(graphics_), brush.get(), PathOf(path));
}

void Canvas::DrawPath(const Path& path, COLORREF colour, float width) {
  if (!graphics_ || !path.get()) return;
  const Pen pen(colour, width, false);
  if (pen.get()) Functions().GdipDrawPath(Graphics(graphics_), pen.get(), PathOf(path));
}

void Canvas::FillEllipse(COLORREF colour, float x, float y, float width, float height) {
  if (!graphics_) return;
  const Brush brush(colour);
  if (brush.get()) Functions().GdipFillEllipse(Graphics(graphics_), brush.get(), x, y, width, height);
}

void Canvas::DrawEllipse(COLORREF colour, float penWidth, float x, float y, float width, float height) {
  if (!graphics_) return;
  const Pen pen(colour, penWidth, false);
  if (pen.get()) Functions().GdipDrawEllipse(Graphics(graphics_), pen.get(), x, y, width, height);
}

void Canvas::DrawPolyline(COLORREF colour, float penWidth, const std::vector<PathPoint>& points) {
  if (!graphics_ || points.size() < 2) return;
  const Pen pen(colour, penWidth, true);
  std::vector<G::GpPointF> gp;
  for (const PathPoint& p : points) gp.emplace_back(p.x, p.y);
  if (pen.get())
    Functions().GdipDrawLines(Graphics(graphics_), pen.get(), gp.data(), static_cast<INT>(gp.size()));
}

void Canvas::DrawArc(COLORREF colour, float penWidth, float x, float y, float width, float height,
                     float start, float sweep) {
  if (!graphics_) return;
  const Pen pen(colour, penWidth, true);
  if (pen.get()) Functions().GdipDrawArc(Graphics(graphics_), pen.get(), x, y, width, height, start, sweep);
}

}  // namespace QvUI::Gdip
