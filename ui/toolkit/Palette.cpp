// Palette table and the colour arithmetic behind it.
#include "ui/toolkit/Palette.h"

#include <algorithm>

namespace QvUI {

namespace {

constexpr uint32_t Channel(Colour colour, int shift) { return (colour >> shift) & 0xFF; }

template <typename F>
constexpr Colour EachChannel(Colour colour, F f) {
  return Rgb(f(Channel(colour, 0)), f(Channel(colour, 8)), f(Channel(colour, 16)));
}

constexpr uint32_t Percent(int percent) { return static_cast<uint32_t>(std::clamp(percent, 0, 100)); }

constexpr Colour DarkenBy(Colour colour, int percent) {
  const uint32_t p = Percent(percent);
  return EachChannel(colour, [p](uint32_t c) { return c * (100 - p) / 100; });
}

constexpr Colour LightenBy(Colour colour, int percent) {
  const uint32_t p = Percent(percent);
  return EachChannel(colour, [p](uint32_t c) { return c + (255 - c) * p / 100; });
}

constexpr Colour LightAccent = Hex(0x003CFF);
constexpr Colour DarkAccent = Hex(0x99B1FF);

// Hot and pressed shades of an accent-coloured widget: towards the background, 20 and 50 percent
// (lighter in the light theme, darker in the dark one).
constexpr PaletteEntry AccentEntry(const char* name) { return {name, LightAccent, DarkAccent, false}; }
constexpr PaletteEntry HotEntry(const char* name) {
  return {name, LightenBy(LightAccent, 20), DarkenBy(DarkAccent, 20), false};
}
constexpr PaletteEntry PressedEntry(const char* name) {
  return {name, LightenBy(LightAccent, 50), DarkenBy(DarkAccent, 50), false};
}
constexpr PaletteEntry Entry(const char* name, uint32_t light, uint32_t dark) {
  return {name, Hex(light), Hex(dark), false};
}
constexpr PaletteEntry FlagEntry(const char* name, uint32_t light, uint32_t dark) {
  return {name, Hex(light), Hex(dark), true};
}

// One row per palette id. Ids 1 and 17-25 are painted by no widget yet; their names say what the
// values are for.
constexpr std::array<PaletteEntry, PaletteSize> kEntries = {{
    Entry("window", 0xFFFFFF, 0x1C1C1E),                            // 0
    FlagEntry("accent tint", 0x99B1FF, 0x668AFF),                   // 1
    AccentEntry("primary fill"),                                    // 2
    HotEntry("primary fill, hot"),                                  // 3
    PressedEntry("primary fill, pressed"),                          // 4
    Entry("primary fill, disabled", 0xACACAC, 0x6C6C6C),            // 5
    Entry("secondary fill", 0xFFFFFF, 0x2C2C2E),                    // 6
    Entry("secondary fill, hot", 0xF8F8F8, 0x3A3A3C),               // 7
    Entry("secondary fill, pressed", 0xDFDFDF, 0x4B4B4B),           // 8
    Entry("secondary fill, disabled", 0xF0F0F0, 0x1C1C1E),          // 9
    Entry("text", 0x000000, 0xFFFFFF),                              // 10
    Entry("quiet text", 0x3A3A3C, 0xCECECE),                        // 11
    Entry("disabled text", 0x8A8A8A, 0x6C6C6C),                     // 12
    Entry("text on primary fill", 0xFFFFFF, 0x000000),              // 13
    Entry("text on primary fill, disabled", 0x2C2C2E, 0xCECECE),    // 14
    AccentEntry("text on secondary fill"),                          // 15
    Entry("text on secondary fill, disabled", 0x4B4B4B, 0x8A8A8A),  // 16
    AccentEntry("accent"),                                          // 17
    HotEntry("accent, hot"),                                        // 18
    PressedEntry("accent, pressed"),                                // 19
    Entry("accent, disabled", 0x8A8A8A, 0x4B4B4B),                  // 20
    Entry("inverse surface", 0x3A3A3C, 0xACACAC),                   // 21
    Entry("inverse surface, hot", 0x2C2C2E, 0xCECECE),              // 22
    Entry("inverse surface, pressed", 0x1C1C1E, 0xDFDFDF),          // 23
    Entry("separator", 0xCECECE, 0x2C2C2E),                         // 24
    Entry("border", 0xCECECE, 0x3A3A3C),                            // 25
    AccentEntry("link"),                                            // 26
    HotEntry("link, hot"),                                          // 27
    PressedEntry("link, pressed"),                                  // 28
    Entry("link, disabled", 0x8A8A8A, 0x8A8A8A),                    // 29
    FlagEntry("success", 0x00A538, 0x8EDBA8),                       // 30
    FlagEntry("warning", 0xE59C00, 0xFFDB8F),                       // 31
    FlagEntry("error", 0xBF0001, 0xE59192),                         // 32
    FlagEntry("information", 0x2693FF, 0xA0D0FF),                   // 33
}};

Palette FromTable(bool dark) {
  Palette p{};
  for (int id = 0; id < PaletteSize; ++id) p[id] = dark ? kEntries[id].dark : kEntries[id].light;
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

const std::array<PaletteEntry, PaletteSize>& PaletteEntries() { return kEntries; }

Colour Darken(Colour colour, int percent) { return DarkenBy(colour, percent); }

Colour Lighten(Colour colour, int percent) { return LightenBy(colour, percent); }

bool IsDarkColour(Colour colour) {
  return 299 * Channel(colour, 0) + 587 * Channel(colour, 8) + 114 * Channel(colour, 16) < 155000;
}

bool PaletteIsDark(ThemeMode mode, Colour windowColour) {
  if (mode == ThemeHighContrast) return IsDarkColour(windowColour);
  return mode == ThemeDark;
}

Palette BuildPalette(ThemeMode mode, bool isDark, const SystemColours& system) {
  Palette p = mode == ThemeHighContrast ? HighContrast(system) : FromTable(mode == ThemeDark);
  for (int id = 0; id < PaletteSize; ++id)
    if (kEntries[id].followsDarkFlag) p[id] = isDark ? kEntries[id].dark : kEntries[id].light;
  return p;
}

}  // namespace QvUI
