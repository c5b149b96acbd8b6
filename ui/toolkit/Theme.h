// The process-wide theme: light, dark or high contrast, its palette, fonts and background brush;
// and the text and DPI helpers every widget paints with.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>

#include "base/UniqueHandle.h"
#include "ui/toolkit/Palette.h"

namespace QvUI {

// "SOFTWARE\Microsoft\Windows\CurrentVersion\Themes\Personalize" under root (HKEY_CURRENT_USER, or
// HKEY_USERS with subKeyPrefix = SID + "\\"): high contrast when it is on, dark when
// "AppsUseLightTheme" reads as the DWORD 0, light otherwise (unreadable, another type, non-zero).
ThemeMode QueryThemeMode(HKEY root, const std::wstring& subKeyPrefix);

class Theme {
 public:
  // Created on first use (thread-safe), from the current user's settings.
  static Theme& Instance();

  ThemeMode Mode() const;
  bool IsDark() const;
  float ScaleFactor() const { return 1.0f; }
  // MissingColour for an id outside the palette.
  COLORREF Colour(int id) const;
  // The font of an id at a DPI (the system DPI when 0), cached for the run; a font that cannot be
  // created is cached as null.
  HFONT Font(int id, int dpi = 0);
  HBRUSH BackgroundBrush() const;

  // Decides again from the settings of the user with this SID (HKEY_USERS\<sid>); light when they
  // cannot be read.
  void ReReadForSid(const std::wstring& sid);

 private:
  Theme();
  void Decide(HKEY root, const std::wstring& subKeyPrefix);

  mutable std::mutex mutex_;
  Palette colours_{};
  std::map<std::pair<int, int>, UniqueHFont> fonts_;  // by id and DPI
  UniqueHBrush brush_;
  ThemeMode mode_ = ThemeLight;
  bool isDark_ = false;
  COLORREF accents_[4] = {0xff3c00, 0xffb199, 0xffb199, 0xff8a66};
};

// Device pixels of a design length (96 DPI) at dpi: MulDiv(value, dpi, 96).
int ScaleToDpi(int value, int dpi);
// A pen's width in device pixels for a design width (96 DPI), unrounded: GDI+ draws fractions.
float PenWidthAtDpi(float designWidth, int dpi);
// The LOGFONT height (negative: the character height) of a font of `points` at dpi.
int FontHeightAtDpi(int points, int dpi);

// Extent of text in font (selected for the measurement); 0,0 for empty text.
SIZE MeasureText(HDC dc, HFONT font, std::wstring_view text);
// Draws with a transparent background in colour. Unless single-line, the text is measured first
// and its block placed at the top, centred (DT_VCENTER) or at the bottom (DT_BOTTOM) of rect.
void DrawTextIn(HDC dc, std::wstring_view text, RECT rect, UINT format, COLORREF colour);

// DWMWA_USE_IMMERSIVE_DARK_MODE for a Windows 10 build: 20 from 18985, 19 from 17763, 0 (none)
// below; the build test is the caller's (VerifyVersionInfoW).
int DarkTitleBarAttribute(const std::function<bool(DWORD build)>& buildAtLeast);
// Dark title bar on Windows 10 1809 and later; false when not applied.
bool ApplyDarkTitleBar(HWND window);
// Restores, raises and activates a visible window even when another thread has the foreground.
void BringToForeground(HWND window);

}  // namespace QvUI
