// Wizard pages: modeless child dialogs of the main window built from templates 120-123, whose
// controls are taken over by toolkit widgets. A page answers by forwarding its OK or Cancel command
// to the main window with the page window as the sender, once: later commands (the second click of
// a double click) are dropped.
#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/ProductConfig.h"
#include "ui/toolkit/Button.h"
#include "ui/toolkit/Checkbox.h"
#include "ui/toolkit/Dialog.h"
#include "ui/toolkit/ListView.h"
#include "ui/toolkit/Spinner.h"
#include "ui/toolkit/StaticLink.h"
#include "ui/toolkit/StatusIcon.h"
#include "ui/toolkit/TextBlock.h"

class DialogChild : public QvUI::Dialog {
 public:
  virtual HWND Create(HINSTANCE instance, HWND parent) = 0;

  // The hand-over serial the manager gave the page when it posted it.
  unsigned Serial() const { return serial_; }
  void SetSerial(unsigned serial) { serial_ = serial; }
  bool Answered() const { return answered_; }
  // Lays the page out again at dpi and gives every control its font at that DPI.
  void OnDpiChanged(int dpi) override;

 protected:
  // Every child gets the page font (font id 10).
  void SetChildFonts();
  // Binds a widget to the template control and sets its text and font (font id; 0 keeps the page
  // font).
  void Bind(QvUI::Control& control, int id, const std::wstring& text, int fontId);
  // The control's font id: remembered, so a DPI change can make the font again.
  void SetControlFont(int id, int fontId);
  // Opens the localised licence-terms address.
  void LaunchUrl();
  // The command to the main window, sent as coming from this page; only the first one goes.
  void Forward(int id, int code);

 private:
  unsigned serial_ = 0;
  bool answered_ = false;
  std::map<int, int> fontIds_;  // control id → font id, where it is not the page font
};

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

class DialogSelect : public DialogChild {
 public:
  explicit DialogSelect(ProductList products);
  HWND Create(HINSTANCE instance, HWND parent) override;
  INT_PTR OnInitDialog() override;
  INT_PTR OnCommand(int id, int code, HWND control) override;
  INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  void OnDpiChanged(int dpi) override;

 private:
  void UpdateNext();
  void SaveProductSelections();

  QvUI::Checkbox removeAll_;
  QvUI::Checkbox choose_;
  QvUI::ListView list_;
  QvUI::Button next_;
  QvUI::Button cancel_;
  ProductList products_;
};

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

// Every "%YEAR%" replaced by the copyright years.
std::wstring ReplaceYear(std::wstring text);
