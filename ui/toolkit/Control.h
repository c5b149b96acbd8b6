// A template control taken over by the toolkit: subclassed, painted double-buffered in theme
// colours, with focus, hot and pressed states.
#pragma once

#include <windows.h>

#include "base/UniqueHandle.h"
#include "ui/toolkit/Accessible.h"
#include "ui/toolkit/Dpi.h"
#include "ui/toolkit/Gdi.h"
#include "ui/toolkit/Wnd.h"

namespace QvUI {

class Control : public Wnd, public AccessibleSource {
 public:
  Control();
  // Gives the window its own procedure back if it outlives the object.
  ~Control() override;

  // Subclasses the control and creates its back buffer; false when the window cannot be taken.
  virtual bool Attach(HWND window);
  // BN_CLICKED to the parent.
  virtual void OnClick();
  virtual void OnStateChanged(int changed);
  // Paints the whole control into dc (the back buffer); the base fills with the static brush.
  virtual void Paint(HDC dc, const RECT& rect);
  // Paints into the back buffer and copies it to the window at once.
  virtual void Redraw();
  // WM_COMMAND (own id, code) to the parent.
  virtual void Notify(int code);
  // SendMessageW(parent, message, wParam, own window); WM_CTLCOLOR* give the background brush.
  virtual LRESULT SendToParent(UINT message, WPARAM wParam);
  virtual LRESULT OnPaint();
  virtual LRESULT OnPrintClient(HDC dc);
  virtual void OnFocus(bool focused);
  virtual void OnLButtonDown();
  virtual void OnLButtonUp();
  virtual void OnMouseMove();
  virtual void OnMouseLeave();
  // Called when the window is being destroyed, before the control lets it go.
  virtual void OnDestroyHook();
  virtual LRESULT WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  bool HasState(int mask) const { return (state_ & mask) != 0; }
  // The DPI the control's window is drawn at now.
  int Dpi() const { return WindowDpi(hwnd_); }

  // The window's text and state (hot and pressed included) as a client area; widgets say what they are.
  AccessibleFacts Describe(long child) const override;
  // Clicks, when the control is enabled, visible and names a default action.
  bool DoDefaultAction(long child) override;

 protected:
  LRESULT CallPrevious(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  // The brush the parent gives for WM_CTLCOLORSTATIC / WM_CTLCOLORBTN (text colour set in dc).
  HBRUSH ParentBrush(HDC dc, UINT message);
  void FillBackground(HDC dc, const RECT& rect, UINT message);

  int focusMask_ = 1;
  int hotMask_ = 2;
  int pressedMask_ = 4;
  int state_ = 0;
  UniqueMemoryDc memoryDc_;
  UniqueHBitmap backBuffer_;
  WNDPROC previous_ = nullptr;

 private:
  static LRESULT CALLBACK ControlProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void CreateBackBuffer(int width, int height);
  void Detach();
  void SetState(int mask, bool on);

  AccessibleServer accessible_{*this};
};

}  // namespace QvUI
