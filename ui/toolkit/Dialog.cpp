// Shared dialog procedure and default handlers.
#include "ui/toolkit/Dialog.h"

#include "ui/toolkit/DialogTemplate.h"
#include "ui/toolkit/Theme.h"

namespace QvUI {

Dialog::~Dialog() {
  if (hwnd_ != nullptr) ::DestroyWindow(hwnd_);
}

INT_PTR Dialog::RunModal(HINSTANCE instance, int templateId, HWND parent) {
  instance_ = instance;
  templateId_ = templateId;
  return ::DialogBoxParamW(instance, MAKEINTRESOURCEW(templateId), parent, DialogProc,
                           reinterpret_cast<LPARAM>(this));
}

HWND Dialog::CreateModeless(HINSTANCE instance, int templateId, HWND parent) {
  instance_ = instance;
  templateId_ = templateId;
  return ::CreateDialogParamW(instance, MAKEINTRESOURCEW(templateId), parent, DialogProc,
                              reinterpret_cast<LPARAM>(this));
}

INT_PTR Dialog::OnMessage(UINT, WPARAM, LPARAM) { return 0; }

INT_PTR Dialog::OnInitDialog() {
  if (Theme::Instance().IsDark() && ApplyDarkTitleBar(hwnd_) && ::IsWindowVisible(hwnd_)) {
    // The frame keeps its old colours until it is shown again.
    ::ShowWindow(hwnd_, SW_HIDE);
    ::ShowWindow(hwnd_, SW_SHOW);
  }
  return 1;
}

INT_PTR Dialog::OnCommand(int id, int, HWND) {
  if (id == IDOK || id == IDCANCEL) {
    ::EndDialog(hwnd_, id);
    return 0;
  }
  return 1;
}

INT_PTR Dialog::OnDrawItem(int, DRAWITEMSTRUCT*) { return 0; }

HBRUSH Dialog::OnCtlColor(HDC dc, HWND) {
  const Theme& theme = Theme::Instance();
  ::SetTextColor(dc, theme.Colour(10));
  ::SetBkColor(dc, theme.Colour(0));
  const HBRUSH brush = theme.BackgroundBrush();
  return brush ? brush : static_cast<HBRUSH>(::GetStockObject(LTGRAY_BRUSH));
}

void Dialog::OnDestroy() {}

void Dialog::OnDpiChanged(int dpi) { LayOutForDpi(dpi); }

bool Dialog::LayOutForDpi(int dpi) {
  const std::optional<DialogTemplateLayout> layout = LoadDialogTemplate(instance_, templateId_);
  if (!layout || layout->pointSize == 0 || hwnd_ == nullptr) return false;
  // The dialog manager's font for the template, made at dpi: the face the system chose for it, the
  // template's point size.
  LOGFONTW font{};
  const auto current = reinterpret_cast<HFONT>(::SendMessageW(hwnd_, WM_GETFONT, 0, 0));
  if (current == nullptr || ::GetObjectW(current, sizeof(font), &font) == 0) return false;
  font.lfHeight = FontHeightAtDpi(layout->pointSize, dpi);
  const UniqueHFont scaled(::CreateFontIndirectW(&font));
  const SIZE base = scaled ? DialogBaseUnits(scaled.get()) : SIZE{};
  if (base.cx == 0 || base.cy == 0) return false;
  const RECT frame = DialogUnitsToPixels({0, 0, layout->units.cx, layout->units.cy}, base);
  ::SetWindowPos(hwnd_, nullptr, 0, 0, frame.right, frame.bottom, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  for (const DialogTemplateItem& item : layout->items) {
    const HWND control = ::GetDlgItem(hwnd_, item.id);
    if (control == nullptr) continue;
    const RECT rect = DialogUnitsToPixels(item.units, base);
    ::SetWindowPos(control, nullptr, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
  }
  ::InvalidateRect(hwnd_, nullptr, TRUE);
  return true;
}

INT_PTR CALLBACK Dialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto* dialog = reinterpret_cast<Dialog*>(lParam);
    dialog->hwnd_ = window;
    ::SetWindowLongPtrW(window, GWLP_USERDATA, lParam);
    return dialog->OnInitDialog();
  }
  auto* dialog = reinterpret_cast<Dialog*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (dialog == nullptr) return 0;
  switch (message) {
    case WM_DESTROY:
      dialog->OnDestroy();
      ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
      dialog->hwnd_ = nullptr;
      return 1;
    case WM_DRAWITEM:
      return dialog->OnDrawItem(static_cast<int>(wParam), reinterpret_cast<DRAWITEMSTRUCT*>(lParam));
    case WM_COMMAND:
      return dialog->OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
    default:
      if (message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC)
        return reinterpret_cast<INT_PTR>(
            dialog->OnCtlColor(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam)));
      return dialog->OnMessage(message, wParam, lParam);
  }
}

}  // namespace QvUI
