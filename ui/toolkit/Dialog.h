// A dialog built from a template whose messages go to virtual handlers; one dialog procedure
// serves every QvUI::Dialog (the object travels in GWLP_USERDATA).
#pragma once

#include <windows.h>

#include "ui/toolkit/Wnd.h"

namespace QvUI {

class Dialog : public Wnd {
 public:
  Dialog() = default;
  // Destroys the window if it still exists.
  ~Dialog() override;

  // DialogBoxParamW / CreateDialogParamW with this object as the parameter; -1 / null on failure.
  virtual INT_PTR RunModal(HINSTANCE instance, int templateId, HWND parent);
  virtual HWND CreateModeless(HINSTANCE instance, int templateId, HWND parent);

  // Every message without a handler of its own; 0 (not handled) by default.
  virtual INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  // Applies the dark title bar in a dark theme (repainting the frame when visible); returns 1.
  virtual INT_PTR OnInitDialog();
  // Ids 1 and 2 end the dialog with that result (0); other ids give 1 (not handled).
  virtual INT_PTR OnCommand(int id, int code, HWND control);
  virtual INT_PTR OnDrawItem(int id, DRAWITEMSTRUCT* item);
  // Theme text and background colours; the theme's background brush.
  virtual HBRUSH OnCtlColor(HDC dc, HWND control);
  virtual void OnDestroy();
  // The window is now drawn at dpi: lays the dialog out again from its template.
  virtual void OnDpiChanged(int dpi);

 protected:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  // Sizes the dialog and moves every control of its template to where the dialog manager puts them
  // when the dialog is created at dpi; false when the template or the font cannot be read.
  bool LayOutForDpi(int dpi);

 private:
  HINSTANCE instance_ = nullptr;
  int templateId_ = 0;
};

}  // namespace QvUI
