// The product page.
#include "ui/ProductPage.h"

#include <commctrl.h>

#include <utility>

#include "logging/QvBrelLogging.h"

namespace {

constexpr int kTemplateSelect = 123;

constexpr int kIdRemoveAll = 1027;
constexpr int kIdChoose = 1028;
constexpr int kIdProducts = 1025;

// State images of the list's check boxes.
constexpr UINT kUnchecked = 1;
constexpr UINT kChecked = 2;

UINT StateImage(HWND list, int row) {
  return (static_cast<UINT>(::SendMessageW(list, LVM_GETITEMSTATE, row, LVIS_STATEIMAGEMASK)) &
          LVIS_STATEIMAGEMASK) >>
         12;
}

}  // namespace

DialogSelect::DialogSelect(ProductList products) : products_(std::move(products)) {}

HWND DialogSelect::Create(HINSTANCE instance, HWND parent) {
  return CreateModeless(instance, kTemplateSelect, parent);
}

INT_PTR DialogSelect::OnInitDialog() {
  SetChildFonts();
  Bind(removeAll_, kIdRemoveAll, Localised("RadioAll"), kPageFont);
  Bind(choose_, kIdChoose, Localised("RadioSelect"), kPageFont);
  bool anySelected = false;
  for (const auto& product : products_) anySelected = anySelected || product->IsSelected();
  ::CheckRadioButton(hwnd_, kIdRemoveAll, kIdChoose, anySelected ? kIdChoose : kIdRemoveAll);

  const HWND list = ::GetDlgItem(hwnd_, kIdProducts);
  list_.Attach(list);
  // Assistive technology names the list after the choice that shows it.
  list_.SetText(Localised("RadioSelect"));
  Bind(next_, IDOK, Localised("Next"), kPageFont);
  Bind(cancel_, IDCANCEL, Localised("Cancel"), kPageFont);
  cancel_.SetPrimary(false);

  ::SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT | LVS_EX_CHECKBOXES,
                 LVS_EX_FULLROWSELECT | LVS_EX_CHECKBOXES);
  list_.AddColumn(75, Localised("Name"), 0);
  list_.AddColumn(25, Localised("Detected"), 1);
  for (size_t index = 0; index < products_.size(); ++index) {
    const ProductConfig& product = *products_[index];
    std::wstring name = product.GetProductDisplayName();
    if (name.empty()) {
      std::string key = "ProductId_";
      for (wchar_t c : product.GetProductId()) key.push_back(static_cast<char>(c));
      name = Localised(key.c_str());
    }
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = 9999;
    item.pszText = name.data();
    item.lParam = static_cast<LPARAM>(index);
    const int row =
        static_cast<int>(::SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    if (row < 0) continue;
    std::wstring detected = product.IsDetected() ? Localised("Detected") : std::wstring();
    LVITEMW sub{};
    sub.iSubItem = 1;
    sub.pszText = detected.data();
    ::SendMessageW(list, LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&sub));
    LVITEMW state{};
    state.stateMask = LVIS_STATEIMAGEMASK;
    state.state = INDEXTOSTATEIMAGEMASK(product.IsSelected() ? kChecked : kUnchecked);
    ::SendMessageW(list, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&state));
  }
  list_.FitToDpi();
  UpdateNext();
  list_.Show(choose_.IsChecked() ? SW_SHOW : SW_HIDE);
  return QvUI::Dialog::OnInitDialog();
}

void DialogSelect::UpdateNext() {
  bool enable = removeAll_.IsChecked();
  if (!enable) {
    const HWND list = list_.Handle();
    const int count = static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < count && !enable; ++row) enable = StateImage(list, row) != kUnchecked;
  }
  next_.Enable(enable);
}

void DialogSelect::SaveProductSelections() {
  if (removeAll_.IsChecked()) {
    for (const auto& product : products_) product->SetSelected(product->GetProductId() != L"logs");
    return;
  }
  const HWND list = list_.Handle();
  const int count = static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
  for (int row = 0; row < count; ++row) {
    LVITEMW item{};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    ::SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
    const size_t index = static_cast<size_t>(item.lParam);
    const UINT state = StateImage(list, row);
    QV_BREL_LOG(QV_DEBUG, L"Item: %d, param: %Iu, state: %lu", row, index,
                static_cast<unsigned long>(state - 1));
    if (index < products_.size()) products_[index]->SetSelected(state != kUnchecked);
  }
}

INT_PTR DialogSelect::OnCommand(int id, int code, HWND control) {
  switch (id) {
    case IDOK:
      // Only a Next that is enabled counts: a keyboard route must not pass an empty choice. Once
      // answered, the driver may already read the choice: it is not written again.
      if (!next_.IsEnabled() || Answered()) return 0;
      SaveProductSelections();
      Forward(id, code);
      return 0;
    case IDCANCEL:
      Forward(id, code);
      return 0;
    case kIdRemoveAll:
    case kIdChoose:
      list_.Show(id == kIdChoose && choose_.IsChecked() ? SW_SHOW : SW_HIDE);
      UpdateNext();
      return QvUI::Dialog::OnCommand(id, code, control);
    default:
      return QvUI::Dialog::OnCommand(id, code, control);
  }
}

INT_PTR DialogSelect::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NOTIFY) {
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    if (header->idFrom == kIdProducts && header->code == LVN_ITEMCHANGED) UpdateNext();
  }
  return QvUI::Dialog::OnMessage(message, wParam, lParam);
}

void DialogSelect::OnDpiChanged(int dpi) {
  DialogChild::OnDpiChanged(dpi);
  list_.FitToDpi();
}
