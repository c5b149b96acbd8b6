// The four wizard pages and what they share.
#include "ui/DialogChild.h"

#include <commctrl.h>

#include "core/Settings.h"
#include "logging/QvBrelLogging.h"
#include "ui/UrlLauncher.h"
#include "ui/toolkit/Dpi.h"
#include "ui/toolkit/Theme.h"

namespace {

constexpr int kTemplateWelcome = 120;
constexpr int kTemplateMessage = 121;
constexpr int kTemplateProgress = 122;
constexpr int kTemplateSelect = 123;

constexpr int kIdTitle = 1026;
constexpr int kIdMessage = 1008;
constexpr int kIdCopyright = 1019;
constexpr int kIdLuaNotice = 1017;
constexpr int kIdZlibNotice = 1016;
constexpr int kIdRemoveAll = 1027;
constexpr int kIdChoose = 1028;
constexpr int kIdProducts = 1025;
constexpr int kIdSpinner = 1023;
constexpr int kIdStatus = 1022;

constexpr int kPageFont = 10;

// State images of the list's check boxes.
constexpr UINT kUnchecked = 1;
constexpr UINT kChecked = 2;

std::wstring Localised(const char* key) { return BrelResLib::Settings::Instance().GetString(key); }

BOOL CALLBACK SetFontOfChild(HWND child, LPARAM font) {
  ::SendMessageW(child, WM_SETFONT, static_cast<WPARAM>(font), FALSE);
  return TRUE;
}

HFONT FontAt(HWND window, int fontId) {
  return QvUI::Theme::Instance().Font(fontId, QvUI::WindowDpi(window));
}

UINT StateImage(HWND list, int row) {
  return (static_cast<UINT>(::SendMessageW(list, LVM_GETITEMSTATE, row, LVIS_STATEIMAGEMASK)) &
          LVIS_STATEIMAGEMASK) >>
         12;
}

}  // namespace

std::wstring ReplaceYear(std::wstring text) {
  static const std::wstring year = L"%YEAR%";
  for (size_t at = text.find(year); at != std::wstring::npos; at = text.find(year, at))
    text.replace(at, year.size(), L"2016-2024");
  return text;
}

MessageContent MessageContentFor(int kind) {
  switch (kind) {
    case 1:
      return {"ErrorPrivileges", 1, false};
    case 2:
      return {"Finished", 4, false};
    case 3:
      return {"FinishedReboot", 3, true};
    default:
      return {"ErrorGeneric", 1, false};
  }
}

// ---- DialogChild ----

void DialogChild::SetChildFonts() {
  ::EnumChildWindows(hwnd_, SetFontOfChild, reinterpret_cast<LPARAM>(FontAt(hwnd_, kPageFont)));
}

void DialogChild::Bind(QvUI::Control& control, int id, const std::wstring& text, int fontId) {
  control.Attach(::GetDlgItem(hwnd_, id));
  if (fontId != 0) SetControlFont(id, fontId);
  if (!text.empty()) control.SetText(text);
}

void DialogChild::SetControlFont(int id, int fontId) {
  if (fontId != kPageFont) fontIds_[id] = fontId;
  ::SendMessageW(::GetDlgItem(hwnd_, id), WM_SETFONT, reinterpret_cast<WPARAM>(FontAt(hwnd_, fontId)), TRUE);
}

void DialogChild::OnDpiChanged(int dpi) {
  LayOutForDpi(dpi);
  const HFONT pageFont = QvUI::Theme::Instance().Font(kPageFont, dpi);
  for (HWND child = ::GetWindow(hwnd_, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT)) {
    const auto own = fontIds_.find(::GetDlgCtrlID(child));
    const HFONT font = own != fontIds_.end() ? QvUI::Theme::Instance().Font(own->second, dpi) : pageFont;
    ::SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  }
}

