// The wizard's first page: title, welcome text, the licence-terms link and the notices of the
// libraries the tool carries; Start answers OK.
#pragma once

#include <string>

#include "ui/DialogChild.h"
#include "ui/toolkit/Button.h"
#include "ui/toolkit/StaticLink.h"
#include "ui/toolkit/TextBlock.h"

class DialogWelcome : public DialogChild {
 public:
  HWND Create(HINSTANCE instance, HWND parent) override;
  INT_PTR OnInitDialog() override;
  INT_PTR OnCommand(int id, int code, HWND control) override;

 private:
  QvUI::TextBlock title_;
  QvUI::TextBlock message_;
  QvUI::Button start_;
  QvUI::StaticLink copyright_;
  QvUI::TextBlock luaNotice_;
  QvUI::TextBlock zlibNotice_;
};

// Every "%YEAR%" replaced by the copyright years.
std::wstring ReplaceYear(std::wstring text);
