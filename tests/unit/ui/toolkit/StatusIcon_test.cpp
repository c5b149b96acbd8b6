// The status icon's painting: path data filled even-odd into a real bitmap.
#include "ui/toolkit/StatusIcon.h"

#include <gtest/gtest.h>

#include "ui/toolkit/GdiPlus.h"

namespace {

// Path data drawn for real into a bitmap: a square with a square hole, or nothing at all when a
// number does not read.
TEST(StatusIconTest, FillsEvenOddOrNothingWhenTheDataIsBad) {
  const QvUI::Gdip::Session gdiplus;
  ASSERT_TRUE(gdiplus.Started());
  const struct {
    const char* data;
    bool drawn;
  } cases[] = {
      {"M 2 2 H 22 V 22 H 2 Z M 8 8 H 16 V 16 H 8 Z", true},
      {"M 2 2 H 22 V 22 H 2 Z M 8 8 H 16 V 16 H x Z", false},
      {"M 2,2 H 22 V 22 H 2 Z", false},
  };
  const COLORREF ink = RGB(0, 0xA5, 0x38);
  for (const auto& c : cases) {
    const HDC screen = ::GetDC(nullptr);
    const HDC dc = ::CreateCompatibleDC(screen);
    const HBITMAP bitmap = ::CreateCompatibleBitmap(screen, 48, 48);
    ::ReleaseDC(nullptr, screen);
    const HGDIOBJ previous = ::SelectObject(dc, bitmap);
    const RECT rect{0, 0, 48, 48};
    ::FillRect(dc, &rect, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
    EXPECT_EQ(QvUI::FillIconPath(dc, rect, c.data, ink), c.drawn) << c.data;
    // Scale 2: the frame between 4 and 44, the hole between 16 and 32.
    EXPECT_EQ(::GetPixel(dc, 8, 24), c.drawn ? ink : RGB(255, 255, 255)) << c.data;
    EXPECT_EQ(::GetPixel(dc, 24, 24), RGB(255, 255, 255)) << c.data;
    EXPECT_EQ(::GetPixel(dc, 1, 1), RGB(255, 255, 255)) << c.data;
    ::SelectObject(dc, previous);
    ::DeleteObject(bitmap);
    ::DeleteDC(dc);
  }
}

}  // namespace
