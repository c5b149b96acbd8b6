// What every wizard page shares: fonts at the window's DPI, widgets bound to template controls, the
// licence-terms link and the one answer to the main window.
#include "ui/DialogChild.h"

#include "core/Settings.h"
#include "logging/QvBrelLogging.h"
#include "ui/UrlLauncher.h"
#include "ui/toolkit/Dpi.h"
#include "ui/toolkit/Theme.h"

namespace {

BOOL CALLBACK SetFontOfChild(HWND child, LPARAM font) {
  ::SendMessageW(child, WM_SETFONT, static_cast<WPARAM>(font), FALSE);
  return TRUE;
}

HFONT FontAt(HWND window, int fontId) {
  return QvUI::Theme::Instance().Font(fontId, QvUI::WindowDpi(window));
}

}  // namespace

std::wstring DialogChild::Localised(const char* key) {
  return BrelResLib::Settings::Instance().GetString(key);
}

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
