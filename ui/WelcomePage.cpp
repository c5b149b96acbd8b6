// The welcome page.
#include "ui/WelcomePage.h"

#include "core/Settings.h"

namespace {

constexpr int kTemplateWelcome = 120;

constexpr int kIdTitle = 1026;
constexpr int kIdCopyright = 1019;
constexpr int kIdLuaNotice = 1017;
constexpr int kIdZlibNotice = 1016;

}  // namespace

std::wstring ReplaceYear(std::wstring text) {
  static const std::wstring year = L"%YEAR%";
  for (size_t at = text.find(year); at != std::wstring::npos; at = text.find(year, at))
    text.replace(at, year.size(), L"2016-2024");
  return text;
}

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
