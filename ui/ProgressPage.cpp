// The progress page.
#include "ui/ProgressPage.h"

namespace {

constexpr int kTemplateProgress = 122;

constexpr int kIdSpinner = 1023;

}  // namespace

HWND DialogProgress::Create(HINSTANCE instance, HWND parent) {
  return CreateModeless(instance, kTemplateProgress, parent);
}

INT_PTR DialogProgress::OnInitDialog() {
  SetChildFonts();
  spinner_.Attach(::GetDlgItem(hwnd_, kIdSpinner));
  spinner_.SetName(Localised("Removing"));
  Bind(message_, kIdMessage, Localised("Removing"), kPageFont);
  Bind(cancel_, IDCANCEL, Localised("Cancel"), kPageFont);
  cancel_.SetPrimary(false);
  cancel_.Enable(false);
  return QvUI::Dialog::OnInitDialog();
}

INT_PTR DialogProgress::OnCommand(int id, int code, HWND control) {
  if (id == IDOK || id == IDCANCEL) {
    Forward(id, code);
    return 0;
  }
  return QvUI::Dialog::OnCommand(id, code, control);
}
