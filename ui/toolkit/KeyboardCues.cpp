// The process's keyboard-cue state (one UI thread, read from its controls).
#include "ui/toolkit/KeyboardCues.h"

#include <windows.h>

#include <atomic>

namespace QvUI::KeyboardCues {

namespace {
std::atomic<bool> hidden{false};
}  // namespace

void Initialise() {
  BOOL always = FALSE;
  ::SystemParametersInfoW(SPI_GETKEYBOARDCUES, 0, &always, 0);
  hidden = always == FALSE;
}

bool Hidden() { return hidden; }

bool Show() { return hidden.exchange(false); }

}  // namespace QvUI::KeyboardCues
