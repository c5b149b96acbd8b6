// SVG path-data subset reader.
#include "ui/toolkit/VectorPath.h"

#include <charconv>

namespace QvUI {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }

class Reader {
 public:
  explicit Reader(std::string_view data) : data_(data) {}

  void SkipBlanks() {
    while (at_ < data_.size() && IsBlank(data_[at_])) ++at_;
  }

  // The next non-blank character, consumed; 0 at the end.
  char Command() {
    SkipBlanks();
    return at_ < data_.size() ? data_[at_++] : '\0';
  }

  // On failure nothing is consumed, so the offending character is read as the next command.
  bool Number(float& value) {
    SkipBlanks();
    const char* first = data_.data() + at_;
    const char* last = data_.data() + data_.size();
    if (first != last && *first == '+') ++first;  // from_chars refuses a leading plus
    const auto [end, error] = std::from_chars(first, last, value, std::chars_format::general);
    if (error != std::errc()) return false;
    at_ = static_cast<size_t>(end - data_.data());
    return true;
  }

  bool Point(PathPoint& point) { return Number(point.x) && Number(point.y); }

 private:
  std::string_view data_;
  size_t at_ = 0;
};

}  // namespace

bool ParsePathData(std::string_view data, std::vector<PathSegment>& segments) {
  Reader reader(data);
  PathPoint current;
  bool ok = true;
  for (char command = reader.Command(); command != '\0'; command = reader.Command()) {
    PathSegment segment;
    bool read = true;
    switch (command) {
      case 'M':
      case 'L':
        segment.kind = command == 'M' ? PathSegment::Move : PathSegment::Line;
        read = reader.Point(segment.points[0]);
        break;
      case 'H':
        segment.kind = PathSegment::Line;
        segment.points[0].y = current.y;
        read = reader.Number(segment.points[0].x);
        break;
      case 'V':
        segment.kind = PathSegment::Line;
        segment.points[0].x = current.x;
        read = reader.Number(segment.points[0].y);
        break;
      case 'C':
        segment.kind = PathSegment::Cubic;
        read = reader.Point(segment.points[0]) && reader.Point(segment.points[1]) &&
               reader.Point(segment.points[2]);
        break;
      case 'Z':
        segment.kind = PathSegment::Close;
        break;
      default:
        continue;  // relative commands, arcs and shorthand curves are not supported
    }
    if (!read) {
      ok = false;
      continue;
    }
    segments.push_back(segment);
    if (segment.kind == PathSegment::Close)
      current = {};
    else
      current = segment.points[segment.kind == PathSegment::Cubic ? 2 : 0];
  }
  return ok;
}

}  // namespace QvUI
