// List view colours, columns and what the list tells assistive technology.
#include "ui/toolkit/ListView.h"

#include <commctrl.h>

#include <iterator>

#include "ui/toolkit/Dpi.h"
#include "ui/toolkit/Gdi.h"
#include "ui/toolkit/SystemApis.h"
#include "ui/toolkit/Theme.h"

namespace QvUI {

namespace {

// The state images of LVS_EX_CHECKBOXES.
constexpr UINT kUnchecked = 1;
constexpr UINT kChecked = 2;

}  // namespace

ListView::~ListView() {
  if (hwnd_ != nullptr && ::IsWindow(hwnd_)) Detach();
}

void ListView::Detach() {
  accessible_.Disconnect();
  if (previous_ != nullptr) ::SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous_));
  ::SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
  previous_ = nullptr;
  hwnd_ = nullptr;
}

void ListView::Attach(HWND window) {
  hwnd_ = window;
  if (window == nullptr) return;
  ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  previous_ = reinterpret_cast<WNDPROC>(
      ::SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ListView::ListProc)));
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

void ListView::FitToDpi() {
  if (hwnd_ == nullptr) return;
  for (size_t index = 0; index < percents_.size(); ++index)
    ::SendMessageW(hwnd_, LVM_SETCOLUMNWIDTH, index, ColumnWidth(percents_[index]));
  if (HasCheckBoxes()) MakeCheckBoxImages(WindowDpi(hwnd_));
}

void ListView::MakeCheckBoxImages(int dpi) {
  const int width = SystemMetricForDpi(SM_CXSMICON, dpi);
  const int height = SystemMetricForDpi(SM_CYSMICON, dpi);
  const HIMAGELIST images = SystemApis::ImageListCreate(width, height, ILC_COLOR32, 2, 0);
  if (images == nullptr) return;
  const auto background = static_cast<COLORREF>(::SendMessageW(hwnd_, LVM_GETBKCOLOR, 0, 0));
  const WindowDc window(hwnd_);
  const UniqueMemoryDc dc(::CreateCompatibleDC(window.get()));
  int added = 0;
  // State image 1 is the empty box, 2 the ticked one.
  for (const bool checked : {false, true}) {
    const UniqueHBitmap bitmap(::CreateCompatibleBitmap(window.get(), width, height));
    if (!dc || !bitmap) break;
    {
      const Selection selected(dc.get(), bitmap.get());
      RECT rect{0, 0, width, height};
      const UniqueHBrush fill(::CreateSolidBrush(background));
      ::FillRect(dc.get(), &rect, fill.get());
      const int inset = ScaleToDpi(2, dpi);
      ::InflateRect(&rect, -inset, -inset);
      if (!SystemApis::DrawThemedCheckBox(hwnd_, dc.get(), rect, checked, dpi))
        ::DrawFrameControl(dc.get(), &rect, DFC_BUTTON,
                           DFCS_BUTTONCHECK | DFCS_MONO | (checked ? DFCS_CHECKED : 0));
    }
    if (SystemApis::ImageListAdd(images, bitmap.get(), nullptr) >= 0) ++added;
  }
  if (added != 2) {
    SystemApis::ImageListDestroy(images);
    return;
  }
  // The list owns the images it is given (no LVS_SHAREIMAGELISTS) and returns the ones it had.
  const auto previous = reinterpret_cast<HIMAGELIST>(
      ::SendMessageW(hwnd_, LVM_SETIMAGELIST, LVSIL_STATE, reinterpret_cast<LPARAM>(images)));
  if (previous != nullptr && previous != images) SystemApis::ImageListDestroy(previous);
}

LRESULT CALLBACK ListView::ListProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* list = reinterpret_cast<ListView*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (list == nullptr || list->previous_ == nullptr) return ::DefWindowProcW(window, message, wParam, lParam);
  const WNDPROC previous = list->previous_;
  if (message == WM_GETOBJECT) {
    LRESULT result = 0;
    if (list->accessible_.OnGetObject(window, wParam, lParam, result)) return result;
  } else if (message == WM_DESTROY) {
    list->Detach();
  }
  return ::CallWindowProcW(previous, window, message, wParam, lParam);
}

