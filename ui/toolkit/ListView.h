// A report-view list control in the theme's colours, describing itself and its rows (first
// column as the name, the check box as the checked state, the other columns as
// "<heading>: <text>") to assistive technology.
#pragma once

#include <string>
#include <vector>

#include "ui/toolkit/Accessible.h"
#include "ui/toolkit/Wnd.h"

namespace QvUI {

class ListView : public Wnd, public AccessibleSource {
 public:
  ListView() = default;
  // Gives the list its own procedure back if it outlives the object.
  ~ListView() override;

  // Applies the light or dark colours (dark: the dark Explorer theme where uxtheme has it) and
  // subclasses the list to answer WM_GETOBJECT.
  void Attach(HWND window);
  // A column of percent of the width left of the vertical scroll bar; the title only when not empty.
  int AddColumn(int percent, const std::wstring& title, int index);
  // Every column gets its share of the width again, and the check boxes are drawn at the window's
  // DPI (the list draws its own at the system DPI only): after the list was made, and after each DPI
  // change, so a list looks the same whatever DPI it started at.
  void FitToDpi();

  // Child 0 is the list (named by its window text), child n its row n - 1.
  AccessibleFacts Describe(long child) const override;
  long ChildCount() const override;
  // Toggles a row's check box.
  bool DoDefaultAction(long child) override;
  bool ChildLocation(long child, RECT& screen) const override;
  long ChildAt(POINT screen) const override;
  long FocusedChild() const override;

 private:
  int ColumnWidth(int percent) const;
  void MakeCheckBoxImages(int dpi);
  static LRESULT CALLBACK ListProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  std::wstring CellText(int row, int column) const;
  bool HasCheckBoxes() const;
  void Detach();

  WNDPROC previous_ = nullptr;
  AccessibleServer accessible_{*this};
  std::vector<int> percents_;  // by column index
};

}  // namespace QvUI
