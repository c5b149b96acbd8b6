// UI thread, main window and message loop.
#include "ui/toolkit/App.h"

#include <objbase.h>

#include "ui/toolkit/Dpi.h"
#include "ui/toolkit/KeyboardCues.h"
#include "ui/toolkit/Theme.h"

namespace QvUI {

namespace {

constexpr WORD kCueFlags = UISF_HIDEFOCUS | UISF_HIDEACCEL;

// Focus and accelerator cues start hidden, as after a start with the mouse, unless the user asked
// the system to show them always.
void InitialiseKeyboardCues(HWND window) {
  KeyboardCues::Initialise();
  const WORD action = KeyboardCues::Hidden() ? UIS_SET : UIS_CLEAR;
  ::SendMessageW(window, WM_CHANGEUISTATE, MAKEWPARAM(action, kCueFlags), 0);
}

BOOL CALLBACK ClearCuesOfChild(HWND child, LPARAM) {
  ::SendMessageW(child, WM_UPDATEUISTATE, MAKEWPARAM(UIS_CLEAR, kCueFlags), 0);
  return TRUE;
}

// The first key shows the cues for good. The system passes the change down to every child; Wine
// does not, so the children are told here as well (a second notice changes nothing).
void ShowKeyboardCues(HWND window) {
  if (!KeyboardCues::Show()) return;
  ::SendMessageW(window, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, kCueFlags), 0);
  ::EnumChildWindows(window, ClearCuesOfChild, 0);
}

}  // namespace

App::~App() {
  if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) {
    Close();
    thread_.join();
  }
}

bool App::Create(HINSTANCE instance, const std::wstring& className, HICON icon) {
  className_ = className;
  thread_ = std::thread(&App::UiThread, this, instance, className_, icon);
  ready_.wait(0);
  return hwnd_ != nullptr;
}

bool App::Close() { return hwnd_ != nullptr && ::PostMessageW(hwnd_, WM_CLOSE, 0, 0) != FALSE; }

void App::Join() {
  if (thread_.joinable()) thread_.join();
}

HWND App::CreateMainWindow(const std::wstring& className, HINSTANCE instance) {
  return ::CreateWindowExW(WS_EX_APPWINDOW | WS_EX_CONTROLPARENT | WS_EX_DLGMODALFRAME, className.c_str(),
                           className.c_str(), WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, CW_USEDEFAULT,
                           CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance, this);
}

LRESULT App::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      OnCreate();
      return ::DefWindowProcW(window, message, wParam, lParam);
    case WM_DESTROY:
      OnDestroy();
      ::PostQuitMessage(0);
      return 0;
    case WM_COMMAND:
      return OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
    case WM_DPICHANGED: {
      const int dpi = HIWORD(wParam);
      if (dpi <= 0 || lParam == 0) return 0;
      SetWindowDpi(window, dpi);
      OnDpiChanged(dpi, *reinterpret_cast<const RECT*>(lParam));
      return 0;
    }
    case WM_NCDESTROY:
      SetWindowDpi(window, 0);
      return ::DefWindowProcW(window, message, wParam, lParam);
    default:
      return ::DefWindowProcW(window, message, wParam, lParam);
  }
}

void App::OnCreate() {}

LRESULT App::OnCommand(int, int, HWND) { return 0; }

void App::OnDestroy() {}

void App::OnDpiChanged(int, const RECT& suggested) {
  ::SetWindowPos(hwnd_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

void App::PassKeyboardCues(HWND window) const {
  const WORD hidden = static_cast<WORD>(::SendMessageW(hwnd_, WM_QUERYUISTATE, 0, 0) & kCueFlags);
  if (hidden != 0) ::SendMessageW(window, WM_UPDATEUISTATE, MAKEWPARAM(UIS_SET, hidden), 0);
  if (hidden != kCueFlags)
    ::SendMessageW(window, WM_UPDATEUISTATE, MAKEWPARAM(UIS_CLEAR, kCueFlags & ~hidden), 0);
}

LRESULT CALLBACK App::StaticWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  App* app = nullptr;
  if (message == WM_NCCREATE) {
    app = static_cast<App*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    app->hwnd_ = window;
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(app));
    if (Theme::Instance().Mode() == ThemeDark) ApplyDarkTitleBar(window);
  } else {
    app = reinterpret_cast<App*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  }
  return app ? app->WindowProc(window, message, wParam, lParam)
             : ::DefWindowProcW(window, message, wParam, lParam);
}

void App::ReportReady() {
  ready_.store(1);
  ready_.notify_all();
}

void App::UiThread(HINSTANCE instance, std::wstring className, HICON icon) {
  const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.lpfnWndProc = StaticWindowProc;
  windowClass.hInstance = instance;
  windowClass.hIcon = icon;
  windowClass.hIconSm = icon;
  windowClass.lpszClassName = className.c_str();
  ::RegisterClassExW(&windowClass);

  if (CreateMainWindow(className, instance) != nullptr) {
    MSG message;
    // The queue exists before the creator learns of the window, so its first post is not lost.
    ::PeekMessageW(&message, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
    InitialiseKeyboardCues(hwnd_);
    ReportReady();
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
      if (hwnd_ != nullptr && (message.message == WM_KEYDOWN || message.message == WM_SYSKEYDOWN))
        ShowKeyboardCues(hwnd_);
      if (hwnd_ != nullptr && ::IsDialogMessageW(hwnd_, &message)) continue;
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
    hwnd_ = nullptr;
  }

  ::UnregisterClassW(className.c_str(), instance);
  if (SUCCEEDED(com)) ::CoUninitialize();
  ReportReady();
}

}  // namespace QvUI
