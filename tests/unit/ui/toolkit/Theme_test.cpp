// The theme decision against the real registry: the current user's and another user's (through
// HKEY_USERS\<SID>), and high contrast.
#include "ui/toolkit/Theme.h"

#include <commctrl.h>
#include <gtest/gtest.h>
#include <sddl.h>

#include <string>

#include "base/UniqueHandle.h"
#include "tests/support/SavedUserValue.h"
#include "tests/support/SeamOverride.h"
#include "ui/toolkit/ListView.h"
#include "ui/toolkit/SystemApis.h"
#include "ui/toolkit/ThemeSeam.h"

namespace {

constexpr wchar_t Personalize[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize";

std::wstring CurrentUserSid() {
  UniqueHandle token;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.put())) return {};
  BYTE buffer[256];
  DWORD size = 0;
  if (!::GetTokenInformation(token.get(), TokenUser, buffer, sizeof(buffer), &size)) return {};
  wchar_t* text = nullptr;
  if (!::ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &text)) return {};
  const UniqueLocalMem owner(text);
  return text;
}

bool HighContrastOn() { return true; }

TEST(ThemeTest, AppsUseLightThemeDecidesForTheUserOfTheSid) {
  const std::wstring sid = CurrentUserSid();
  ASSERT_FALSE(sid.empty());
  // HKEY_USERS\<SID> is the same hive as the current user's HKCU: the value is set through one and
  // read through the other.
  const QvTest::SavedUserValue value(Personalize, L"AppsUseLightTheme");
  const struct {
    const char* name;
    bool (*set)(const QvTest::SavedUserValue&);
    QvUI::ThemeMode mode;
  } cases[] = {
      {"absent", [](const QvTest::SavedUserValue& v) { return v.Remove(); }, QvUI::ThemeLight},
      {"DWORD 0", [](const QvTest::SavedUserValue& v) { return v.SetDword(0); }, QvUI::ThemeDark},
      {"DWORD 1", [](const QvTest::SavedUserValue& v) { return v.SetDword(1); }, QvUI::ThemeLight},
      {"DWORD 2", [](const QvTest::SavedUserValue& v) { return v.SetDword(2); }, QvUI::ThemeLight},
      {"string 0", [](const QvTest::SavedUserValue& v) { return v.SetString(L"0"); }, QvUI::ThemeLight},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(c.set(value)) << c.name;
    EXPECT_EQ(QvUI::QueryThemeMode(HKEY_USERS, sid + L"\\"), c.mode) << c.name;
    EXPECT_EQ(QvUI::QueryThemeMode(HKEY_CURRENT_USER, L""), c.mode) << c.name;
    QvUI::Theme::Instance().ReReadForSid(sid);
    EXPECT_EQ(QvUI::Theme::Instance().Mode(), c.mode) << c.name;
    EXPECT_EQ(QvUI::Theme::Instance().Colour(0),
              c.mode == QvUI::ThemeDark ? RGB(0x1C, 0x1C, 0x1E) : RGB(255, 255, 255))
        << c.name;
  }
  // An unknown user reads as light.
  ASSERT_TRUE(value.SetDword(0));
  QvUI::Theme::Instance().ReReadForSid(L"S-1-5-21-1-2-3-999999");
  EXPECT_EQ(QvUI::Theme::Instance().Mode(), QvUI::ThemeLight);
}

TEST(ThemeTest, HighContrastFollowsTheSystemColoursAndTheirDarkness) {
  const std::wstring sid = CurrentUserSid();
  ASSERT_FALSE(sid.empty());
  const QvTest::SavedUserValue value(Personalize, L"AppsUseLightTheme");
  ASSERT_TRUE(value.SetDword(0));  // high contrast wins over the dark choice
  const QvTest::SeamOverride<ThemeSeam::HighContrastQuery> contrast(ThemeSeam::highContrastOn,
                                                                    HighContrastOn);
  const int element = COLOR_WINDOW;
  const COLORREF saved = ::GetSysColor(COLOR_WINDOW);
  const struct {
    COLORREF window;
    bool dark;
  } cases[] = {{RGB(0, 0, 0), true},
               {RGB(0x30, 0x30, 0x60), true},
               {RGB(255, 255, 255), false},
               {RGB(0xC0, 0xC0, 0xC0), false}};
  for (const auto& c : cases) {
    ASSERT_TRUE(::SetSysColors(1, &element, &c.window));
    QvUI::Theme& theme = QvUI::Theme::Instance();
    theme.ReReadForSid(sid);
    EXPECT_EQ(theme.Mode(), QvUI::ThemeHighContrast);
    EXPECT_EQ(theme.IsDark(), c.dark) << std::hex << c.window;
    EXPECT_EQ(theme.Colour(0), c.window);
    EXPECT_EQ(theme.Colour(10), ::GetSysColor(COLOR_WINDOWTEXT));
    EXPECT_EQ(theme.Colour(30), c.dark ? RGB(0x8E, 0xDB, 0xA8) : RGB(0x00, 0xA5, 0x38));
    EXPECT_EQ(theme.Colour(1), c.dark ? RGB(0x66, 0x8A, 0xFF) : RGB(0x99, 0xB1, 0xFF));
    LOGBRUSH brush{};
    ASSERT_NE(::GetObjectW(theme.BackgroundBrush(), sizeof(brush), &brush), 0);
    EXPECT_EQ(brush.lbColor, c.window);
  }
  ::SetSysColors(1, &element, &saved);
}

