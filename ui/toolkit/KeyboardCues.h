// Whether focus cues are hidden in the tool's windows: hidden from the start, as after a start with
// the mouse, unless the user chose to see them always; shown for good once a key is pressed. The
// toolkit keeps this beside the system's UI state (WM_QUERYUISTATE), which Wine does not keep.
#pragma once

namespace QvUI::KeyboardCues {

// Reads the user's "always show" choice (SPI_GETKEYBOARDCUES): hidden unless it is set.
void Initialise();
bool Hidden();
// True when the cues were hidden until now.
bool Show();

}  // namespace QvUI::KeyboardCues
