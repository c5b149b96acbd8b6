// Window operations by handle and control id: style bits, text and client size.
#include "ui/toolkit/Wnd.h"

#include <gtest/gtest.h>

#include "tests/support/ParentWindow.h"
#include "ui/toolkit/Button.h"

namespace {

using Parent = QvTest::ParentWindow;

TEST(WndTest, StyleTypeBitsAndClientSize) {
  const Parent parent;
  QvUI::Button button;
  ASSERT_TRUE(button.Attach(parent.Child(L"BUTTON", BS_DEFPUSHBUTTON | WS_TABSTOP, L"x", 50, 20, 3)));
  button.ModifyStyle(BS_AUTOCHECKBOX, true);
  EXPECT_EQ(button.Style() & 0x1F, BS_AUTOCHECKBOX) << "the old type is replaced, not combined";
  EXPECT_TRUE(button.Style() & WS_TABSTOP);
  button.ModifyStyle(WS_TABSTOP, false);
  EXPECT_EQ(button.Style() & (0x1F | WS_TABSTOP), BS_AUTOCHECKBOX);

  QvUI::Wnd none;
  EXPECT_EQ(none.ClientSize().cx, 0);
  EXPECT_EQ(none.Style(), 0);
  EXPECT_FALSE(none.SetText(L"x"));
  EXPECT_TRUE(none.Text().empty());

  // A top-level window with a caption: the client area gets the size asked for.
  class Top : public QvUI::Wnd {
   public:
    explicit Top(HWND window) { hwnd_ = window; }
  } top(parent.get());
  ASSERT_TRUE(top.SetClientSize(321, 123, false));
  EXPECT_EQ(top.ClientSize().cx, 321);
  EXPECT_EQ(top.ClientSize().cy, 123);
  EXPECT_EQ(top.Text(3), L"x") << "a child by control id";
}

}  // namespace
