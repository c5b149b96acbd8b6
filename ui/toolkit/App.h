// A top-level window on a UI thread of its own: the thread registers the class, creates the main
// window and runs the message loop; the creating thread waits until the window is ready (or failed).
#pragma once

#include <windows.h>

#include <atomic>
#include <string>
#include <thread>

#include "base/UniqueHandle.h"
#include "ui/toolkit/Wnd.h"

namespace QvUI {

class App : public Wnd {
 public:
  App() = default;
  // Closes the window and joins the UI thread when called from another thread.
  ~App() override;

  // Starts the UI thread and waits for it; true when the main window exists. Throws
  // std::system_error ("resource unavailable try again") when no thread can be started.
  virtual bool Create(HINSTANCE instance, const std::wstring& className, HICON icon);
  // Posts WM_CLOSE to the main window; false without a window.
  virtual bool Close();
  // Joins the UI thread if it is joinable; from the UI thread itself std::system_error
  // ("resource deadlock would occur").
  virtual void Join();

 protected:
  // The hidden main window (on the UI thread).
  virtual HWND CreateMainWindow(const std::wstring& className, HINSTANCE instance);
  // WM_CREATE → OnCreate, WM_DESTROY → OnDestroy and the end of the loop, WM_COMMAND → OnCommand,
  // WM_DPICHANGED → OnDpiChanged.
  virtual LRESULT WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  virtual void OnCreate();
  virtual LRESULT OnCommand(int id, int code, HWND control);
  virtual void OnDestroy();
  // WM_DPICHANGED: the window is now drawn at dpi (already recorded); the default takes the
  // system's suggested window rectangle.
  virtual void OnDpiChanged(int dpi, const RECT& suggested);
  // Gives a window created later (a page) the keyboard-cue state of the main window.
  void PassKeyboardCues(HWND window) const;

  std::thread thread_;
  std::atomic<int> ready_{0};
  UniqueHandle commandEvent_;
  HICON icon_ = nullptr;
  HANDLE stopEvent_ = nullptr;

 private:
  static LRESULT CALLBACK StaticWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void UiThread(HINSTANCE instance, std::wstring className, HICON icon);
  void ReportReady();

  std::wstring className_;
};

}  // namespace QvUI
