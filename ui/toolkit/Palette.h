// The toolkit's colours: the 34-entry palette of the light, dark and high-contrast themes, without
// windows.h so the tables can be checked exhaustively.
#pragma once

#include <array>
#include <cstdint>

namespace QvUI {

// Laid out as a COLORREF: 0x00BBGGRR.
using Colour = uint32_t;

constexpr Colour Rgb(uint32_t r, uint32_t g, uint32_t b) { return r | (g << 8) | (b << 16); }
// From the #RRGGBB notation.
constexpr Colour Hex(uint32_t rrggbb) {
  return Rgb((rrggbb >> 16) & 0xFF, (rrggbb >> 8) & 0xFF, rrggbb & 0xFF);
}

constexpr int PaletteSize = 34;
// What a palette id outside the table reads as: loud on purpose.
constexpr Colour MissingColour = 0xC356CB;

enum ThemeMode : int { ThemeLight = 0, ThemeDark = 1, ThemeHighContrast = 2 };

// Each channel scaled by (100 - percent) / 100; percent clamped to 100.
Colour Darken(Colour colour, int percent);
// Each channel moved towards 255 by percent; percent clamped to 100.
Colour Lighten(Colour colour, int percent);
// ITU-R BT.601 luma below 155.
bool IsDarkColour(Colour colour);
// Dark mode is dark; high contrast is dark when its window colour is.
bool PaletteIsDark(ThemeMode mode, Colour windowColour);

// One palette id: what it is for and its colour in the light and the dark theme. An entry that
// follows the dark flag takes the dark value whenever the palette is dark, high contrast included
// (the status colours and the accent tint keep their hue on any background).
struct PaletteEntry {
  const char* name;
  Colour light;
  Colour dark;
  bool followsDarkFlag;
};

// Indexed by palette id.
const std::array<PaletteEntry, PaletteSize>& PaletteEntries();

// The system colours high contrast borrows.
struct SystemColours {
  Colour window = 0;
  Colour windowText = 0;
  Colour highlight = 0;
  Colour highlightText = 0;
  Colour hotlight = 0;
  Colour buttonFace = 0;
  Colour buttonText = 0;
  Colour grayText = 0;
};

using Palette = std::array<Colour, PaletteSize>;

// Entries that follow the dark flag take it in every mode; the rest follow the mode (system colours
// in high contrast).
Palette BuildPalette(ThemeMode mode, bool isDark, const SystemColours& system);

}  // namespace QvUI
