// The UI thread of QvUI::App for real: the main window lives on its own thread until closed.
#include "ui/toolkit/App.h"

#include <gtest/gtest.h>

#include <string>
#include <system_error>

namespace {

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
