// Vector paths: a reader for the subset of SVG path data the status icons are written in (absolute
// M, L, H, V, C and Z, one command letter before every segment, numbers separated by blanks). No
// windows.h.
#pragma once

#include <string_view>
#include <vector>

namespace QvUI {

struct PathPoint {
  float x = 0;
  float y = 0;
  bool operator==(const PathPoint&) const = default;
};

struct PathSegment {
  enum Kind { Move, Line, Cubic, Close };
  Kind kind = Move;
  // Move and Line use points[0]; Cubic: two control points, then the end point.
  PathPoint points[3] = {};
  bool operator==(const PathSegment&) const = default;
};

// Appends the segments it reads (H and V become lines to the full point). Unknown characters are
// skipped. False when a number could not be read; the caller then draws nothing.
bool ParsePathData(std::string_view data, std::vector<PathSegment>& segments);

}  // namespace QvUI
