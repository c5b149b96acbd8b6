// A report-view list control in the theme's colours.
#pragma once

#include <string>
#include <vector>

#include "ui/toolkit/Wnd.h"

namespace QvUI {

class ListView : public Wnd {
 public:
  // Applies the light or dark colours (dark: the dark Explorer theme where uxtheme has it).
  void Attach(HWND window);
  // A column of percent of the width left of the vertical scroll bar; the title only when not empty.
  int AddColumn(int percent, const std::wstring& title, int index);
  // Gives every column its share of the width again (after the list was resized).
  void FitColumns();

 private:
  int ColumnWidth(int percent) const;

  std::vector<int> percents_;  // by column index
};

}  // namespace QvUI
