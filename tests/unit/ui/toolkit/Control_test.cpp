// The control state machine for real: the clicks that presses, releases and double clicks make.
#include "ui/toolkit/Control.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/support/ParentWindow.h"
#include "ui/toolkit/Button.h"

namespace {

using Parent = QvTest::ParentWindow;

TEST(ControlTest, ClicksFromPressesReleasesAndDoubleClicks) {
  const struct {
    const char* name;
    std::vector<UINT> messages;
    size_t clicks;
  } cases[] = {
      {"press and release", {WM_LBUTTONDOWN, WM_LBUTTONUP}, 1},
      {"a double click as Windows sends it",
       {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP},
       2},
      {"the double-click message alone", {WM_LBUTTONDBLCLK}, 1},
      {"release without press", {WM_LBUTTONUP}, 0},
      {"the mouse left while pressed", {WM_LBUTTONDOWN, WM_MOUSELEAVE, WM_LBUTTONUP}, 0},
  };
  const Parent parent;
  for (const auto& c : cases) {
    QvUI::Button button;
    ASSERT_TRUE(button.Attach(parent.Child(L"BUTTON", BS_PUSHBUTTON, L"Go", 100, 30, 42))) << c.name;
    Parent::Commands().clear();
    for (const UINT message : c.messages) ::SendMessageW(button.Handle(), message, 0, MAKELPARAM(10, 10));
    EXPECT_EQ(Parent::Commands(), std::vector<WPARAM>(c.clicks, MAKEWPARAM(42, BN_CLICKED))) << c.name;
    EXPECT_FALSE(button.HasState(4)) << c.name << ": still pressed";
    const HWND window = button.Handle();
    ::DestroyWindow(window);
    EXPECT_EQ(button.Handle(), nullptr) << c.name << ": detached on WM_DESTROY";
    EXPECT_FALSE(::IsWindow(window));
  }
}

}  // namespace
