// Toolkit windows for real: the UI thread of QvUI::App, the control state machine's clicks, the
// link control's markers, hit testing and keyboard activation, and the window operations.
#include <gtest/gtest.h>

#include <system_error>
#include <vector>

#include "ui/toolkit/App.h"
#include "ui/toolkit/Button.h"
#include "ui/toolkit/GdiPlus.h"
#include "ui/toolkit/StaticLink.h"
#include "ui/toolkit/StatusIcon.h"
#include "ui/toolkit/Theme.h"

namespace {

// A hidden top-level window that records the notifications its children send.
class Parent {
 public:
  Parent() {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = Proc;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"QvToolkitTestParent";
    ::RegisterClassW(&windowClass);
    window_ = ::CreateWindowExW(0, windowClass.lpszClassName, L"", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300,
                                nullptr, nullptr, windowClass.hInstance, nullptr);
  }
  ~Parent() { ::DestroyWindow(window_); }
  HWND Child(const wchar_t* className, DWORD style, const wchar_t* text, int width, int height,
             int id) const {
    const HWND child =
        ::CreateWindowExW(0, className, text, WS_CHILD | WS_VISIBLE | style, 0, 0, width, height, window_,
                          reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
    ::SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(QvUI::Theme::Instance().Font(10)), FALSE);
    return child;
  }
  static std::vector<WPARAM>& Commands() {
    static std::vector<WPARAM> commands;
    return commands;
  }
  HWND get() const { return window_; }

 private:
  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND) Commands().push_back(wParam);
    return ::DefWindowProcW(window, message, wParam, lParam);
  }
  HWND window_;
};

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

class TestApp : public QvUI::App {
 public:
  explicit TestApp(bool failWindow) : failWindow_(failWindow) {}
  ~TestApp() override {
    Close();
    Join();
  }
  DWORD windowThread = 0;
  bool destroyed = false;
  std::error_code joinFromUiThread;

 protected:
  HWND CreateMainWindow(const std::wstring& className, HINSTANCE instance) override {
    windowThread = ::GetCurrentThreadId();
    return failWindow_ ? nullptr : QvUI::App::CreateMainWindow(className, instance);
  }
  LRESULT OnCommand(int id, int, HWND) override {
    if (id == 77) {
      try {
        Join();
      } catch (const std::system_error& error) {
        joinFromUiThread = error.code();
      }
    }
    return 0;
  }
  void OnDestroy() override { destroyed = true; }

 private:
  bool failWindow_;
};

TEST(AppTest, MainWindowLivesOnItsOwnThreadUntilClosed) {
  TestApp app(false);
  ASSERT_TRUE(app.Create(::GetModuleHandleW(nullptr), L"QvToolkitTestApp", nullptr));
  const HWND window = app.Handle();
  ASSERT_NE(window, nullptr);
  EXPECT_NE(app.windowThread, ::GetCurrentThreadId());
  EXPECT_EQ(::GetWindowThreadProcessId(window, nullptr), app.windowThread);
  EXPECT_FALSE(::IsWindowVisible(window)) << "created hidden";
  ::SendMessageW(window, WM_COMMAND, 77, 0);
  EXPECT_EQ(app.joinFromUiThread, std::errc::resource_deadlock_would_occur);
  EXPECT_TRUE(app.Close());
  app.Join();
  EXPECT_TRUE(app.destroyed);
  EXPECT_FALSE(::IsWindow(window));
  EXPECT_EQ(app.Handle(), nullptr);
  EXPECT_FALSE(app.Close()) << "nothing left to close";
}

TEST(AppTest, CreateReturnsFalseWhenTheWindowCannotBeMade) {
  TestApp app(true);
  EXPECT_FALSE(app.Create(::GetModuleHandleW(nullptr), L"QvToolkitTestAppFailing", nullptr));
  EXPECT_EQ(app.Handle(), nullptr);
  app.Join();  // the thread has ended on its own
}

}  // namespace
