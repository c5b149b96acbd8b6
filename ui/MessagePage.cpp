// The message page.
#include "ui/MessagePage.h"

namespace {

constexpr int kTemplateMessage = 121;

constexpr int kIdStatus = 1022;

}  // namespace

MessageContent MessageContentFor(int kind) {
  switch (kind) {
    case 1:
      return {"ErrorPrivileges", 1, false};
    case 2:
      return {"Finished", 4, false};
    case 3:
      return {"FinishedReboot", 3, true};
    default:
      return {"ErrorGeneric", 1, false};
  }
}

HWND DialogMessage::Create(HINSTANCE instance, HWND parent) {
  return CreateModeless(instance, kTemplateMessage, parent);
}

INT_PTR DialogMessage::OnInitDialog() {
  SetChildFonts();
  const MessageContent content = MessageContentFor(kind_);
  Bind(message_, kIdMessage, Localised(content.key), kPageFont);
  Bind(ok_, IDOK, std::wstring(), kPageFont);
  Bind(cancel_, IDCANCEL, Localised("Close"), kPageFont);
  status_.Attach(::GetDlgItem(hwnd_, kIdStatus));
  if (content.reboot) {
    ok_.SetText(Localised("Reboot"));
    ok_.Show(SW_SHOW);
    cancel_.SetPrimary(false);
  }
  status_.SetKind(content.statusKind);
  return QvUI::Dialog::OnInitDialog();
}

INT_PTR DialogMessage::OnCommand(int id, int code, HWND control) {
  if (id == IDOK || id == IDCANCEL) {
    Forward(id, code);
    return 0;
  }
  return QvUI::Dialog::OnCommand(id, code, control);
}
