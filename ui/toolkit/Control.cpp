// Subclassing, double buffering and the state machine shared by every widget.
#include "ui/toolkit/Control.h"

#include "ui/toolkit/KeyboardCues.h"

namespace QvUI {

Control::Control() : focusMask_(1), hotMask_(2), pressedMask_(4) {}

Control::~Control() {
  if (hwnd_ != nullptr && ::IsWindow(hwnd_)) Detach();
}

bool Control::Attach(HWND window) {
  if (window == nullptr || hwnd_ != nullptr) return false;
  hwnd_ = window;
  ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  previous_ = reinterpret_cast<WNDPROC>(
      ::SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Control::ControlProc)));
  {
    const WindowDc dc(window);
    memoryDc_.reset(::CreateCompatibleDC(dc.get()));
  }
  const SIZE size = ClientSize();
  CreateBackBuffer(size.cx, size.cy);
  return previous_ != nullptr;
}

void Control::CreateBackBuffer(int width, int height) {
  if (!memoryDc_) return;
  const WindowDc dc(hwnd_);
  HBITMAP bitmap = ::CreateCompatibleBitmap(dc.get(), width > 0 ? width : 1, height > 0 ? height : 1);
  if (bitmap == nullptr) return;
  ::SelectObject(memoryDc_.get(), bitmap);
  backBuffer_.reset(bitmap);  // the old buffer is no longer selected, so it can go
}

void Control::Detach() {
  // The DC first: a bitmap still selected into a DC cannot be deleted.
  memoryDc_.reset();
  backBuffer_.reset();
  if (previous_ != nullptr) ::SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous_));
  ::SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
  hwnd_ = nullptr;
}

void Control::OnClick() { Notify(BN_CLICKED); }

void Control::OnStateChanged(int) {}

void Control::Paint(HDC dc, const RECT& rect) { FillBackground(dc, rect, WM_CTLCOLORSTATIC); }

void Control::Redraw() {
  if (!memoryDc_) return;
  RECT rect{};
  ::GetClientRect(hwnd_, &rect);
  Paint(memoryDc_.get(), rect);
  const WindowDc dc(hwnd_);
  ::BitBlt(dc.get(), 0, 0, rect.right, rect.bottom, memoryDc_.get(), 0, 0, SRCCOPY);
}

void Control::Notify(int code) {
  const HWND parent = ::GetParent(hwnd_);
  if (parent == nullptr) return;
  ::SendMessageW(parent, WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(hwnd_), code),
                 reinterpret_cast<LPARAM>(hwnd_));
}

LRESULT Control::SendToParent(UINT message, WPARAM wParam) {
  return ::SendMessageW(::GetParent(hwnd_), message, wParam, reinterpret_cast<LPARAM>(hwnd_));
}

HBRUSH Control::ParentBrush(HDC dc, UINT message) {
  return reinterpret_cast<HBRUSH>(SendToParent(message, reinterpret_cast<WPARAM>(dc)));
}

void Control::FillBackground(HDC dc, const RECT& rect, UINT message) {
  HBRUSH brush = ParentBrush(dc, message);
  ::FillRect(dc, &rect, brush ? brush : ::GetSysColorBrush(COLOR_BTNFACE));
}

LRESULT Control::OnPaint() {
  const PaintDc paint(hwnd_);
  if (paint.get() == nullptr) return 1;
  RECT rect{};
  ::GetClientRect(hwnd_, &rect);
  if (memoryDc_) {
    Paint(memoryDc_.get(), rect);
    ::BitBlt(paint.get(), 0, 0, rect.right, rect.bottom, memoryDc_.get(), 0, 0, SRCCOPY);
  }
  return 0;
}

LRESULT Control::OnPrintClient(HDC dc) {
  RECT rect{};
  if (!::GetClientRect(hwnd_, &rect)) return 1;
  if (memoryDc_) {
    Paint(memoryDc_.get(), rect);
    ::BitBlt(dc, 0, 0, rect.right, rect.bottom, memoryDc_.get(), 0, 0, SRCCOPY);
  }
  return 0;
}

void Control::SetState(int mask, bool on) {
  const int before = state_;
  state_ = on ? (state_ | mask) : (state_ & ~mask);
  // The focus bit is only the drawn cue; the system reports the focus itself.
  if ((before ^ state_) & (hotMask_ | pressedMask_))
    ::NotifyWinEvent(EVENT_OBJECT_STATECHANGE, hwnd_, OBJID_CLIENT, CHILDID_SELF);
}

AccessibleFacts Control::Describe(long) const {
  AccessibleFacts facts;
  facts.name = Text();
  facts.state = WindowState(hwnd_);
  if (HasState(hotMask_)) facts.state |= STATE_SYSTEM_HOTTRACKED;
  if (HasState(pressedMask_)) facts.state |= STATE_SYSTEM_PRESSED;
  return facts;
}

