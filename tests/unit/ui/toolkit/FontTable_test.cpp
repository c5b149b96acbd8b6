// Font sizes, weights and faces by id.
#include "ui/toolkit/FontTable.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(FontTableTest, SizeAndWeightById) {
  const int sizes[] = {26, 26, 18, 18, 16, 16, 14, 14, 12, 12, 11, 11, 10, 10, 9, 9, 8, 8};
  for (int id = 0; id < 18; ++id) {
    const QvUI::FontSpec fontSpec = QvUI::FontSpecFor(id);
    EXPECT_EQ(fontSpec.points, sizes[id]) << id;
    EXPECT_EQ(fontSpec.weight, id % 2 ? 600 : 400) << id;
  }
  for (const int other : {-1, 18, 19, 1000}) {
    EXPECT_EQ(QvUI::FontSpecFor(other).points, 11) << other;
    EXPECT_EQ(QvUI::FontSpecFor(other).weight, 400) << other;
  }
}

TEST(FontTableTest, FaceByWeightAndSystem) {
  const struct {
    int weight;
    bool windows62;
    const wchar_t* face;
  } cases[] = {
      {100, true, L"Segoe UI Light"},     {200, false, L"Segoe UI Light"}, {201, true, L"Segoe UI Semilight"},
      {300, true, L"Segoe UI Semilight"}, {300, false, L"Segoe UI"},       {301, true, L"Segoe UI"},
      {400, false, L"Segoe UI"},          {599, true, L"Segoe UI"},        {600, true, L"Segoe UI Semibold"},
      {900, false, L"Segoe UI Semibold"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(std::wstring(QvUI::FontFaceFor(c.weight, c.windows62)), c.face)
        << c.weight << " " << c.windows62;
}

}  // namespace