void DialogChild::LaunchUrl() {
  const std::wstring url = BrelResLib::Settings::Instance().GetSetting("UrlEULT");
  if (QvUrl::LaunchUrl(url))
    QV_BREL_LOG(QV_INFO, L"Launched URL: %ls", url.c_str());
  else
    QV_BREL_LOG(QV_ERROR, L"Failed to launch URL: %ls", url.c_str());
}

void DialogChild::Forward(int id, int code) {
  if (answered_) return;
  answered_ = true;
  ::SendMessageW(::GetParent(hwnd_), WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(hwnd_));
}

// ---- DialogWelcome ----

HWND DialogWelcome::Create(HINSTANCE instance, HWND parent) {
  return CreateModeless(instance, kTemplateWelcome, parent);
}

INT_PTR DialogWelcome::OnInitDialog() {
  SetChildFonts();
  auto& settings = BrelResLib::Settings::Instance();
  Bind(title_, kIdTitle, Localised("Title"), 2);
  Bind(message_, kIdMessage, Localised("Welcome"), kPageFont);
  Bind(start_, IDOK, Localised("Start"), kPageFont);
  copyright_.Attach(::GetDlgItem(hwnd_, kIdCopyright));
  SetControlFont(kIdCopyright, 16);
  copyright_.SetText(ReplaceYear(Localised("CopyrightQV")));
  Bind(luaNotice_, kIdLuaNotice, settings.GetSetting("LuaCopyright"), 16);
  Bind(zlibNotice_, kIdZlibNotice, settings.GetSetting("ZlibCopyright"), 16);
  return QvUI::Dialog::OnInitDialog();
}

INT_PTR DialogWelcome::OnCommand(int id, int code, HWND control) {
  if (id == IDOK || id == IDCANCEL) {
    Forward(id, code);
    return 0;
  }
  if (id == kIdCopyright) {
    LaunchUrl();
    return 0;
  }
  return QvUI::Dialog::OnCommand(id, code, control);
}

// ---- DialogSelect ----

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

// ---- DialogProgress ----

HWND DialogProgress::Create(HINSTANCE instance, HWND parent) {
  return CreateModeless(instance, kTemplateProgress, parent);
}

INT_PTR DialogProgress::OnInitDialog() {
  SetChildFonts();
  spinner_.Attach(::GetDlgItem(hwnd_, kIdSpinner));
  spinner_.SetName(Localised("Removing"));
  Bind(message_, kIdMessage, Localised("Removing"), kPageFont);
  Bind(cancel_, IDCANCEL, Localised("Cancel"), kPageFont);
  cancel_.SetPrimary(false);
  cancel_.Enable(false);
  return QvUI::Dialog::OnInitDialog();
}

INT_PTR DialogProgress::OnCommand(int id, int code, HWND control) {
  if (id == IDOK || id == IDCANCEL) {
    Forward(id, code);
    return 0;
  }
  return QvUI::Dialog::OnCommand(id, code, control);
}

// ---- DialogMessage ----

HWND DialogMessage::Create(HINSTANCE instance, HWND parent) {
  return CreateModeless(instance, kTemplateMessage, parent);
}

INT_PTR DialogMessage::OnInitDialog() {
  SetChildFonts();
  const MessageContent content = MessageContentFor(kind_);
  Bind(message_, kIdMessage, Localised(content.key), kPageFont);
  Bind(ok_, IDOK, std::wstring(), kPageFont);
  Bind(cancel_, IDCANCEL, Localised("Close"), kPageFont);
  status_.Attach(::GetDlgItem(hwnd_, kIdStatus));
  if (content.reboot) {
    ok_.SetText(Localised("Reboot"));
    ok_.Show(SW_SHOW);
    cancel_.SetPrimary(false);
  }
  status_.SetKind(content.statusKind);
  return QvUI::Dialog::OnInitDialog();
}

INT_PTR DialogMessage::OnCommand(int id, int code, HWND control) {
  if (id == IDOK || id == IDCANCEL) {
    Forward(id, code);
    return 0;
  }
  return QvUI::Dialog::OnCommand(id, code, control);
}
