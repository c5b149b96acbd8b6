// Palette of the three themes, the colour arithmetic and the dark rule.
#include "ui/toolkit/Palette.h"

#include <gtest/gtest.h>

namespace {

using QvUI::Colour;
using QvUI::Hex;

TEST(PaletteTest, LightAndDarkValues) {
  // Ids 17-19 are the accent and its hot and pressed shades.
  const uint32_t light[QvUI::PaletteSize] = {
      0xFFFFFF, 0x99B1FF, 0x003CFF, 0x3363FF, 0x7F9DFF, 0xACACAC, 0xFFFFFF, 0xF8F8F8, 0xDFDFDF,
      0xF0F0F0, 0x000000, 0x3A3A3C, 0x8A8A8A, 0xFFFFFF, 0x2C2C2E, 0x003CFF, 0x4B4B4B, 0x003CFF,
      0x3363FF, 0x7F9DFF, 0x8A8A8A, 0x3A3A3C, 0x2C2C2E, 0x1C1C1E, 0xCECECE, 0xCECECE, 0x003CFF,
      0x3363FF, 0x7F9DFF, 0x8A8A8A, 0x00A538, 0xE59C00, 0xBF0001, 0x2693FF};
  const uint32_t dark[QvUI::PaletteSize] = {
      0x1C1C1E, 0x668AFF, 0x99B1FF, 0x7A8DCC, 0x4C587F, 0x6C6C6C, 0x2C2C2E, 0x3A3A3C, 0x4B4B4B,
      0x1C1C1E, 0xFFFFFF, 0xCECECE, 0x6C6C6C, 0x000000, 0xCECECE, 0x99B1FF, 0x8A8A8A, 0x99B1FF,
      0x7A8DCC, 0x4C587F, 0x4B4B4B, 0xACACAC, 0xCECECE, 0xDFDFDF, 0x2C2C2E, 0x3A3A3C, 0x99B1FF,
      0x7A8DCC, 0x4C587F, 0x8A8A8A, 0x8EDBA8, 0xFFDB8F, 0xE59192, 0xA0D0FF};
  const QvUI::Palette lightPalette = QvUI::BuildPalette(QvUI::ThemeLight, false, {});
  const QvUI::Palette darkPalette = QvUI::BuildPalette(QvUI::ThemeDark, true, {});
  for (int id = 0; id < QvUI::PaletteSize; ++id) {
    EXPECT_EQ(lightPalette[id], Hex(light[id])) << "light id " << id;
    EXPECT_EQ(darkPalette[id], Hex(dark[id])) << "dark id " << id;
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
