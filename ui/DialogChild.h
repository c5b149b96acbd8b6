// The wizard's page: a modeless child dialog of the main window built from a template, whose controls
// are taken over by toolkit widgets. A page answers by forwarding its OK or Cancel command to the
// main window with the page window as the sender, once: later commands (the second click of a double
// click) are dropped.
#pragma once

#include <windows.h>

#include <map>
#include <string>

#include "ui/toolkit/Control.h"
#include "ui/toolkit/Dialog.h"

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
  // The font of every page's text, and the message text most pages have.
  static constexpr int kPageFont = 10;
  static constexpr int kIdMessage = 1008;

  // The text of `key` in the run's language.
  static std::wstring Localised(const char* key);
  // Every child gets the page font.
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
