// Base of every toolkit window: the handle and the operations all of them share. Each operation
// may address a child by control id; id 0 is the window itself. Without a window the queries give
// empty values and the changes do nothing.
#pragma once

#include <windows.h>

#include <string>

namespace QvUI {

class Wnd {
 public:
  Wnd() = default;
  Wnd(const Wnd&) = delete;
  Wnd& operator=(const Wnd&) = delete;
  virtual ~Wnd() = default;

  HWND Handle() const { return hwnd_; }
  // The child with this control id, or the window itself for id 0.
  HWND Child(int id = 0) const;

  bool Enable(bool enable, int id = 0);
  SIZE ClientSize(int id = 0) const;
  HFONT Font(int id = 0) const;
  LONG_PTR Style(int id = 0) const;
  std::wstring Text(int id = 0) const;
  bool IsEnabled(int id = 0) const;
  bool IsVisible(int id = 0) const;

  // Sizes the window so its client area is width x height for its current style; keeps position
  // and z-order.
  bool SetClientSize(int width, int height, bool hasMenu, int id = 0);
  void SetFont(HFONT font, int id = 0);
  // Sets or clears style bits; bits that touch the low five (the control type) replace the type.
  void ModifyStyle(LONG_PTR bits, bool set, int id = 0);
  bool SetText(const std::wstring& text, int id = 0);
  bool Show(int command, int id = 0);
  bool Destroy(int id = 0);

 protected:
  HWND hwnd_ = nullptr;
};

}  // namespace QvUI
