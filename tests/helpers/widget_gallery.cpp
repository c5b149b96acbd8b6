// Widget gallery: every QvUI widget in its states on one page, in the theme and at the DPI the
// arguments choose, for screenshots and for the pixel tests that drive it with real input.
//   widget_gallery [--theme light|dark|contrast] [--dpi N] [--seconds N]
// The theme and the DPI are the current user's settings (AppsUseLightTheme, LogPixels), set for the
// run and put back afterwards; the page itself runs in a child process started after they are set,
// since a process reads its DPI when it starts. High contrast cannot be switched on under Wine, so
// "contrast" replaces the query through the theme's test seam and takes the system colours as they are.
// Standard output gets one line per widget, "widget <id> <name> <left> <top> <right> <bottom>" in
// screen pixels, then "ready"; later "click <id>" per click notification and "checks <id>=<0|1> ..."
// after a check box or radio click. The page closes at the end of standard input (or "q"), or after
// --seconds; meanwhile the main thread stays blocked and the page lives on the UI thread.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cwchar>
#include <memory>
#include <string>
#include <vector>

#include "base/UniqueHandle.h"
#include "base/Utf8.h"
#include "tests/support/SavedUserValue.h"
#include "tests/support/UserLook.h"
#include "ui/toolkit/App.h"
#include "ui/toolkit/Button.h"
#include "ui/toolkit/Checkbox.h"
#include "ui/toolkit/Dialog.h"
#include "ui/toolkit/GdiPlus.h"
#include "ui/toolkit/ListView.h"
#include "ui/toolkit/Spinner.h"
#include "ui/toolkit/StaticLink.h"
#include "ui/toolkit/StatusIcon.h"
#include "ui/toolkit/SystemApis.h"
#include "ui/toolkit/TextBlock.h"
#include "ui/toolkit/Theme.h"
#include "ui/toolkit/ThemeSeam.h"

namespace {

constexpr UINT ShowPageMessage = WM_APP + 1;
constexpr int PageWidth = 620;
constexpr int PageHeight = 420;

void Print(const std::string& line) {
  const std::string text = line + "\n";
  DWORD written = 0;
  ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), text.data(), static_cast<DWORD>(text.size()), &written,
              nullptr);
}

enum Kind { KindButton, KindText, KindLink, KindCheck, KindStatus, KindSpinner, KindList };

struct Item {
  int id;
  const char* name;
  Kind kind;
  const wchar_t* className;
  DWORD style;
  int x, y, width, height;  // design pixels (96 DPI)
  const wchar_t* text;
  int extra;  // button: 1 primary, 0 secondary; status: kind; check: initially checked
  bool disabled;
};

constexpr DWORD Push = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;
constexpr DWORD Static = WS_CHILD | WS_VISIBLE;
constexpr DWORD Check = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX;
constexpr DWORD Radio = WS_CHILD | WS_VISIBLE | BS_AUTORADIOBUTTON;