bool Control::DoDefaultAction(long child) {
  if (Describe(child).defaultAction.empty() || !::IsWindowEnabled(hwnd_) || !::IsWindowVisible(hwnd_))
    return false;
  OnClick();
  return true;
}

void Control::OnFocus(bool focused) {
  // Keyboard cues stay hidden until the user starts using the keyboard.
  const bool show = focused && !KeyboardCues::Hidden() &&
                    (::SendMessageW(hwnd_, WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS) == 0;
  if (show == HasState(focusMask_)) return;
  SetState(focusMask_, show);
  OnStateChanged(focusMask_);
}

void Control::OnLButtonDown() {
  // A click on a button, radio or check box moves the keyboard focus there, so Space then acts on
  // the control the user pointed at; static texts and links keep it where it is.
  const LRESULT code = ::SendMessageW(hwnd_, WM_GETDLGCODE, 0, 0);
  if ((code & (DLGC_BUTTON | DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON | DLGC_RADIOBUTTON)) != 0 &&
      ::GetFocus() != hwnd_)
    ::SetFocus(hwnd_);
  SetState(pressedMask_, true);
  OnStateChanged(pressedMask_);
}

void Control::OnLButtonUp() {
  if (!HasState(pressedMask_)) return;
  SetState(pressedMask_, false);
  OnStateChanged(pressedMask_);
  OnClick();
}

void Control::OnMouseMove() {
  if (HasState(hotMask_)) return;
  TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, hwnd_, HOVER_DEFAULT};
  if (!::TrackMouseEvent(&track)) return;
  SetState(hotMask_, true);
  OnStateChanged(hotMask_);
}

void Control::OnMouseLeave() {
  SetState(hotMask_ | pressedMask_, false);
  OnStateChanged(hotMask_ | pressedMask_);
}

void Control::OnDestroyHook() {}

LRESULT Control::CallPrevious(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return previous_ ? ::CallWindowProcW(previous_, window, message, wParam, lParam)
                   : ::DefWindowProcW(window, message, wParam, lParam);
}

LRESULT Control::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SETFOCUS:
      OnFocus(true);
      return 0;
    case WM_KILLFOCUS:
      OnFocus(false);
      return 0;
    case WM_ENABLE:
    case WM_SETTEXT:
    case WM_SETFONT:
      ::InvalidateRect(window, nullptr, TRUE);
      return CallPrevious(window, message, wParam, lParam);
    case WM_PAINT:
      return OnPaint();
    case WM_ERASEBKGND:
      return 1;
    case WM_MOUSEMOVE:
      OnMouseMove();
      return 0;
    case WM_LBUTTONDOWN:
      OnLButtonDown();
      return 0;
    case WM_LBUTTONDBLCLK:
      // The first click of the pair has already clicked; this message stands for the second.
      OnClick();
      OnLButtonUp();
      return 0;
    case WM_LBUTTONUP:
      OnLButtonUp();
      return 0;
    case WM_MOUSELEAVE:
      OnMouseLeave();
      return 0;
    case WM_UPDATEUISTATE: {
      // The cues were shown or hidden: the focus state follows. The system button paints itself
      // on this message; paint over it.
      const LRESULT result = CallPrevious(window, message, wParam, lParam);
      if (::GetFocus() == window) OnFocus(true);
      ::InvalidateRect(window, nullptr, FALSE);
      return result;
    }
    case WM_PRINTCLIENT:
      return OnPrintClient(reinterpret_cast<HDC>(wParam));
    case WM_GETOBJECT: {
      LRESULT result = 0;
      if (accessible_.OnGetObject(window, wParam, lParam, result)) return result;
      return CallPrevious(window, message, wParam, lParam);
    }
    case BM_SETCHECK:
    case BM_SETSTATE:
    case BM_SETSTYLE: {
      // A system button paints itself at once on these; paint over it.
      const LRESULT result = CallPrevious(window, message, wParam, lParam);
      ::InvalidateRect(window, nullptr, FALSE);
      return result;
    }
    default:
      return CallPrevious(window, message, wParam, lParam);
  }
}

LRESULT CALLBACK Control::ControlProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* control = reinterpret_cast<Control*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (control == nullptr) return ::DefWindowProcW(window, message, wParam, lParam);
  switch (message) {
    case WM_DESTROY: {
      control->OnDestroyHook();
      control->accessible_.Disconnect();
      const WNDPROC previous = control->previous_;
      control->Detach();
      if (previous) ::CallWindowProcW(previous, window, message, wParam, lParam);
      return 0;
    }
    case WM_SIZE:
      control->CreateBackBuffer(LOWORD(lParam), HIWORD(lParam));
      break;
    default:
      break;
  }
  const LRESULT result = control->WindowProc(window, message, wParam, lParam);
  RaiseAccessibleEvent(window, message);
  return result;
}

}  // namespace QvUI
