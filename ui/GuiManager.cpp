// Wizard UI manager: page hand-over to the UI thread and the answers back to the driver.
#include "ui/GuiManager.h"

#include <sddl.h>

#include <algorithm>

#include <string>

#include "core/DelayLoadedApis.h"
#include "core/Settings.h"
#include "logging/QvBrelLogging.h"
#include "ui/MessagePage.h"
#include "ui/ProductPage.h"
#include "ui/ProgressPage.h"
#include "ui/WelcomePage.h"
#include "ui/toolkit/Dpi.h"
#include "ui/toolkit/Theme.h"

namespace {

// The string SID of the user signed in to this process's session; empty when it cannot be resolved.
std::wstring SessionUserSid(DWORD sessionId) {
  auto query = [sessionId](WTS_INFO_CLASS infoClass) {
    LPWSTR buffer = nullptr;
    DWORD bytes = 0;
    std::wstring value;
    if (DelayLoaded::WTSQuerySessionInformationW(WTS_CURRENT_SERVER_HANDLE, sessionId, infoClass, &buffer,
                                                 &bytes) &&
        buffer != nullptr)
      value = buffer;
    if (buffer != nullptr) DelayLoaded::WTSFreeMemory(buffer);
    return value;
  };
  const std::wstring user = query(WTSUserName);
  if (user.empty()) return {};
  const std::wstring account = query(WTSDomainName) + L"\\" + user;
  BYTE sid[SECURITY_MAX_SID_SIZE];
  DWORD sidSize = sizeof(sid);
  wchar_t domain[256];
  DWORD domainSize = 256;
  SID_NAME_USE use;
  if (!::LookupAccountNameW(nullptr, account.c_str(), sid, &sidSize, domain, &domainSize, &use)) return {};
  LPWSTR text = nullptr;
  if (!::ConvertSidToStringSidW(sid, &text)) return {};
  UniqueLocalMem owner(text);
  return text;
}

}  // namespace

GuiManager::GuiManager(HINSTANCE instance, HANDLE stopEvent) : instance_(instance) {
  stopEvent_ = stopEvent;
  commandEvent_.reset(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
  icon_ = ::LoadIconW(instance, MAKEINTRESOURCEW(104));
}

GuiManager::~GuiManager() {
  if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) {
    Close();
    thread_.join();
  }
  if (icon_ != nullptr) ::DestroyIcon(icon_);
  icon_ = nullptr;
  page_.reset();
}

bool GuiManager::Initialize() {
  // The tool runs elevated, possibly as another account: the look follows the desktop's user. A user
  // that cannot be resolved gets the light look (an empty SID), never the elevated account's.
  DWORD sessionId = 0;
  std::wstring sid;
  const bool resolved = ::ProcessIdToSessionId(::GetCurrentProcessId(), &sessionId) &&
                        !(sid = SessionUserSid(sessionId)).empty();
  if (!resolved || sessionId != 0) QvUI::Theme::Instance().ReReadForSid(sid);
  return Create(instance_, kMainWindowClass, icon_);
}

void GuiManager::Shutdown() {
  Close();
  Join();
}

int GuiManager::ShowMessage(int kind) { return ShowDialog(new DialogMessage(kind)); }

int GuiManager::ShowWelcome() { return ShowDialog(new DialogWelcome()); }

int GuiManager::ShowSelect(ProductList& products) { return ShowDialog(new DialogSelect(products)); }

bool GuiManager::ShowProgress() { return PostShowDialog(new DialogProgress()) != 0; }

unsigned GuiManager::PostShowDialog(DialogChild* page) {
  // From here on no answer of an earlier page counts, and none is left waiting in the event.
  const unsigned serial = handOver_.Open();
  ::ResetEvent(commandEvent_.get());
  page->SetSerial(serial);
  if (hwnd_ != nullptr && ::PostMessageW(hwnd_, kShowDialogMessage, 0, reinterpret_cast<LPARAM>(page)))
    return serial;
  const DWORD error = ::GetLastError();
  delete page;
  if (hwnd_ == nullptr || ::WaitForSingleObject(stopEvent_, 0) == WAIT_OBJECT_0 ||
      error == ERROR_INVALID_WINDOW_HANDLE)
    QV_BREL_LOG(QV_INFO, L"The window is closed: the page is not shown, the run goes on to its end");
  else
    QV_BREL_LOG(QV_ERROR, L"Failed to post message: %lu", error);
  return 0;
}

int GuiManager::ShowDialog(DialogChild* page) {
  const unsigned serial = PostShowDialog(page);
  if (serial == 0) return AnswerCancel;
  const HANDLE events[] = {commandEvent_.get(), stopEvent_};
  const DWORD fired = ::WaitForMultipleObjects(2, events, FALSE, INFINITE);
  const int answer = fired == WAIT_OBJECT_0 ? handOver_.AnswerOf(serial) : 0;
  return answer != 0 ? answer : AnswerCancel;
}

