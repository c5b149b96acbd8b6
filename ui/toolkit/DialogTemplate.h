// The layout a DIALOGEX template gives: its font, its size and every control's rectangle in dialog
// units; and the mapping of dialog units to pixels the dialog manager uses, so a dialog can be laid
// out again for another DPI exactly as if it had been created there.
#pragma once

#include <windows.h>

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace QvUI {

struct DialogTemplateItem {
  int id;
  RECT units;  // left, top, width, height in dialog units
};

struct DialogTemplateLayout {
  int pointSize = 0;  // 0 without DS_SETFONT
  std::wstring face;
  SIZE units{};  // the dialog's width and height in dialog units
  std::vector<DialogTemplateItem> items;
};

// Reads an extended template (DLGTEMPLATEEX); nullopt for the old form or bytes that end early.
std::optional<DialogTemplateLayout> ParseDialogTemplate(const void* data, size_t size);
// The RT_DIALOG resource of a module, parsed; nullopt when it is missing or unreadable.
std::optional<DialogTemplateLayout> LoadDialogTemplate(HINSTANCE module, int templateId);

// The dialog base units of a font as the dialog manager measures them: the average width of the 52
// Latin letters, rounded, and the text height.
SIZE DialogBaseUnits(HFONT font);
// A rectangle in dialog units (left, top, width, height) in pixels for these base units.
RECT DialogUnitsToPixels(const RECT& units, SIZE baseUnits);

}  // namespace QvUI
