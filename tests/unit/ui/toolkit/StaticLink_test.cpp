// The link control for real: its markers, hit testing on the wrapped link and keyboard activation.
#include "ui/toolkit/StaticLink.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/support/ParentWindow.h"

namespace {

using Parent = QvTest::ParentWindow;

TEST(StaticLinkTest, MarkersDecideTextLinkAndTabStop) {
  const struct {
    const wchar_t* text;
    const wchar_t* shown;
    bool tabStop;
  } cases[] = {
      {L"No link", L"No link", false},
      {L"One [#] marker", L"One [#] marker", false},
      {L"See [#]the terms[#].", L"See the terms.", true},
      {L"Empty [#][#] link", L"Empty  link", false},
  };
  const Parent parent;
  QvUI::StaticLink link;
  ASSERT_TRUE(link.Attach(parent.Child(L"STATIC", SS_LEFT | WS_TABSTOP, L"", 300, 40, 7)));
  for (const auto& c : cases) {
    link.SetText(c.text);
    EXPECT_EQ(link.Text(), c.shown) << c.text;
    EXPECT_EQ((link.Style() & WS_TABSTOP) != 0, c.tabStop) << c.text;
  }
}

// Hit testing answers on the link's boxes only, wherever the wrap put them, and Space activates it.
TEST(StaticLinkTest, OnlyTheLinkIsHitAlsoWhenItWrapsAndSpaceActivatesIt) {
  const Parent parent;
  QvUI::StaticLink link;
  ASSERT_TRUE(link.Attach(parent.Child(L"STATIC", SS_LEFT, L"", 150, 80, 7)));
  link.SetText(L"Please read the [#]licence terms of the product[#] first.");
  // WM_PRINTCLIENT paints (and lays out) without the window being on screen.
  const HDC screen = ::GetDC(nullptr);
  const HDC dc = ::CreateCompatibleDC(screen);
  const HBITMAP bitmap = ::CreateCompatibleBitmap(screen, 150, 80);
  const HGDIOBJ previous = ::SelectObject(dc, bitmap);
  ASSERT_EQ(::SendMessageW(link.Handle(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT), 0);
  ::SelectObject(dc, previous);
  ::DeleteObject(bitmap);
  ::DeleteDC(dc);
  ::ReleaseDC(nullptr, screen);

  const std::vector<RECT> rects = link.LinkRects();
  ASSERT_GE(rects.size(), 2u) << "the link wraps onto a second line";
  EXPECT_GT(rects.back().top, rects.front().top);
  const auto hit = [&](int x, int y) {
    POINT point{x, y};
    ::ClientToScreen(link.Handle(), &point);
    return ::SendMessageW(link.Handle(), WM_NCHITTEST, 0, MAKELPARAM(point.x, point.y));
  };
  for (const RECT& r : rects) {
    EXPECT_EQ(hit((r.left + r.right) / 2, (r.top + r.bottom) / 2), HTCLIENT);
    EXPECT_EQ(hit(r.left, r.top), HTCLIENT);
  }
  EXPECT_EQ(hit(1, 1), HTNOWHERE) << "the text before the link";
  EXPECT_EQ(hit(149, 79), HTNOWHERE);

  EXPECT_EQ(::SendMessageW(link.Handle(), WM_GETDLGCODE, 0, 0), DLGC_WANTCHARS);
  Parent::Commands().clear();
  ::SendMessageW(link.Handle(), WM_CHAR, L'x', 0);
  ::SendMessageW(link.Handle(), WM_CHAR, L' ', 0);
  EXPECT_EQ(Parent::Commands(), std::vector<WPARAM>{MAKEWPARAM(7, BN_CLICKED)});
}

}  // namespace
