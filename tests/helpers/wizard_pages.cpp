// One page of the real wizard (the tool's manager, page templates and texts) in the theme, at the
// DPI and in the language the arguments choose, for screenshots and for the tests that compare pages.
//   wizard_pages --theme light|dark|contrast --dpi N
//                --page welcome|select|progress|finished|reboot|error|privileges
//                [--language en|fi|ru] [--switch-dpi M]
// As in the widget gallery, the theme and the DPI are the current user's settings, set for the run
// and put back afterwards, and the page runs in a child process started after they are set; high
// contrast comes through the theme's test seam (Wine cannot switch it on). The templates, texts and
// manifest come from UninstallationTool.exe beside this program; the product page lists three fake
// products (two chosen, one not found), so it opens with the list shown.
// With --switch-dpi the main window is sent WM_DPICHANGED for M, with the window rectangle scaled by
// M/N around its centre, once the page is up; the report waits until the window has settled.
// Standard output: "page <left> <top> <right> <bottom>" (the main window's client area in screen
// pixels), then "ready"; "error: ..." instead when the page cannot be shown. The page stays up until
// standard input ends (or reads "q") or the window is closed.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cwchar>
#include <memory>
#include <string>

#include "base/UniqueHandle.h"
#include "base/Utf8.h"
#include "core/Settings.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/FakeProduct.h"
#include "tests/support/UserLook.h"
#include "ui/GuiManager.h"
#include "ui/MessagePage.h"
#include "ui/ProductPage.h"
#include "ui/WelcomePage.h"
#include "ui/toolkit/SystemApis.h"
#include "ui/toolkit/ThemeSeam.h"

namespace {

// Sent to the main window: paint everything now, on the UI thread.
constexpr UINT RepaintMessage = WM_APP + 40;

void Print(const std::string& line) {
  const std::string text = line + "\n";
  DWORD written = 0;
  ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), text.data(), static_cast<DWORD>(text.size()), &written,
              nullptr);
}

struct Options {
  std::wstring theme = L"light";
  int dpi = 96;
  std::wstring page = L"welcome";
  std::wstring language = L"en";
  int switchDpi = 0;
  bool child = false;
};

// The manager of the tool with a signal once a page is on screen and a synchronous repaint.
class PageManager : public GuiManager {
 public:
  using GuiManager::GuiManager;
  HANDLE Shown() const { return shown_.get(); }
  void OnShowDialog(DialogChild* page) override {
    GuiManager::OnShowDialog(page);
    Repaint();
    ::SetEvent(shown_.get());
  }

 protected:
  LRESULT WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == RepaintMessage) {
      Repaint();
      return 0;
    }
    return GuiManager::WindowProc(window, message, wParam, lParam);
  }

 private:
  void Repaint() const {
    ::RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  }

  UniqueHandle shown_{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
};

// The tool's manifest active on this thread, so comctl32 comes as version 6 as in the tool (the
// UI thread takes the context over when it is started from here).
class ToolManifest {
 public:
  explicit ToolManifest(const std::wstring& exe) {
    ACTCTXW context{};
    context.cbSize = sizeof(context);
    context.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    context.lpSource = exe.c_str();
    context.lpResourceName = MAKEINTRESOURCEW(1);
    context_ = ::CreateActCtxW(&context);
    if (context_ != INVALID_HANDLE_VALUE && !::ActivateActCtx(context_, &cookie_)) cookie_ = 0;
  }
  ToolManifest(const ToolManifest&) = delete;
  ToolManifest& operator=(const ToolManifest&) = delete;
  ~ToolManifest() {
    if (cookie_ != 0) ::DeactivateActCtx(0, cookie_);
    if (context_ != INVALID_HANDLE_VALUE) ::ReleaseActCtx(context_);
  }
  bool Active() const { return cookie_ != 0; }

 private:
  HANDLE context_ = INVALID_HANDLE_VALUE;
  ULONG_PTR cookie_ = 0;
};

// Per-monitor DPI awareness, as the tool's manifest asks.
void BecomeDpiAware() {
  if (!::SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE)) ::SetProcessDPIAware();
}

// The pages by name: the manager's call that shows each, and the message kind of a message page.
enum class PageCall { Welcome, Select, Progress, Message };
const struct PageName {
  const wchar_t* name;
  PageCall call;
  int kind;
} Pages[] = {{L"welcome", PageCall::Welcome, 0},
             {L"select", PageCall::Select, 0},
             {L"progress", PageCall::Progress, 0},
             {L"finished", PageCall::Message, MessageFinished},
             {L"reboot", PageCall::Message, MessageFinishedReboot},
             {L"error", PageCall::Message, MessageErrorGeneric},
             {L"privileges", PageCall::Message, MessageErrorPrivileges}};

const PageName* FindPage(const std::wstring& name) {
  for (const PageName& page : Pages)
    if (name == page.name) return &page;
  return nullptr;
}

// Posts the page to the manager without waiting for its answer; false when it could not be posted.
bool PostPage(PageManager& gui, const PageName& page, ProductList& products) {
  switch (page.call) {
    case PageCall::Welcome:
      return gui.PostShowDialog(new DialogWelcome()) != 0;
    case PageCall::Select:
      return gui.PostShowDialog(new DialogSelect(products)) != 0;
    case PageCall::Progress:
      return gui.ShowProgress();
    case PageCall::Message:
      return gui.PostShowDialog(new DialogMessage(page.kind)) != 0;
  }
  return false;
}

RECT WindowRect(HWND window) {
  RECT rect{};
  ::GetWindowRect(window, &rect);
  return rect;
}

