// The wizard's last page: the outcome (finished, finished with a restart to offer, or an error) with
// its status icon; Close answers Cancel, Reboot (when offered) OK.
#pragma once

#include "ui/DialogChild.h"
#include "ui/toolkit/Button.h"
#include "ui/toolkit/StatusIcon.h"
#include "ui/toolkit/TextBlock.h"

class DialogMessage : public DialogChild {
 public:
  explicit DialogMessage(int kind) : kind_(kind) {}
  HWND Create(HINSTANCE instance, HWND parent) override;
  INT_PTR OnInitDialog() override;
  INT_PTR OnCommand(int id, int code, HWND control) override;

 private:
  QvUI::StatusIcon status_;
  QvUI::TextBlock message_;
  QvUI::Button ok_;
  QvUI::Button cancel_;
  int kind_;
};

// What the message page shows for a kind: the text key, the status icon, whether Reboot is offered.
struct MessageContent {
  const char* key;
  int statusKind;
  bool reboot;
};
MessageContent MessageContentFor(int kind);
