// The status icons' designs: every kind reads as closed figures inside the 24 x 24 box.
#include "ui/toolkit/StatusIconShapes.h"

#include <gtest/gtest.h>

#include <vector>

#include "ui/toolkit/VectorPath.h"

namespace {

using QvUI::PathSegment;

TEST(StatusIconShapesTest, EveryStatusIconReadsAsClosedFiguresInsideTheBox) {
  for (int kind = 0; kind <= 5; ++kind) {
    std::vector<PathSegment> segments;
    ASSERT_TRUE(QvUI::ParsePathData(QvUI::StatusIconPath(kind), segments)) << kind;
    ASSERT_FALSE(segments.empty());
    EXPECT_EQ(segments.front().kind, PathSegment::Move) << kind;
    EXPECT_EQ(segments.back().kind, PathSegment::Close) << kind;
    int figures = 0;
    for (const PathSegment& s : segments) {
      figures += s.kind == PathSegment::Move;
      for (const auto& p : s.points) {
        EXPECT_GE(p.x, 0) << kind;
        EXPECT_LE(p.x, 24) << kind;
        EXPECT_GE(p.y, 0) << kind;
        EXPECT_LE(p.y, 24) << kind;
      }
    }
    // The outer shape and at least one cut-out.
    EXPECT_GE(figures, 2) << kind;
  }
}

}  // namespace
