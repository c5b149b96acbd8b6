// The wizard's progress page: a spinner and the removal message while the products go; its Cancel
// stays disabled.
#pragma once

#include "ui/DialogChild.h"
#include "ui/toolkit/Button.h"
#include "ui/toolkit/Spinner.h"
#include "ui/toolkit/TextBlock.h"

class DialogProgress : public DialogChild {
 public:
  HWND Create(HINSTANCE instance, HWND parent) override;
  INT_PTR OnInitDialog() override;
  INT_PTR OnCommand(int id, int code, HWND control) override;

 private:
  QvUI::Spinner spinner_;
  QvUI::TextBlock message_;
  QvUI::Button cancel_;
};
