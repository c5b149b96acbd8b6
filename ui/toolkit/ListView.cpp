// List view colours and columns.
#include "ui/toolkit/ListView.h"

#include <commctrl.h>

#include "ui/toolkit/Dpi.h"
#include "ui/toolkit/SystemApis.h"
#include "ui/toolkit/Theme.h"

namespace QvUI {

void ListView::Attach(HWND window) {
  hwnd_ = window;
  const bool dark = Theme::Instance().Mode() == ThemeDark;
  const COLORREF text = dark ? RGB(255, 255, 255) : RGB(0, 0, 0);
  const COLORREF background = dark ? COLORREF(0x4B4B4B) : RGB(255, 255, 255);
  ::SendMessageW(window, LVM_SETTEXTCOLOR, 0, static_cast<LPARAM>(text));
  ::SendMessageW(window, LVM_SETTEXTBKCOLOR, 0, static_cast<LPARAM>(background));
  ::SendMessageW(window, LVM_SETBKCOLOR, 0, static_cast<LPARAM>(background));
  if (dark) SystemApis::SetWindowTheme(window, L"DarkMode_Explorer", nullptr);
}

int ListView::AddColumn(int percent, const std::wstring& title, int index) {
  LVCOLUMNW column{};
  column.mask = LVCF_WIDTH | LVCF_SUBITEM;
  column.cx = ColumnWidth(percent);
  column.iSubItem = index;
  if (!title.empty()) {
    column.mask |= LVCF_TEXT;
    column.pszText = const_cast<wchar_t*>(title.c_str());
  }
  const int inserted = static_cast<int>(::SendMessageW(hwnd_, LVM_INSERTCOLUMNW, static_cast<WPARAM>(index),
                                                       reinterpret_cast<LPARAM>(&column)));
  if (inserted >= 0) {
    if (percents_.size() <= static_cast<size_t>(inserted))
      percents_.resize(static_cast<size_t>(inserted) + 1);
    percents_[static_cast<size_t>(inserted)] = percent;
  }
  return inserted;
}

int ListView::ColumnWidth(int percent) const {
  return (ClientSize().cx - SystemMetricForDpi(SM_CXVSCROLL, WindowDpi(hwnd_))) * percent / 100;
}

void ListView::FitColumns() {
  for (size_t index = 0; index < percents_.size(); ++index)
    ::SendMessageW(hwnd_, LVM_SETCOLUMNWIDTH, index, ColumnWidth(percents_[index]));
}

}  // namespace QvUI
