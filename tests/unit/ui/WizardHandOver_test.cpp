// Who answers the driver: the serial rule on its own, then the real manager with its UI thread and
// the tool's page templates, fed the mouse messages a click and a double click produce.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "base/UniqueHandle.h"
#include "core/Settings.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/ToolPages.h"
#include "tests/support/FakeProduct.h"
#include "ui/GuiManager.h"
#include "ui/PageHandOver.h"
#include "ui/WelcomePage.h"
#include "ui/toolkit/Control.h"
#include "ui/toolkit/SystemApis.h"

namespace {

using QvTest::FakeProduct;

TEST(PageHandOver, OnlyThePageOpenedLastAnswersAndOnlyOnce) {
  // Each step: open a new page (driver), or answer for serial `page` (UI thread).
  const struct Step {
    bool open;
    unsigned page;
    int answer;
    bool taken;    // for an answer: whether it counts
    int lastSeen;  // AnswerOf(the serial opened last) after the step
  } steps[] = {
      {false, 1, 1, false, 0},                           // nothing opened yet
      {true, 0, 0, false, 0},                            // serial 1
      {false, 1, 0, false, 0},                           // no answer is not an answer
      {false, 1, 1, true, 1},  {false, 1, 1, false, 1},  // second click of a double click
      {false, 1, 2, false, 1}, {true, 0, 0, false, 0},   // serial 2: the old answer is gone
      {false, 1, 1, false, 0},                           // a late click of the first page
      {false, 3, 1, false, 0}, {false, 2, 2, true, 2},
  };
  PageHandOver handOver;
  unsigned last = 0;
  for (size_t index = 0; index < std::size(steps); ++index) {
    const Step& step = steps[index];
    if (step.open)
      last = handOver.Open();
    else
      EXPECT_EQ(handOver.Answer(step.page, step.answer), step.taken) << index;
    EXPECT_EQ(handOver.AnswerOf(last), step.lastSeen) << index;
  }
  EXPECT_EQ(handOver.AnswerOf(1), 0);
}

// The driver's thread slowed after every answer: a click that comes in while the driver is still on
// its way to the next page must find that page's answer already closed to it. Without the delay the
// race is won or lost by the scheduler.
class SlowDriver : public GuiManager {
 public:
  using GuiManager::GuiManager;
  int ShowDialog(DialogChild* page) override {
    const int answer = GuiManager::ShowDialog(page);
    ::Sleep(300);
    return answer;
  }
};

// A page whose window cannot be created.
class Unbuildable : public DialogChild {
 public:
  HWND Create(HINSTANCE, HWND) override { return nullptr; }
};

// Ids that tell the pages apart: copyright link, remove-all radio, status icon.
constexpr int kWelcome = 1019;
constexpr int kSelect = 1027;
constexpr int kMessage = 1022;

using QvTest::WaitFor;

class WizardHandOver : public ::testing::Test {
 protected:
  void SetUp() override {
    module_ = QvTest::LoadToolPages();
    ASSERT_TRUE(module_.valid()) << "the tool must be built next to the tests";
    stop_.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    gui_ = std::make_unique<SlowDriver>(module_.get(), stop_.get());
    ASSERT_TRUE(gui_->Initialize());
  }
  void TearDown() override {
    if (gui_) gui_->Shutdown();
    gui_.reset();
  }

  // The visible page holding the control `marker`.
  HWND Page(int marker) const {
    for (HWND child = ::GetWindow(gui_->Handle(), GW_CHILD); child != nullptr;
         child = ::GetWindow(child, GW_HWNDNEXT))
      if (::IsWindowVisible(child) && ::GetDlgItem(child, marker) != nullptr) return child;
    return nullptr;
  }
  HWND WaitForPage(int marker) const {
    HWND page = nullptr;
    WaitFor([&] { return (page = Page(marker)) != nullptr; }, 10000);
    return page;
  }
  // The messages the system posts for one click, or for a double click.
  static void Click(HWND page, int id, bool twice) {
    const HWND button = ::GetDlgItem(page, id);
    const LPARAM at = MAKELPARAM(4, 4);
    ::PostMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, at);
    ::PostMessageW(button, WM_LBUTTONUP, 0, at);
    if (!twice) return;
    ::PostMessageW(button, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
    ::PostMessageW(button, WM_LBUTTONUP, 0, at);
  }

