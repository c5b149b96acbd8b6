// The path-data reader: each command, what it skips, what makes it fail.
#include "ui/toolkit/VectorPath.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using QvUI::PathSegment;

PathSegment Move(float x, float y) { return {PathSegment::Move, {{x, y}, {}, {}}}; }
PathSegment Line(float x, float y) { return {PathSegment::Line, {{x, y}, {}, {}}}; }
PathSegment Cubic(float a, float b, float c, float d, float x, float y) {
  return {PathSegment::Cubic, {{a, b}, {c, d}, {x, y}}};
}
PathSegment Close() { return {PathSegment::Close, {}}; }

TEST(VectorPathTest, CommandsAndWhatTheyRead) {
  const struct {
    const char* data;
    bool ok;
    std::vector<PathSegment> segments;
  } cases[] = {
      {"", true, {}},
      {"   \n\t", true, {}},
      {"M 1 2", true, {Move(1, 2)}},
      {"M 1 2 L 3.5 -4", true, {Move(1, 2), Line(3.5f, -4)}},
      {"M 1 2 H 7", true, {Move(1, 2), Line(7, 2)}},
      {"M 1 2 V 9", true, {Move(1, 2), Line(1, 9)}},
      {"M 1 2 H 5 V 6 H 0", true, {Move(1, 2), Line(5, 2), Line(5, 6), Line(0, 6)}},
      {"M0 0C1 2 3 4 5 6", true, {Move(0, 0), Cubic(1, 2, 3, 4, 5, 6)}},
      // Z closes and moves the current point to the origin, which H and V then use.
      {"M 4 4 L 8 4 Z H 3", true, {Move(4, 4), Line(8, 4), Close(), Line(3, 0)}},
      {"M 4 4 Z V 3", true, {Move(4, 4), Close(), Line(0, 3)}},
      {"M 1e1 +2 L .5 -0.25", true, {Move(10, 2), Line(0.5f, -0.25f)}},
      // Lower-case, arcs and shorthand curves are skipped without reading their numbers; the
      // numbers then read as (skipped) characters.
      {"M 1 1 l 2 2 L 3 3", true, {Move(1, 1), Line(3, 3)}},
      {"M 1 1 A L 2 2", true, {Move(1, 1), Line(2, 2)}},
      {"M 1 1 S Q T L 2 2", true, {Move(1, 1), Line(2, 2)}},
      // No implicit repetition: the extra pair is skipped.
      {"M 1 1 L 2 2 3 3", true, {Move(1, 1), Line(2, 2)}},
      // A number that cannot be read fails the whole path.
      {"M 1,2 L 3 4", false, {Line(3, 4)}},
      {"M x 2", false, {}},
      {"L 1", false, {}},
      {"C 1 2 3 4 5", false, {}},
      {"M 1 2 H", false, {Move(1, 2)}},
  };
  for (const auto& c : cases) {
    std::vector<PathSegment> segments;
    EXPECT_EQ(QvUI::ParsePathData(c.data, segments), c.ok) << c.data;
    EXPECT_EQ(segments, c.segments) << c.data;
  }
}

}  // namespace
