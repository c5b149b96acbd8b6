// The part of GDI+ the widgets draw with, bound at run time from the system's gdiplus.dll. Every
// call fails soft: without the library nothing is drawn and nothing is reported.
#pragma once

#include <windows.h>

#include <vector>

#include "ui/toolkit/VectorPath.h"

namespace QvUI::Gdip {

// GdiplusStartup for the life of the object (version 1, no debug callback).
class Session {
 public:
  Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;
  ~Session();
  bool Started() const { return token_ != 0; }

 private:
  ULONG_PTR token_ = 0;
};

// A figure list; alternate (even-odd) filling unless asked otherwise.
class Path {
 public:
  explicit Path(bool alternate = true);
  Path(const Path&) = delete;
  Path& operator=(const Path&) = delete;
  ~Path();
  void AddArc(float x, float y, float width, float height, float start, float sweep);
  void AddSegments(const std::vector<PathSegment>& segments);
  void CloseFigure();
  void* get() const { return path_; }

 private:
  void* path_ = nullptr;
  PathPoint last_;
};

// Anti-aliased drawing on a device context.
class Canvas {
 public:
  explicit Canvas(HDC dc);
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;
  ~Canvas();

  void FillPath(const Path& path, COLORREF colour);
  void DrawPath(const Path& path, COLORREF colour, float width);
  void FillEllipse(COLORREF colour, float x, float y, float width, float height);
  void DrawEllipse(COLORREF colour, float penWidth, float x, float y, float width, float height);
  // Round caps at both ends.
  void DrawPolyline(COLORREF colour, float penWidth, const std::vector<PathPoint>& points);
  void DrawArc(COLORREF colour, float penWidth, float x, float y, float width, float height, float start,
               float sweep);

 private:
  void* graphics_ = nullptr;
};

}  // namespace QvUI::Gdip
