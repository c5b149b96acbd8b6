// Palette of the three themes: what its colours must satisfy, the colour arithmetic and the dark rule.
#include "ui/toolkit/Palette.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <string_view>

namespace {

using QvUI::Colour;
using QvUI::Hex;

int IdOf(std::string_view name) {
  const auto& entries = QvUI::PaletteEntries();
  const auto found = std::find_if(entries.begin(), entries.end(),
                                  [name](const QvUI::PaletteEntry& entry) { return name == entry.name; });
  return found == entries.end() ? -1 : static_cast<int>(found - entries.begin());
}

// WCAG 2 relative luminance of a COLORREF and the contrast ratio of two colours (1 to 21).
double Luminance(Colour colour) {
  const auto linear = [](uint32_t channel) {
    const double c = channel / 255.0;
    return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
  };
  return 0.2126 * linear(colour & 0xFF) + 0.7152 * linear((colour >> 8) & 0xFF) +
         0.0722 * linear((colour >> 16) & 0xFF);
}

double ContrastRatio(Colour a, Colour b) {
  const double la = Luminance(a), lb = Luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

TEST(PaletteTest, TextIsReadableOnItsBackgroundInBothThemes) {
  // Body text at least 7:1 (WCAG AAA), text on widgets and links at rest or hot at least 4.5:1 (AA).
  // Disabled and pressed states are left out: WCAG exempts inactive controls, a press is transient.
  const struct {
    const char* text;
    const char* background;
    double minimum;
  } pairs[] = {
      {"text", "window", 7.0},
      {"quiet text", "window", 7.0},
      {"text on primary fill", "primary fill", 4.5},
      {"text on primary fill", "primary fill, hot", 4.5},
      {"text on secondary fill", "secondary fill", 4.5},
      {"text on secondary fill", "secondary fill, hot", 4.5},
      {"link", "window", 4.5},
      {"link, hot", "window", 4.5},
  };
  const auto& entries = QvUI::PaletteEntries();
  for (const auto& pair : pairs) {
    const int text = IdOf(pair.text), background = IdOf(pair.background);
    ASSERT_GE(text, 0) << pair.text;
    ASSERT_GE(background, 0) << pair.background;
    EXPECT_GE(ContrastRatio(entries[text].light, entries[background].light), pair.minimum)
        << pair.text << " on " << pair.background << ", light";
    EXPECT_GE(ContrastRatio(entries[text].dark, entries[background].dark), pair.minimum)
        << pair.text << " on " << pair.background << ", dark";
  }
}

TEST(PaletteTest, AccentWidgetsDeriveHotAndPressedFromTheAccent) {
  // The accent-coloured widgets (primary fill, accent, link) shade towards the background: hot by 20
  // and pressed by 50 percent, lighter in the light theme and darker in the dark one.
  const auto& entries = QvUI::PaletteEntries();
  const QvUI::PaletteEntry& accent = entries[IdOf("accent")];
  int families = 0;
  for (const QvUI::PaletteEntry& base : entries) {
    if (base.light != accent.light || base.dark != accent.dark) continue;
    const std::string name = base.name;
    const int hot = IdOf(name + ", hot"), pressed = IdOf(name + ", pressed");
    if (hot < 0 && pressed < 0) continue;  // accent text without states of its own
    ASSERT_GE(hot, 0) << name;
    ASSERT_GE(pressed, 0) << name;
    EXPECT_EQ(entries[hot].light, QvUI::Lighten(base.light, 20)) << name;
    EXPECT_EQ(entries[hot].dark, QvUI::Darken(base.dark, 20)) << name;
    EXPECT_EQ(entries[pressed].light, QvUI::Lighten(base.light, 50)) << name;
    EXPECT_EQ(entries[pressed].dark, QvUI::Darken(base.dark, 50)) << name;
    ++families;
  }
  EXPECT_EQ(families, 3);
}

TEST(PaletteTest, LightAndDarkTakeTheirColumnAndFlagEntriesTheDarkFlag) {
  const auto& entries = QvUI::PaletteEntries();
  for (const bool isDark : {false, true}) {
    const QvUI::Palette light = QvUI::BuildPalette(QvUI::ThemeLight, isDark, {});
    const QvUI::Palette dark = QvUI::BuildPalette(QvUI::ThemeDark, isDark, {});
    for (int id = 0; id < QvUI::PaletteSize; ++id) {
      const QvUI::PaletteEntry& entry = entries[id];
      const Colour flagged = isDark ? entry.dark : entry.light;
      EXPECT_EQ(light[id], entry.followsDarkFlag ? flagged : entry.light) << entry.name << " dark " << isDark;
      EXPECT_EQ(dark[id], entry.followsDarkFlag ? flagged : entry.dark) << entry.name << " dark " << isDark;
    }
  }
}

TEST(PaletteTest, HighContrastTakesSystemColoursAndTheFlagColours) {
  QvUI::SystemColours s;
  s.window = 0x000001;
  s.windowText = 0x000002;
  s.highlight = 0x000003;
  s.highlightText = 0x000004;
  s.hotlight = 0x000005;
  s.buttonFace = 0x000006;
  s.buttonText = 0x000007;
  s.grayText = 0x000008;
  const Colour W = s.window, T = s.windowText, H = s.highlight, HT = s.highlightText, L = s.hotlight,
               F = s.buttonFace, B = s.buttonText, G = s.grayText;
  const Colour expected[QvUI::PaletteSize] = {W, 0, H, L, L, W, F, L, L, W, T, T, G, HT, G, B, G,
                                              B, B, B, G, W, W, W, G, W, L, H, H, G, 0,  0, 0, 0};
  for (const bool isDark : {false, true}) {
    const QvUI::Palette p = QvUI::BuildPalette(QvUI::ThemeHighContrast, isDark, s);
    const QvUI::Palette flagSource =
        QvUI::BuildPalette(isDark ? QvUI::ThemeDark : QvUI::ThemeLight, isDark, {});
    for (int id = 0; id < QvUI::PaletteSize; ++id) {
      const bool flagColour = id == 1 || id >= 30;
      EXPECT_EQ(p[id], flagColour ? flagSource[id] : expected[id]) << "id " << id << " dark " << isDark;
    }
  }
}

TEST(PaletteTest, LightenAndDarkenPerChannelClamped) {
  const struct {
    Colour colour;
    int percent;
    Colour lightened;
    Colour darkened;
  } cases[] = {
      {Hex(0x003CFF), 20, Hex(0x3363FF), Hex(0x0030CC)},  {Hex(0x99B1FF), 50, Hex(0xCCD8FF), Hex(0x4C587F)},
      {Hex(0x123456), 0, Hex(0x123456), Hex(0x123456)},   {Hex(0x123456), 100, Hex(0xFFFFFF), Hex(0x000000)},
      {Hex(0x123456), 250, Hex(0xFFFFFF), Hex(0x000000)}, {Hex(0x123456), -5, Hex(0x123456), Hex(0x123456)},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(QvUI::Lighten(c.colour, c.percent), c.lightened) << c.percent;
    EXPECT_EQ(QvUI::Darken(c.colour, c.percent), c.darkened) << c.percent;
  }
}

TEST(PaletteTest, DarkByLumaBelow155OnlyInHighContrast) {
  const struct {
    QvUI::ThemeMode mode;
    Colour window;
    bool dark;
  } cases[] = {
      {QvUI::ThemeHighContrast, Hex(0x000000), true},
      {QvUI::ThemeHighContrast, Hex(0xFFFFFF), false},
      {QvUI::ThemeHighContrast, Hex(0x9B9B9B), false},  // 155 * 1000: not below
      {QvUI::ThemeHighContrast, Hex(0x9A9A9A), true},
      {QvUI::ThemeHighContrast, Hex(0x0000FF), true},  // blue weighs 114
      {QvUI::ThemeHighContrast, Hex(0x00FF00), true},  // even green alone: 149 685
      {QvUI::ThemeHighContrast, Hex(0xFFFF00), false},
      {QvUI::ThemeLight, Hex(0x000000), false},
      {QvUI::ThemeDark, Hex(0xFFFFFF), true},
  };
  for (const auto& c : cases)
    EXPECT_EQ(QvUI::PaletteIsDark(c.mode, c.window), c.dark) << std::hex << c.window;
}

}  // namespace
