// The status icons: each kind's path data (24 x 24 design box, filled even-odd so the symbols cut
// out) and its palette colour.
#pragma once

namespace QvUI {

enum StatusKind : int {
  StatusQuestion = 0,
  StatusError = 1,
  StatusWarning = 2,
  StatusInformation = 3,
  StatusSuccess = 4
};

// The icon of a kind; any unknown kind is the question icon.
const char* StatusIconPath(int kind);
// Its palette colour: 32, 31, 33, 30, and 11 for the question icon.
int StatusIconColour(int kind);

}  // namespace QvUI
