// Shared window operations.
#include "ui/toolkit/Wnd.h"

namespace QvUI {

HWND Wnd::Child(int id) const {
  if (hwnd_ == nullptr) return nullptr;
  return id == 0 ? hwnd_ : ::GetDlgItem(hwnd_, id);
}

bool Wnd::Enable(bool enable, int id) {
  const HWND window = Child(id);
  return window != nullptr && ::EnableWindow(window, enable ? TRUE : FALSE) != FALSE;
}

SIZE Wnd::ClientSize(int id) const {
  RECT rect{};
  const HWND window = Child(id);
  if (window == nullptr || !::GetClientRect(window, &rect)) return {0, 0};
  return {rect.right - rect.left, rect.bottom - rect.top};
}

HFONT Wnd::Font(int id) const {
  const HWND window = Child(id);
  return window ? reinterpret_cast<HFONT>(::SendMessageW(window, WM_GETFONT, 0, 0)) : nullptr;
}

LONG_PTR Wnd::Style(int id) const {
  const HWND window = Child(id);
  return window ? ::GetWindowLongPtrW(window, GWL_STYLE) : 0;
}

std::wstring Wnd::Text(int id) const {
  const HWND window = Child(id);
  if (window == nullptr) return {};
  const int length = ::GetWindowTextLengthW(window);
  if (length <= 0) return {};
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  text.resize(static_cast<size_t>(::GetWindowTextW(window, text.data(), length + 1)));
  return text;
}

bool Wnd::IsEnabled(int id) const {
  const HWND window = Child(id);
  return window != nullptr && ::IsWindowEnabled(window) != FALSE;
}

bool Wnd::IsVisible(int id) const {
  const HWND window = Child(id);
  return window != nullptr && ::IsWindowVisible(window) != FALSE;
}

bool Wnd::SetClientSize(int width, int height, bool hasMenu, int id) {
  const HWND window = Child(id);
  if (window == nullptr) return false;
  RECT rect{0, 0, width, height};
  const auto style = static_cast<DWORD>(::GetWindowLongPtrW(window, GWL_STYLE));
  if (!::AdjustWindowRect(&rect, style, hasMenu ? TRUE : FALSE)) return false;
  return ::SetWindowPos(window, nullptr, 0, 0, rect.right - rect.left, rect.bottom - rect.top,
                        SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE) != FALSE;
}

void Wnd::SetFont(HFONT font, int id) {
  if (const HWND window = Child(id)) ::SendMessageW(window, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

void Wnd::ModifyStyle(LONG_PTR bits, bool set, int id) {
  const HWND window = Child(id);
  if (window == nullptr) return;
  constexpr LONG_PTR TypeBits = 0x1F;
  LONG_PTR style = ::GetWindowLongPtrW(window, GWL_STYLE);
  if (bits & TypeBits) style &= ~TypeBits;
  style = set ? (style | bits) : (style & ~bits);
  ::SetWindowLongPtrW(window, GWL_STYLE, style);
}

bool Wnd::SetText(const std::wstring& text, int id) {
  const HWND window = Child(id);
  return window != nullptr && ::SetWindowTextW(window, text.c_str()) != FALSE;
}

bool Wnd::Show(int command, int id) {
  const HWND window = Child(id);
  return window != nullptr && ::ShowWindow(window, command) != FALSE;
}

bool Wnd::Destroy(int id) {
  const HWND window = Child(id);
  return window != nullptr && ::DestroyWindow(window) != FALSE;
}

}  // namespace QvUI