bool SameRect(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

// WM_DPICHANGED as the system sends it when the window moves to a monitor of another DPI: the new
// DPI in both words and the suggested rectangle, scaled around the window's centre (so the larger
// window still fits the virtual screen). Then
// waits until the window rectangle has stayed the same for a while (the handler may post more work).
void SwitchDpi(HWND window, int fromDpi, int toDpi) {
  const RECT before = WindowRect(window);
  const int width = ::MulDiv(before.right - before.left, toDpi, fromDpi);
  const int height = ::MulDiv(before.bottom - before.top, toDpi, fromDpi);
  const int left = (before.left + before.right - width) / 2;
  const int top = (before.top + before.bottom - height) / 2;
  RECT suggested{left < 0 ? 0 : left, top < 0 ? 0 : top, 0, 0};
  suggested.right = suggested.left + width;
  suggested.bottom = suggested.top + height;
  ::SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(toDpi, toDpi), reinterpret_cast<LPARAM>(&suggested));
  RECT last = WindowRect(window);
  for (int steady = 0, round = 0; steady < 3 && round < 50; ++round) {
    ::Sleep(100);
    ::SendMessageW(window, WM_NULL, 0, 0);  // the UI thread has handled what was sent before
    const RECT now = WindowRect(window);
    steady = SameRect(now, last) ? steady + 1 : 0;
    last = now;
  }
}

// Blocks until standard input ends (or reads "q") or the window is gone.
void WaitForTheEnd(HANDLE stop) {
  char c = 0;
  DWORD read = 0;
  while (::WaitForSingleObject(stop, 0) == WAIT_TIMEOUT &&
         ::ReadFile(::GetStdHandle(STD_INPUT_HANDLE), &c, 1, &read, nullptr) && read == 1 && c != 'q') {
  }
}

int RunPage(const Options& options) {
  if (options.theme == L"contrast") ThemeSeam::highContrastOn = [] { return true; };
  BecomeDpiAware();
  const std::wstring exe = QvTest::ProgramFolder() + L"UninstallationTool.exe";
  const ToolManifest manifest(exe);
  if (!manifest.Active())
    Print("warning: the tool's manifest is not active: " + std::to_string(::GetLastError()));
  const UniqueModule tool(::LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
  if (!tool) {
    Print("error: UninstallationTool.exe could not be loaded: " + std::to_string(::GetLastError()));
    return 1;
  }
  auto& settings = BrelResLib::Settings::Instance();
  if (const unsigned loaded = settings.LoadResources(tool.get(), 102, 101); loaded != 0) {
    Print("error: the tool's texts could not be loaded: " + std::to_string(loaded));
    return 1;
  }
  settings.SetLanguage(QvText::ToUtf8(options.language));
  QvUI::SystemApis::InitCommonControls(ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES);
  // The pointer away from the centred window: no control is drawn hot.
  ::SetCursorPos(0, 0);

  ProductList products = {std::make_shared<QvTest::FakeProduct>(L"omnivo", L"", true, true),
                          std::make_shared<QvTest::FakeProduct>(L"quarantine", L"", false, false),
                          std::make_shared<QvTest::FakeProduct>(L"zorv_quarantine", L"", true, true)};
  const UniqueHandle stop(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  PageManager gui(tool.get(), stop.get());
  if (!gui.Initialize()) {
    Print("error: no main window: " + std::to_string(::GetLastError()));
    return 1;
  }
  const ScopeExit shutdown([&] { gui.Shutdown(); });
  if (!PostPage(gui, *FindPage(options.page), products)) {
    Print("error: the page could not be posted");
    return 1;
  }
  const HANDLE events[] = {gui.Shown(), stop.get()};
  if (::WaitForMultipleObjects(2, events, FALSE, 30000) != WAIT_OBJECT_0) {
    Print("error: the page did not come up");
    return 1;
  }
  const HWND window = gui.Handle();
  if (options.switchDpi > 0) SwitchDpi(window, options.dpi, options.switchDpi);
  ::SendMessageW(window, RepaintMessage, 0, 0);
  RECT page{};
  ::GetClientRect(window, &page);
  ::MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&page), 2);
  Print("page " + std::to_string(page.left) + " " + std::to_string(page.top) + " " +
        std::to_string(page.right) + " " + std::to_string(page.bottom));
  Print("ready");
  WaitForTheEnd(stop.get());
  return 0;
}

bool Parse(int argc, wchar_t** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::wstring arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == L"--child")
      options.child = true;
    else if (arg == L"--theme" && hasValue)
      options.theme = argv[++i];
    else if (arg == L"--dpi" && hasValue)
      options.dpi = _wtoi(argv[++i]);
    else if (arg == L"--page" && hasValue)
      options.page = argv[++i];
    else if (arg == L"--language" && hasValue)
      options.language = argv[++i];
    else if (arg == L"--switch-dpi" && hasValue)
      options.switchDpi = _wtoi(argv[++i]);
    else
      return false;
  }
  return (options.theme == L"light" || options.theme == L"dark" || options.theme == L"contrast") &&
         FindPage(options.page) != nullptr && options.dpi > 0 && options.switchDpi >= 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  Options options;
  if (!Parse(argc, argv, options)) {
    std::fwprintf(stderr,
                  L"usage: wizard_pages --theme light|dark|contrast --dpi N --page welcome|select|progress|"
                  L"finished|reboot|error|privileges [--language en|fi|ru] [--switch-dpi M]\n");
    return 2;
  }
  if (options.child) return RunPage(options);
  std::wstring command = QvTest::HelperCommand(
      L"wizard_pages", L"--child --theme " + options.theme + L" --dpi " + std::to_wstring(options.dpi) +
                           L" --page " + options.page + L" --language " + options.language +
                           L" --switch-dpi " + std::to_wstring(options.switchDpi));
  return QvTest::RunWithUserLook(options.theme == L"dark", options.dpi, command);
}