TEST(ThemeTest, MissingPaletteIdsAndFontsByIdAtTheScreenDpi) {
  QvUI::Theme& theme = QvUI::Theme::Instance();
  EXPECT_EQ(theme.Colour(-1), 0xC356CBu);
  EXPECT_EQ(theme.Colour(34), 12801739u);
  HDC screen = ::GetDC(nullptr);
  const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
  ::ReleaseDC(nullptr, screen);
  const struct {
    int id;
    int points;
    int weight;
    const wchar_t* face;
  } cases[] = {{0, 26, 400, L"Segoe UI"},
               {3, 18, 600, L"Segoe UI Semibold"},
               {10, 11, 400, L"Segoe UI"},
               {77, 11, 400, L"Segoe UI"}};
  for (const auto& c : cases) {
    const HFONT font = theme.Font(c.id);
    ASSERT_NE(font, nullptr) << c.id;
    EXPECT_EQ(theme.Font(c.id), font) << "cached";
    LOGFONTW logFont{};
    ASSERT_NE(::GetObjectW(font, sizeof(logFont), &logFont), 0);
    EXPECT_EQ(logFont.lfHeight, -::MulDiv(c.points, dpi, 72)) << c.id;
    EXPECT_EQ(logFont.lfWeight, c.weight) << c.id;
    EXPECT_EQ(std::wstring(logFont.lfFaceName), c.face) << c.id;
    EXPECT_EQ(logFont.lfQuality, CLEARTYPE_QUALITY) << c.id;
  }
}

TEST(ThemeTest, ListViewColoursFollowTheThemeAndColumnsShareTheWidth) {
  const std::wstring sid = CurrentUserSid();
  ASSERT_FALSE(sid.empty());
  ASSERT_TRUE(QvUI::SystemApis::InitCommonControls(ICC_LISTVIEW_CLASSES));
  const QvTest::SavedUserValue value(Personalize, L"AppsUseLightTheme");
  const struct {
    DWORD appsUseLightTheme;
    COLORREF text;
    COLORREF background;
  } cases[] = {{0, RGB(255, 255, 255), 0x4B4B4B}, {1, RGB(0, 0, 0), RGB(255, 255, 255)}};
  for (const auto& c : cases) {
    ASSERT_TRUE(value.SetDword(c.appsUseLightTheme));
    QvUI::Theme::Instance().ReReadForSid(sid);
    const HWND window = ::CreateWindowExW(0, WC_LISTVIEWW, L"", LVS_REPORT, 0, 0, 300, 100, nullptr, nullptr,
                                          nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    QvUI::ListView list;
    list.Attach(window);
    EXPECT_EQ(::SendMessageW(window, LVM_GETTEXTCOLOR, 0, 0), static_cast<LRESULT>(c.text));
    EXPECT_EQ(::SendMessageW(window, LVM_GETTEXTBKCOLOR, 0, 0), static_cast<LRESULT>(c.background));
    EXPECT_EQ(::SendMessageW(window, LVM_GETBKCOLOR, 0, 0), static_cast<LRESULT>(c.background));
    EXPECT_EQ(list.AddColumn(75, L"Name", 0), 0);
    EXPECT_EQ(list.AddColumn(25, L"", 1), 1);
    const int usable = list.ClientSize().cx - ::GetSystemMetrics(SM_CXVSCROLL);
    EXPECT_EQ(::SendMessageW(window, LVM_GETCOLUMNWIDTH, 0, 0), usable * 75 / 100);
    EXPECT_EQ(::SendMessageW(window, LVM_GETCOLUMNWIDTH, 1, 0), usable * 25 / 100);
    ::DestroyWindow(window);
  }
}

TEST(ThemeTest, DarkTitleBarAttributeByWindowsBuild) {
  const struct {
    DWORD build;
    int attribute;
  } cases[] = {{7601, 0}, {17134, 0}, {17763, 19}, {18362, 19}, {18984, 19}, {18985, 20}, {22621, 20}};
  for (const auto& c : cases)
    EXPECT_EQ(QvUI::DarkTitleBarAttribute([&](DWORD build) { return c.build >= build; }), c.attribute)
        << c.build;
}

}  // namespace
