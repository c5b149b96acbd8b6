// A hidden top-level window for widget tests: children made in it with the page font, and the
// WM_COMMAND notifications they send, recorded in order.
#pragma once

#include <windows.h>

#include <vector>

#include "ui/toolkit/Theme.h"

namespace QvTest {

// A hidden top-level window that records the notifications its children send.
class ParentWindow {
 public:
  ParentWindow() {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = Proc;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"QvToolkitTestParent";
    ::RegisterClassW(&windowClass);
    window_ = ::CreateWindowExW(0, windowClass.lpszClassName, L"", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300,
                                nullptr, nullptr, windowClass.hInstance, nullptr);
  }
  ~ParentWindow() { ::DestroyWindow(window_); }
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

}  // namespace QvTest
