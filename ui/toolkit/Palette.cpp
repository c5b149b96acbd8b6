// Palette tables and the colour arithmetic behind them.
#include "ui/toolkit/Palette.h"

#include <algorithm>

namespace QvUI {

namespace {

constexpr Colour LightAccent = Hex(0x003CFF);
constexpr Colour DarkAccent = Hex(0x99B1FF);

uint32_t Channel(Colour colour, int shift) { return (colour >> shift) & 0xFF; }

template <typename F>
Colour EachChannel(Colour colour, F f) {
  return Rgb(f(Channel(colour, 0)), f(Channel(colour, 8)), f(Channel(colour, 16)));
}

// Colours that depend on the dark flag alone, in every mode.
void SetFlagColours(Palette& p, bool isDark) {
  p[1] = isDark ? Hex(0x668AFF) : Hex(0x99B1FF);
  p[30] = isDark ? Hex(0x8EDBA8) : Hex(0x00A538);
  p[31] = isDark ? Hex(0xFFDB8F) : Hex(0xE59C00);
  p[32] = isDark ? Hex(0xE59192) : Hex(0xBF0001);
  p[33] = isDark ? Hex(0xA0D0FF) : Hex(0x2693FF);
}

Palette Light() {
  Palette p{};
  const Colour accent = LightAccent;
  p[0] = Hex(0xFFFFFF);
  p[2] = accent;
  p[3] = Lighten(accent, 20);
  p[4] = Lighten(accent, 50);
  p[5] = Hex(0xACACAC);
  p[6] = Hex(0xFFFFFF);
  p[7] = Hex(0xF8F8F8);
  p[8] = Hex(0xDFDFDF);
  p[9] = Hex(0xF0F0F0);
  p[10] = Hex(0x000000);
  p[11] = Hex(0x3A3A3C);
  p[12] = Hex(0x8A8A8A);
  p[13] = Hex(0xFFFFFF);
  p[14] = Hex(0x2C2C2E);
  p[15] = accent;
  p[16] = Hex(0x4B4B4B);
  p[17] = accent;
  p[18] = Lighten(accent, 20);
  p[19] = Lighten(accent, 50);
  p[20] = Hex(0x8A8A8A);
  p[21] = Hex(0x3A3A3C);
  p[22] = Hex(0x2C2C2E);
  p[23] = Hex(0x1C1C1E);
  p[24] = Hex(0xCECECE);
  p[25] = Hex(0xCECECE);
  p[26] = accent;
  p[27] = Lighten(accent, 20);
  p[28] = Lighten(accent, 50);
  p[29] = Hex(0x8A8A8A);
  return p;
}

Palette Dark() {
  Palette p{};
  const Colour accent = DarkAccent;
  p[0] = Hex(0x1C1C1E);
  p[2] = accent;
  p[3] = Darken(accent, 20);
  p[4] = Darken(accent, 50);
  p[5] = Hex(0x6C6C6C);
  p[6] = Hex(0x2C2C2E);
  p[7] = Hex(0x3A3A3C);
  p[8] = Hex(0x4B4B4B);
  p[9] = Hex(0x1C1C1E);
  p[10] = Hex(0xFFFFFF);
  p[11] = Hex(0xCECECE);
  p[12] = Hex(0x6C6C6C);
  p[13] = Hex(0x000000);
  p[14] = Hex(0xCECECE);
  p[15] = accent;
  p[16] = Hex(0x8A8A8A);
  p[17] = accent;
  p[18] = Darken(accent, 20);
  p[19] = Darken(accent, 50);
  p[20] = Hex(0x4B4B4B);
  p[21] = Hex(0xACACAC);
  p[22] = Hex(0xCECECE);
  p[23] = Hex(0xDFDFDF);
  p[24] = Hex(0x2C2C2E);
  p[25] = Hex(0x3A3A3C);
  p[26] = accent;
  p[27] = Darken(accent, 20);
  p[28] = Darken(accent, 50);
  p[29] = Hex(0x8A8A8A);
  return p;
}

Palette HighContrast(const SystemColours& s) {
  Palette p{};
  p[0] = s.window;
  p[2] = s.highlight;
  p[3] = s.hotlight;
  p[4] = s.hotlight;
  p[5] = s.window;
  p[6] = s.buttonFace;
  p[7] = s.hotlight;
  p[8] = s.hotlight;
  p[9] = s.window;
  p[10] = s.windowText;
  p[11] = s.windowText;
  p[12] = s.grayText;
  p[13] = s.highlightText;
  p[14] = s.grayText;
  p[15] = s.buttonText;
  p[16] = s.grayText;
  p[17] = p[18] = p[19] = s.buttonText;
  p[20] = s.grayText;
  p[21] = p[22] = p[23] = s.window;
  p[24] = s.grayText;
  p[25] = s.window;
  p[26] = s.hotlight;
  p[27] = s.highlight;
  p[28] = s.highlight;
  p[29] = s.grayText;
  return p;
}

}  // namespace

Colour Darken(Colour colour, int percent) {
  const uint32_t p = static_cast<uint32_t>(std::clamp(percent, 0, 100));
  return EachChannel(colour, [p](uint32_t c) { return c * (100 - p) / 100; });
}

Colour Lighten(Colour colour, int percent) {
  const uint32_t p = static_cast<uint32_t>(std::clamp(percent, 0, 100));
  return EachChannel(colour, [p](uint32_t c) { return c + (255 - c) * p / 100; });
}

bool IsDarkColour(Colour colour) {
  return 299 * Channel(colour, 0) + 587 * Channel(colour, 8) + 114 * Channel(colour, 16) < 155000;
}

bool PaletteIsDark(ThemeMode mode, Colour windowColour) {
  if (mode == ThemeHighContrast) return IsDarkColour(windowColour);
  return mode == ThemeDark;
}

Palette BuildPalette(ThemeMode mode, bool isDark, const SystemColours& system) {
  Palette p = mode == ThemeHighContrast ? HighContrast(system) : mode == ThemeDark ? Dark() : Light();
  SetFlagColours(p, isDark);
  return p;
}

}  // namespace QvUI