void GuiManager::Answer(const DialogChild& page, int answer) {
  if (handOver_.Answer(page.Serial(), answer)) ::SetEvent(commandEvent_.get());
}

void GuiManager::OnShowDialog(DialogChild* page) {
  std::unique_ptr<DialogChild> next(page);
  if (!next) return;
  if (next->Create(instance_, hwnd_) == nullptr) {
    // The driver waits for this page: it gets the answer of a closed window, the shown page stays.
    QV_BREL_LOG(QV_ERROR, L"Failed to create page: %lu", ::GetLastError());
    Answer(*next, AnswerCancel);
    return;
  }
  // The template is laid out at the system DPI; a window on a monitor with another scale needs more.
  const int dpi = QvUI::WindowDpi(hwnd_);
  if (dpi != QvUI::SystemDpi()) next->OnDpiChanged(dpi);
  PassKeyboardCues(next->Handle());
  next->Show(SW_SHOW);
  if (!::IsWindowVisible(hwnd_)) {
    const SIZE size = next->ClientSize();
    SetClientSize(size.cx, size.cy, false);
    CentreOnCursorMonitor();
    SetText(BrelResLib::Settings::Instance().GetString("Title"));
    Show(SW_SHOW);
    QvUI::BringToForeground(hwnd_);
  }
  ::SetFocus(next->Handle());
  std::unique_ptr<DialogChild> previous = std::move(page_);
  page_ = std::move(next);
  if (previous) previous->Show(SW_HIDE);
}

void GuiManager::CentreOnCursorMonitor() {
  POINT cursor{};
  ::GetCursorPos(&cursor);
  MONITORINFO info{};
  info.cbSize = sizeof(info);
  if (!::GetMonitorInfoW(::MonitorFromPoint(cursor, MONITOR_DEFAULTTOPRIMARY), &info)) return;
  RECT window{};
  ::GetWindowRect(hwnd_, &window);
  const RECT& work = info.rcWork;
  const int x = work.left + std::max(0L, ((work.right - work.left) - (window.right - window.left)) / 2);
  const int y = work.top + std::max(0L, ((work.bottom - work.top) - (window.bottom - window.top)) / 2);
  ::SetWindowPos(hwnd_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT GuiManager::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kShowDialogMessage) {
    OnShowDialog(reinterpret_cast<DialogChild*>(lParam));
    return 0;
  }
  if (message == WM_ACTIVATE && LOWORD(wParam) != WA_INACTIVE && page_ && page_->Handle() != nullptr) {
    // Back from another window: the keyboard goes to the page (its dialog code picks the control
    // that had it), not to the bare main window.
    ::SetFocus(page_->Handle());
    return 0;
  }
  return App::WindowProc(window, message, wParam, lParam);
}

LRESULT GuiManager::OnCommand(int id, int code, HWND control) {
  QV_BREL_LOG(QV_DEBUG, L"id=%d, code=%d, HWND=%p", id, code, control);
  const HWND page = page_ ? page_->Handle() : nullptr;
  if (page == nullptr) return 0;
  if (control != page) {
    // The main window's dialog keys (Enter, Escape) land here, not on the page: hand them to the
    // page's own button so its handler runs (the select page saves its choice there).
    // Enter presses the focused push button, as in a dialog, and the page's OK button otherwise.
    HWND button = ::GetDlgItem(page, id);
    if (id == IDCANCEL && button == nullptr) {
      // A page without a Cancel button (the welcome page): Escape leaves as closing the window does.
      ::SendMessageW(page, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(page));
      return 0;
    }
    const HWND focus = ::GetFocus();
    if (id == IDOK && focus != nullptr && ::IsChild(page, focus) &&
        (::SendMessageW(focus, WM_GETDLGCODE, 0, 0) & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)) != 0) {
      button = focus;
      id = ::GetDlgCtrlID(focus);
    }
    if (button != nullptr && ::IsWindowVisible(button) && ::IsWindowEnabled(button))
      ::SendMessageW(page, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
    return 0;
  }
  Answer(*page_, id);
  return 0;
}

void GuiManager::OnDestroy() { ::SetEvent(stopEvent_); }

void GuiManager::OnDpiChanged(int dpi, const RECT& suggested) {
  const bool hasPage = page_ && page_->Handle() != nullptr;
  if (hasPage) page_->OnDpiChanged(dpi);
  App::OnDpiChanged(dpi, suggested);
  // The frame does not scale with the page on every system: the client area is made the page's.
  if (!hasPage) return;
  const SIZE size = page_->ClientSize();
  SetClientSize(size.cx, size.cy, false);
}