const Item Items[] = {
    {101, "primary", KindButton, L"BUTTON", Push, 10, 10, 110, 32, L"Start", 1, false},
    {102, "primary-hot", KindButton, L"BUTTON", Push, 130, 10, 110, 32, L"Next", 1, false},
    {103, "primary-disabled", KindButton, L"BUTTON", Push, 250, 10, 110, 32, L"Reboot", 1, true},
    {104, "primary-icon", KindButton, L"BUTTON", Push, 370, 10, 110, 32, L"Info", 1, false},
    {105, "primary-ellipsis", KindButton, L"BUTTON", Push, 490, 10, 120, 32, L"A caption far too long to fit",
     1, false},
    {111, "secondary", KindButton, L"BUTTON", Push, 10, 52, 110, 32, L"Cancel", 0, false},
    {112, "secondary-disabled", KindButton, L"BUTTON", Push, 130, 52, 110, 32, L"Cancel", 0, true},
    {113, "secondary-ellipsis", KindButton, L"BUTTON", Push, 250, 52, 110, 32, L"Close this page for good", 0,
     false},
    {114, "secondary-tall", KindButton, L"BUTTON", Push, 370, 52, 110, 64, L"Tall", 0, false},
    {115, "primary-tall", KindButton, L"BUTTON", Push, 490, 52, 120, 64, L"Tall", 1, false},
    {601, "text", KindText, L"STATIC", Static | SS_LEFT, 10, 94, 170, 22, L"Plain text, left", 0, false},
    {602, "text-centred", KindText, L"STATIC", Static | SS_CENTER, 190, 94, 170, 22, L"Centred", 0, false},
    {603, "text-disabled", KindText, L"STATIC", Static | SS_LEFT, 10, 122, 170, 22, L"Disabled text", 0,
     true},
    {604, "text-wrapped", KindText, L"STATIC", Static | SS_CENTER | SS_CENTERIMAGE, 190, 122, 170, 60,
     L"A longer message that wraps over lines in the middle", 0, false},
    {701, "link", KindLink, L"STATIC", Static | SS_LEFT, 10, 150, 170, 64,
     L"Read the [#]licence terms of this product[#] before going on.", 0, false},
    {702, "link-single-marker", KindLink, L"STATIC", Static | SS_LEFT, 370, 122, 240, 22,
     L"One [#] marker only", 0, false},
    {703, "link-disabled", KindLink, L"STATIC", Static | SS_CENTER, 370, 150, 240, 22,
     L"See [#]the terms[#].", 0, true},
    {201, "check-checked", KindCheck, L"BUTTON", Check, 10, 222, 150, 24, L"Checked", 1, false},
    {202, "check-unchecked", KindCheck, L"BUTTON", Check, 10, 248, 150, 24, L"Unchecked", 0, false},
    {203, "check-disabled", KindCheck, L"BUTTON", Check, 10, 274, 150, 24, L"Disabled", 1, true},
    {211, "radio-1", KindCheck, L"BUTTON", Radio | WS_GROUP | WS_TABSTOP, 190, 222, 150, 24, L"First", 1,
     false},
    {212, "radio-2", KindCheck, L"BUTTON", Radio, 190, 248, 150, 24, L"Second", 0, false},
    {213, "radio-3", KindCheck, L"BUTTON", Radio, 190, 274, 150, 24, L"Third", 0, false},
    {214, "radio-disabled", KindCheck, L"BUTTON", Radio | WS_GROUP, 370, 222, 150, 24, L"Disabled", 1, true},
    {300, "status-question", KindStatus, L"STATIC", Static, 10, 310, 48, 48, L"", 0, false},
    {301, "status-error", KindStatus, L"STATIC", Static, 66, 310, 48, 48, L"", 1, false},
    {302, "status-warning", KindStatus, L"STATIC", Static, 122, 310, 48, 48, L"", 2, false},
    {303, "status-information", KindStatus, L"STATIC", Static, 178, 310, 48, 48, L"", 3, false},
    {304, "status-success", KindStatus, L"STATIC", Static, 234, 310, 48, 48, L"", 4, false},
    {401, "spinner", KindSpinner, L"STATIC", Static, 300, 310, 48, 48, L"", 0, false},
    {501, "list", KindList, WC_LISTVIEWW, WS_CHILD | WS_VISIBLE | WS_BORDER | LVS_REPORT | LVS_NOCOLUMNHEADER,
     370, 250, 240, 108, L"", 0, false},
    // Empty page background for the colour check.
    {0, "background", KindText, nullptr, 0, 10, 380, 100, 30, nullptr, 0, false},
};

class GalleryPage : public QvUI::Dialog {
 public:
  HWND Create(HWND parent) {
    // An empty in-memory template: the controls are made in OnInitDialog, in pixels.
    alignas(DWORD) WORD words[16] = {};
    const DWORD style = WS_CHILD | DS_CONTROL;
    const DWORD exStyle = WS_EX_CONTROLPARENT;
    words[0] = LOWORD(style);
    words[1] = HIWORD(style);
    words[2] = LOWORD(exStyle);
    words[3] = HIWORD(exStyle);
    return ::CreateDialogIndirectParamW(::GetModuleHandleW(nullptr), reinterpret_cast<DLGTEMPLATE*>(words),
                                        parent, DialogProc, reinterpret_cast<LPARAM>(this));
  }

  int Dpi() const { return dpi_; }