  UniqueModule module_;
  UniqueHandle stop_;
  std::unique_ptr<SlowDriver> gui_;
};

TEST_F(WizardHandOver, ADoubleClickNeverAnswersTheNextPage) {
  struct Press {
    int page;
    int button;
    bool twice;
  };
  const struct {
    const char* name;
    std::vector<Press> presses;
    std::vector<int> answers;
  } cases[] = {
      {"double click on Start", {{kWelcome, IDOK, true}, {kSelect, IDCANCEL, false}}, {1, 2}},
      // A stale 1 on the last page would restart the machine without being asked.
      {"double click on Next",
       {{kWelcome, IDOK, false}, {kSelect, IDOK, true}, {kMessage, IDCANCEL, false}},
       {1, 1, 2}},
  };
  for (const auto& c : cases) {
    std::vector<int> answers;
    std::atomic<size_t> given{0};
    ProductList products = {std::make_shared<FakeProduct>(L"a", L"a")};
    std::thread driver([&] {
      const std::function<int()> pages[] = {[&] { return gui_->ShowWelcome(); },
                                            [&] { return gui_->ShowSelect(products); },
                                            [&] { return gui_->ShowMessage(MessageFinishedReboot); }};
      for (size_t step = 0; step < c.presses.size(); ++step) {
        answers.push_back(pages[step]());
        given = step + 1;
      }
    });
    for (size_t step = 0; step < c.presses.size(); ++step) {
      const HWND page = WaitForPage(c.presses[step].page);
      ASSERT_NE(page, nullptr) << c.name << ", page " << step;
      // The page is up; an answer it did not give would have arrived by now.
      ::Sleep(200);
      EXPECT_EQ(given.load(), step) << c.name << ", page " << step;
      Click(page, c.presses[step].button, c.presses[step].twice);
      WaitFor([&] { return given.load() > step; }, 10000);
    }
    driver.join();
    EXPECT_EQ(answers, c.answers) << c.name;
  }
}

TEST_F(WizardHandOver, APageThatCannotBeCreatedAnswersTwoAtOnce) {
  const struct {
    const char* name;
    bool pageShownBefore;
  } cases[] = {{"first page", false}, {"after the welcome page", true}};
  for (const auto& c : cases) {
    if (c.pageShownBefore) {
      ASSERT_NE(gui_->PostShowDialog(new DialogWelcome()), 0u);
      ASSERT_NE(WaitForPage(kWelcome), nullptr) << c.name;
    }
    std::atomic<int> answer{0};
    std::thread driver([&] { answer = gui_->GuiManager::ShowDialog(new Unbuildable()); });
    const bool quick = WaitFor([&] { return answer.load() != 0; }, 1000);
    // A hung driver is let go through the stop event so the suite goes on.
    if (!quick) ::SetEvent(stop_.get());
    driver.join();
    EXPECT_TRUE(quick) << c.name;
    EXPECT_EQ(answer.load(), AnswerCancel) << c.name;
    // The window stays usable: the page shown before is still there.
    EXPECT_EQ(Page(kWelcome) != nullptr, c.pageShownBefore) << c.name;
  }
}

// The user's "always show keyboard cues" choice, set for this process and put back afterwards.
class KeyboardCuesSetting {
 public:
  explicit KeyboardCuesSetting(bool always) {
    ::SystemParametersInfoW(SPI_GETKEYBOARDCUES, 0, &saved_, 0);
    Set(always);
  }
  ~KeyboardCuesSetting() { Set(saved_ != FALSE); }

 private:
  static void Set(bool always) {
    ::SystemParametersInfoW(SPI_SETKEYBOARDCUES, 0, reinterpret_cast<PVOID>(static_cast<INT_PTR>(always)), 0);
  }
  BOOL saved_ = FALSE;
};

TEST_F(WizardHandOver, FocusCuesFollowTheKeyboardAndTheUsersChoice) {
  // Each step: the key pressed on the focused control (0: none), the page then shown, whether the
  // focused control draws its focus cue.
  struct Step {
    UINT key;
    int page;
    bool drawn;
  };
  const struct {
    bool always;
    std::vector<Step> steps;
  } cases[] = {
      // Started with the mouse: hidden until a key is pressed, then kept on the next page.
      {false, {{0, kWelcome, false}, {VK_TAB, kWelcome, true}, {VK_RETURN, kSelect, true}}},
      {true, {{0, kWelcome, true}}},
  };
  // What the control draws: the toolkit object behind the window keeps the focus bit (mask 1).
  const auto drawn = [](HWND window) {
    const auto* control = reinterpret_cast<const QvUI::Control*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    return control != nullptr && control->HasState(1);
  };
  for (const auto& c : cases) {
    gui_->Shutdown();
    gui_.reset();
    ::ResetEvent(stop_.get());
    const KeyboardCuesSetting setting(c.always);
    gui_ = std::make_unique<SlowDriver>(module_.get(), stop_.get());
    ASSERT_TRUE(gui_->Initialize());
    ProductList products = {std::make_shared<FakeProduct>(L"a", L"a")};
    std::thread driver([&] {
      if (gui_->ShowWelcome() == AnswerOk) gui_->ShowSelect(products);
    });
    const DWORD uiThread = ::GetWindowThreadProcessId(gui_->Handle(), nullptr);
    const auto focused = [uiThread] {
      GUITHREADINFO info{};
      info.cbSize = sizeof(info);
      return ::GetGUIThreadInfo(uiThread, &info) ? info.hwndFocus : nullptr;
    };
    for (size_t index = 0; index < c.steps.size(); ++index) {
      const Step& step = c.steps[index];
      if (step.key != 0) {
        // To the focused control, as the system does; to the main window when nothing has it.
        const HWND target = focused() != nullptr ? focused() : gui_->Handle();
        ::PostMessageW(target, WM_KEYDOWN, step.key, 1);
        ::PostMessageW(target, WM_KEYUP, step.key, 1 | (3u << 30));
      }
      const HWND page = WaitForPage(step.page);
      ASSERT_NE(page, nullptr) << c.always << index;
      // Suites run side by side: another program's window may take the activation; taking it back
      // gives the focus to the page again.
      const bool inPage = WaitFor(
          [&] {
            if (::IsChild(page, focused())) return true;
            ::SetForegroundWindow(gui_->Handle());
            return false;
          },
          5000);
      EXPECT_TRUE(inPage) << "always " << c.always << ", step " << index;
      // The focus may still be moving (Tab): the control holding it when the wait ends counts.
      EXPECT_EQ(WaitFor([&] { return drawn(focused()); }, step.drawn ? 2000 : 300), step.drawn)
          << "always " << c.always << ", step " << index;
    }
    ::SetEvent(stop_.get());
    driver.join();
  }
}

}  // namespace
