// Test seam of the theme: whether high contrast is on. The test machine cannot switch it on
// (SPI_SETHIGHCONTRAST fails under Wine). Only tests include this header; the program never
// replaces the query.
#pragma once

namespace ThemeSeam {

using HighContrastQuery = bool (*)();

// SystemParametersInfoW(SPI_GETHIGHCONTRAST) succeeded with HCF_HIGHCONTRASTON set.
extern HighContrastQuery highContrastOn;

}  // namespace ThemeSeam