  INT_PTR OnInitDialog() override {
    {
      HDC screen = ::GetDC(hwnd_);
      dpi_ = ::GetDeviceCaps(screen, LOGPIXELSY);
      ::ReleaseDC(hwnd_, screen);
    }
    ::SetWindowPos(hwnd_, nullptr, 0, 0, Scale(PageWidth), Scale(PageHeight), SWP_NOZORDER | SWP_NOMOVE);
    QvUI::Theme& theme = QvUI::Theme::Instance();
    for (const Item& item : Items) {
      if (item.className == nullptr) continue;
      HWND window =
          ::CreateWindowExW(0, item.className, item.text, item.style, Scale(item.x), Scale(item.y),
                            Scale(item.width), Scale(item.height), hwnd_,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(item.id)), nullptr, nullptr);
      if (window == nullptr) continue;
      ::SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(theme.Font(10)), FALSE);
      if (item.kind == KindCheck && item.extra) ::SendMessageW(window, BM_SETCHECK, BST_CHECKED, 0);
      if (item.disabled) ::EnableWindow(window, FALSE);
      Bind(item, window);
    }
    return QvUI::Dialog::OnInitDialog();
  }

  INT_PTR OnCommand(int id, int code, HWND control) override {
    if (code != BN_CLICKED || control == nullptr) return QvUI::Dialog::OnCommand(id, code, control);
    Print("click " + std::to_string(id));
    if (id >= 201 && id <= 214) {
      std::string line = "checks";
      for (const Item& item : Items)
        if (item.kind == KindCheck)
          line +=
              " " + std::to_string(item.id) + "=" +
              std::to_string(::SendDlgItemMessageW(hwnd_, item.id, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0);
      Print(line);
    }
    return 0;
  }

  void Report() const {
    const QvUI::Theme& theme = QvUI::Theme::Instance();
    Print("dpi " + std::to_string(dpi_) + " mode " + std::to_string(theme.Mode()) + " dark " +
          std::to_string(theme.IsDark() ? 1 : 0));
    RECT page{};
    ::GetClientRect(hwnd_, &page);
    ::MapWindowPoints(hwnd_, nullptr, reinterpret_cast<POINT*>(&page), 2);
    Print("page " + std::to_string(page.left) + " " + std::to_string(page.top) + " " +
          std::to_string(page.right) + " " + std::to_string(page.bottom));
    for (const Item& item : Items) {
      RECT rect{};
      if (item.id != 0) {
        const HWND window = ::GetDlgItem(hwnd_, item.id);
        if (window == nullptr || !::GetClientRect(window, &rect)) continue;
        ::MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&rect), 2);
      } else {
        rect = {Scale(item.x), Scale(item.y), Scale(item.x + item.width), Scale(item.y + item.height)};
        ::MapWindowPoints(hwnd_, nullptr, reinterpret_cast<POINT*>(&rect), 2);
      }
      char line[160];
      std::snprintf(line, sizeof(line), "widget %d %s %ld %ld %ld %ld", item.id, item.name, rect.left,
                    rect.top, rect.right, rect.bottom);
      Print(line);
    }
    Print("ready");
  }

 private:
  int Scale(int value) const { return QvUI::ScaleToDpi(value, dpi_); }

  void Bind(const Item& item, HWND window) {
    switch (item.kind) {
      case KindButton: {
        auto button = std::make_unique<QvUI::Button>();
        button->Attach(window);
        button->SetPrimary(item.extra != 0);
        if (item.id == 104) button->SetIcon(::CopyIcon(::LoadIconW(nullptr, IDI_INFORMATION)));
        controls_.push_back(std::move(button));
        break;
      }
      case KindText:
        controls_.push_back(std::make_unique<QvUI::TextBlock>());
        controls_.back()->Attach(window);
        break;
      case KindLink: {
        auto link = std::make_unique<QvUI::StaticLink>();
        link->Attach(window);
        link->SetText(item.text);
        controls_.push_back(std::move(link));
        break;
      }
      case KindCheck:
        controls_.push_back(std::make_unique<QvUI::Checkbox>());
        controls_.back()->Attach(window);
        break;
      case KindStatus: {
        auto status = std::make_unique<QvUI::StatusIcon>();
        status->Attach(window);
        status->SetKind(item.extra);
        controls_.push_back(std::move(status));
        break;
      }
      case KindSpinner:
        controls_.push_back(std::make_unique<QvUI::Spinner>());
        controls_.back()->Attach(window);
        break;
      case KindList: {
        list_.Attach(window);
        ::SendMessageW(window, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT | LVS_EX_CHECKBOXES);
        list_.AddColumn(75, L"Name", 0);
        list_.AddColumn(25, L"Detected", 1);
        const wchar_t* rows[][2] = {
            {L"Omnivo Suite", L"Detected"}, {L"Logs", L""}, {L"Quarantine", L"Detected"}};
        for (int row = 0; row < 3; ++row) {
          LVITEMW entry{};
          entry.mask = LVIF_TEXT;
          entry.iItem = row;
          entry.pszText = const_cast<wchar_t*>(rows[row][0]);
          const int index =
              static_cast<int>(::SendMessageW(window, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&entry)));
          entry.iItem = index;
          entry.iSubItem = 1;
          entry.pszText = const_cast<wchar_t*>(rows[row][1]);
          ::SendMessageW(window, LVM_SETITEMTEXTW, static_cast<WPARAM>(index),
                         reinterpret_cast<LPARAM>(&entry));
          ListView_SetCheckState(window, index, row != 1);
        }
        break;
      }
    }
  }

  int dpi_ = 96;
  std::vector<std::unique_ptr<QvUI::Control>> controls_;
  QvUI::ListView list_;
};

