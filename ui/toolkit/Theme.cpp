// Theme decision, palette, font cache, text drawing and the window helpers that go with them.
#include "ui/toolkit/Theme.h"

#include <vector>

#include "ui/toolkit/Dpi.h"
#include "ui/toolkit/FontTable.h"
#include "ui/toolkit/Gdi.h"
#include "ui/toolkit/SystemApis.h"
#include "ui/toolkit/ThemeSeam.h"

namespace ThemeSeam {

HighContrastQuery highContrastOn = [] {
  HIGHCONTRASTW contrast{};
  contrast.cbSize = sizeof(contrast);
  return ::SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof(contrast), &contrast, 0) != FALSE &&
         (contrast.dwFlags & HCF_HIGHCONTRASTON) != 0;
};

}  // namespace ThemeSeam

namespace QvUI {

namespace {

constexpr wchar_t PersonalizeKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize";

SystemColours ReadSystemColours() {
  SystemColours s;
  s.window = ::GetSysColor(COLOR_WINDOW);
  s.windowText = ::GetSysColor(COLOR_WINDOWTEXT);
  s.highlight = ::GetSysColor(COLOR_HIGHLIGHT);
  s.highlightText = ::GetSysColor(COLOR_HIGHLIGHTTEXT);
  s.hotlight = ::GetSysColor(COLOR_HOTLIGHT);
  s.buttonFace = ::GetSysColor(COLOR_BTNFACE);
  s.buttonText = ::GetSysColor(COLOR_BTNTEXT);
  s.grayText = ::GetSysColor(COLOR_GRAYTEXT);
  return s;
}

bool WindowsVersionAtLeast(DWORD major, DWORD minor, DWORD build) {
  OSVERSIONINFOEXW version{};
  version.dwOSVersionInfoSize = sizeof(version);
  version.dwMajorVersion = major;
  version.dwMinorVersion = minor;
  version.dwBuildNumber = build;
  DWORDLONG condition = 0;
  condition = ::VerSetConditionMask(condition, VER_MAJORVERSION, VER_GREATER_EQUAL);
  condition = ::VerSetConditionMask(condition, VER_MINORVERSION, VER_GREATER_EQUAL);
  condition = ::VerSetConditionMask(condition, VER_BUILDNUMBER, VER_GREATER_EQUAL);
  return ::VerifyVersionInfoW(&version, VER_MAJORVERSION | VER_MINORVERSION | VER_BUILDNUMBER, condition) !=
         FALSE;
}

}  // namespace

ThemeMode QueryThemeMode(HKEY root, const std::wstring& subKeyPrefix) {
  if (ThemeSeam::highContrastOn()) return ThemeHighContrast;
  const std::wstring key = subKeyPrefix + PersonalizeKey;
  DWORD value = 1;
  DWORD size = sizeof(value);
  DWORD type = REG_NONE;
  // RRF_RT_REG_DWORD: a value stored as text is refused (and means light).
  if (::RegGetValueW(root, key.c_str(), L"AppsUseLightTheme", RRF_RT_REG_DWORD, &type, &value, &size) ==
          ERROR_SUCCESS &&
      type == REG_DWORD && value == 0)
    return ThemeDark;
  return ThemeLight;
}

Theme& Theme::Instance() {
  static Theme theme;
  return theme;
}

Theme::Theme() { Decide(HKEY_CURRENT_USER, {}); }

void Theme::Decide(HKEY root, const std::wstring& subKeyPrefix) {
  const ThemeMode mode = QueryThemeMode(root, subKeyPrefix);
  const SystemColours system = ReadSystemColours();
  const bool isDark = PaletteIsDark(mode, system.window);
  const Palette colours = BuildPalette(mode, isDark, system);
  std::lock_guard lock(mutex_);
  mode_ = mode;
  isDark_ = isDark;
  colours_ = colours;
  brush_.reset(::CreateSolidBrush(colours_[0]));
}

void Theme::ReReadForSid(const std::wstring& sid) { Decide(HKEY_USERS, sid + L"\\"); }

ThemeMode Theme::Mode() const {
  std::lock_guard lock(mutex_);
  return mode_;
}

bool Theme::IsDark() const {
  std::lock_guard lock(mutex_);
  return isDark_;
}

COLORREF Theme::Colour(int id) const {
  std::lock_guard lock(mutex_);
  return id >= 0 && id < PaletteSize ? colours_[static_cast<size_t>(id)] : MissingColour;
}

HBRUSH Theme::BackgroundBrush() const {
  std::lock_guard lock(mutex_);
  return brush_.get();
}

HFONT Theme::Font(int id, int dpi) {
  if (dpi <= 0) dpi = SystemDpi();
  std::lock_guard lock(mutex_);
  const auto found = fonts_.find({id, dpi});
  if (found != fonts_.end()) return found->second.get();
  const FontSpec fontSpec = FontSpecFor(id);
  static const bool windows62 = WindowsVersionAtLeast(6, 2, 0);
  HFONT font = ::CreateFontW(FontHeightAtDpi(fontSpec.points, dpi), 0, 0, 0, fontSpec.weight, FALSE, FALSE,
                             FALSE, DEFAULT_CHARSET, OUT_OUTLINE_PRECIS, CLIP_DEFAULT_PRECIS,
                             CLEARTYPE_QUALITY, FF_SWISS, FontFaceFor(fontSpec.weight, windows62));
  return fonts_.emplace(std::pair(id, dpi), UniqueHFont(font)).first->second.get();
}

int ScaleToDpi(int value, int dpi) { return ::MulDiv(value, dpi, 96); }

float PenWidthAtDpi(float designWidth, int dpi) { return designWidth * static_cast<float>(dpi) / 96.0f; }

int FontHeightAtDpi(int points, int dpi) { return -::MulDiv(points, dpi, 72); }

SIZE MeasureText(HDC dc, HFONT font, std::wstring_view text) {
  SIZE size{};
  if (text.empty()) return size;
  const Selection selected(dc, font);
  ::GetTextExtentExPointW(dc, text.data(), static_cast<int>(text.size()), 0, nullptr, nullptr, &size);
  return size;
}

void DrawTextIn(HDC dc, std::wstring_view text, RECT rect, UINT format, COLORREF colour) {
  std::wstring buffer(text);  // DrawTextW may write into the text with DT_MODIFYSTRING; never asked
  if (!(format & DT_SINGLELINE)) {
    RECT measured = rect;
    ::DrawTextW(dc, buffer.data(), static_cast<int>(buffer.size()), &measured,
                (format & ~(DT_VCENTER | DT_BOTTOM)) | DT_CALCRECT);
    const LONG height = measured.bottom - measured.top;
    if (format & DT_VCENTER)
      rect.top += (rect.bottom - rect.top - height) / 2;
    else if (format & DT_BOTTOM)
      rect.top = rect.bottom - height;
    rect.bottom = rect.top + height;
  }
  const int mode = ::SetBkMode(dc, TRANSPARENT);
  const COLORREF previous = ::SetTextColor(dc, colour);
  ::DrawTextW(dc, buffer.data(), static_cast<int>(buffer.size()), &rect, format);
  ::SetTextColor(dc, previous);
  ::SetBkMode(dc, mode);
}

int DarkTitleBarAttribute(const std::function<bool(DWORD build)>& buildAtLeast) {
  if (!buildAtLeast(17763)) return 0;
  return buildAtLeast(18985) ? 20 : 19;
}

bool ApplyDarkTitleBar(HWND window) {
  const int attribute =
      DarkTitleBarAttribute([](DWORD build) { return WindowsVersionAtLeast(10, 0, build); });
  if (attribute == 0) return false;
  const BOOL on = TRUE;
  return SystemApis::DwmSetWindowAttribute(window, static_cast<DWORD>(attribute), &on, sizeof(on)) == S_OK;
}

void BringToForeground(HWND window) {
  if (!::IsWindowVisible(window)) return;
  if (::IsIconic(window)) ::SendMessageW(window, WM_SYSCOMMAND, SC_RESTORE, 0);
  const DWORD own = ::GetCurrentThreadId();
  const HWND foreground = ::GetForegroundWindow();
  const DWORD other = foreground ? ::GetWindowThreadProcessId(foreground, nullptr) : 0;
  // Only a thread attached to the foreground thread's input may take the foreground.
  const bool attached = other != 0 && other != own && ::AttachThreadInput(own, other, TRUE);
  ::SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  ::SetWindowPos(window, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  ::SetForegroundWindow(window);
  if (attached) ::AttachThreadInput(own, other, FALSE);
  ::SetFocus(window);
  ::SetActiveWindow(window);
}

}  // namespace QvUI