std::wstring ListView::CellText(int row, int column) const {
  wchar_t buffer[512] = {};
  LVITEMW item{};
  item.iSubItem = column;
  item.pszText = buffer;
  item.cchTextMax = static_cast<int>(std::size(buffer));
  const LRESULT length =
      ::SendMessageW(hwnd_, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
  return std::wstring(buffer, length > 0 ? static_cast<size_t>(length) : 0);
}

bool ListView::HasCheckBoxes() const {
  return (::SendMessageW(hwnd_, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0) & LVS_EX_CHECKBOXES) != 0;
}

long ListView::ChildCount() const {
  return hwnd_ ? static_cast<long>(::SendMessageW(hwnd_, LVM_GETITEMCOUNT, 0, 0)) : 0;
}

AccessibleFacts ListView::Describe(long child) const {
  AccessibleFacts facts;
  const long listState = WindowState(hwnd_);
  if (child == CHILDID_SELF) {
    facts.name = Text();
    facts.role = ROLE_SYSTEM_LIST;
    facts.state = listState;
    return facts;
  }
  const int row = static_cast<int>(child - 1);
  facts.name = CellText(row, 0);
  facts.role = ROLE_SYSTEM_LISTITEM;
  facts.state = (listState & (STATE_SYSTEM_INVISIBLE | STATE_SYSTEM_UNAVAILABLE)) | STATE_SYSTEM_SELECTABLE |
                STATE_SYSTEM_FOCUSABLE;
  const UINT itemState = static_cast<UINT>(::SendMessageW(
      hwnd_, LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_SELECTED | LVIS_FOCUSED | LVIS_STATEIMAGEMASK));
  if (itemState & LVIS_SELECTED) facts.state |= STATE_SYSTEM_SELECTED;
  if ((itemState & LVIS_FOCUSED) && (listState & STATE_SYSTEM_FOCUSED)) facts.state |= STATE_SYSTEM_FOCUSED;
  if (HasCheckBoxes()) {
    const bool checked = ((itemState & LVIS_STATEIMAGEMASK) >> 12) == kChecked;
    if (checked) facts.state |= STATE_SYSTEM_CHECKED;
    facts.defaultAction = checked ? L"Uncheck" : L"Check";
  }
  // The further columns, each as "<heading>: <text>" when it has text.
  const HWND header = reinterpret_cast<HWND>(::SendMessageW(hwnd_, LVM_GETHEADER, 0, 0));
  const int columns = header ? static_cast<int>(::SendMessageW(header, HDM_GETITEMCOUNT, 0, 0)) : 1;
  for (int column = 1; column < columns; ++column) {
    const std::wstring text = CellText(row, column);
    if (text.empty()) continue;
    wchar_t heading[256] = {};
    LVCOLUMNW info{};
    info.mask = LVCF_TEXT;
    info.pszText = heading;
    info.cchTextMax = static_cast<int>(std::size(heading));
    ::SendMessageW(hwnd_, LVM_GETCOLUMNW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&info));
    if (!facts.description.empty()) facts.description += L", ";
    facts.description += std::wstring(heading) + L": " + text;
  }
  return facts;
}

bool ListView::DoDefaultAction(long child) {
  if (child == CHILDID_SELF || !HasCheckBoxes() || !::IsWindowEnabled(hwnd_) || !::IsWindowVisible(hwnd_))
    return false;
  const bool checked = (Describe(child).state & STATE_SYSTEM_CHECKED) != 0;
  LVITEMW item{};
  item.stateMask = LVIS_STATEIMAGEMASK;
  item.state = INDEXTOSTATEIMAGEMASK(checked ? kUnchecked : kChecked);
  // The list tells its parent (LVN_ITEMCHANGED) as for a click on the box.
  ::SendMessageW(hwnd_, LVM_SETITEMSTATE, static_cast<WPARAM>(child - 1), reinterpret_cast<LPARAM>(&item));
  ::NotifyWinEvent(EVENT_OBJECT_STATECHANGE, hwnd_, OBJID_CLIENT, child);
  return true;
}

bool ListView::ChildLocation(long child, RECT& screen) const {
  RECT rect{};
  rect.left = LVIR_BOUNDS;
  if (!::SendMessageW(hwnd_, LVM_GETITEMRECT, static_cast<WPARAM>(child - 1),
                      reinterpret_cast<LPARAM>(&rect)))
    return false;
  ::MapWindowPoints(hwnd_, nullptr, reinterpret_cast<POINT*>(&rect), 2);
  screen = rect;
  return true;
}

long ListView::ChildAt(POINT screen) const {
  LVHITTESTINFO hit{};
  hit.pt = screen;
  ::ScreenToClient(hwnd_, &hit.pt);
  const LRESULT row = ::SendMessageW(hwnd_, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit));
  return row >= 0 ? static_cast<long>(row) + 1 : 0;
}

long ListView::FocusedChild() const {
  if ((WindowState(hwnd_) & STATE_SYSTEM_FOCUSED) == 0) return 0;
  const LRESULT row = ::SendMessageW(hwnd_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED);
  return row >= 0 ? static_cast<long>(row) + 1 : 0;
}

}  // namespace QvUI