class GalleryApp : public QvUI::App {
 public:
  GalleryApp() { stopEvent_ = stop_.get(); }
  ~GalleryApp() override {
    Close();
    Join();
  }
  HANDLE StopEvent() const { return stop_.get(); }
  DWORD CreateError() const { return createError_; }
  bool ShowPage() { return ::PostMessageW(hwnd_, ShowPageMessage, 0, 0) != FALSE; }

 protected:
  LRESULT WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == ShowPageMessage) {
      OnShowPage();
      return 0;
    }
    return QvUI::App::WindowProc(window, message, wParam, lParam);
  }
  HWND CreateMainWindow(const std::wstring& className, HINSTANCE instance) override {
    const HWND window = QvUI::App::CreateMainWindow(className, instance);
    if (window == nullptr) createError_ = ::GetLastError();
    return window;
  }
  void OnDestroy() override {
    page_.reset();
    ::SetEvent(stop_.get());
  }

 private:
  void OnShowPage() {
    page_ = std::make_unique<GalleryPage>();
    const HWND pageWindow = page_->Create(hwnd_);
    if (pageWindow == nullptr) {
      Print("error: the page could not be created");
      return;
    }
    const SIZE size = page_->ClientSize();
    SetClientSize(size.cx, size.cy, false);
    ::SetWindowPos(hwnd_, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    SetText(L"QvUI widget gallery");
    page_->Show(SW_SHOW);
    Show(SW_SHOW);
    ::UpdateWindow(hwnd_);
    QvUI::BringToForeground(hwnd_);
    ::RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    page_->Report();
  }

  UniqueHandle stop_{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
  DWORD createError_ = 0;
  std::unique_ptr<GalleryPage> page_;
};

// Blocks the creating thread until standard input ends (or reads "q"), the page is closed or the
// time is up.
void WaitForTheEnd(HANDLE stop, int seconds) {
  if (seconds > 0) {
    ::WaitForSingleObject(stop, static_cast<DWORD>(seconds) * 1000);
    return;
  }
  char c = 0;
  DWORD read = 0;
  while (::WaitForSingleObject(stop, 0) == WAIT_TIMEOUT &&
         ::ReadFile(::GetStdHandle(STD_INPUT_HANDLE), &c, 1, &read, nullptr) && read == 1 && c != 'q') {
  }
}

int RunPage(const std::wstring& theme, int seconds) {
  if (theme == L"contrast") ThemeSeam::highContrastOn = [] { return true; };
  ::SetProcessDPIAware();
  const QvUI::Gdip::Session gdiplus;
  if (!gdiplus.Started()) Print("warning: GDI+ did not start");
  QvUI::SystemApis::InitCommonControls(ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES);
  GalleryApp app;
  if (!app.Create(::GetModuleHandleW(nullptr), L"QvUI.WidgetGallery", nullptr)) {
    Print("error: no main window: " + std::to_string(app.CreateError()));
    return 1;
  }
  if (!app.ShowPage()) {
    Print("error: the page could not be posted: " + std::to_string(::GetLastError()));
    return 1;
  }
  WaitForTheEnd(app.StopEvent(), seconds);
  app.Close();
  app.Join();
  return 0;
}

// Sets the user's theme and DPI, runs the page in a child process that starts with them, and puts
// them back.
int RunWithSettings(const std::wstring& theme, int dpi, const std::wstring& pageCommand) {
  return QvTest::RunWithUserLook(theme == L"dark", dpi, pageCommand);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::wstring theme = L"light";
  int dpi = 96;
  int seconds = 0;
  bool page = false;
  for (int i = 1; i < argc; ++i) {
    const std::wstring arg = argv[i];
    if (arg == L"--theme" && i + 1 < argc)
      theme = argv[++i];
    else if (arg == L"--dpi" && i + 1 < argc)
      dpi = _wtoi(argv[++i]);
    else if (arg == L"--seconds" && i + 1 < argc)
      seconds = _wtoi(argv[++i]);
    else if (arg == L"--page")
      page = true;
    else {
      std::fwprintf(stderr, L"usage: widget_gallery [--theme light|dark|contrast] [--dpi N] [--seconds N]\n");
      return 2;
    }
  }
  if (theme != L"light" && theme != L"dark" && theme != L"contrast") return 2;
  if (page) return RunPage(theme, seconds);
  std::wstring command = L"\"" + std::wstring(argv[0]) + L"\" --page --theme " + theme + L" --seconds " +
                         std::to_wstring(seconds);
  wchar_t self[MAX_PATH];
  if (::GetModuleFileNameW(nullptr, self, MAX_PATH) > 0)
    command = L"\"" + std::wstring(self) + L"\" --page --theme " + theme + L" --seconds " +
              std::to_wstring(seconds);
  return RunWithSettings(theme, dpi, command);
}
