// The toolkit's font ids: point size and weight per id, and the face a weight is drawn with.
#pragma once

namespace QvUI {

struct FontSpec {
  int points;
  int weight;
};

// Ids 0-17 pair a size (26, 18, 16, 14, 12, 11, 10, 9, 8 points) with weight 400 (even ids) or 600
// (odd ids); any other id is 11 points at 400.
FontSpec FontSpecFor(int id);

// "Segoe UI" and its lighter and heavier faces; Semilight exists from Windows 6.2 on.
const wchar_t* FontFaceFor(int weight, bool windows62OrLater);

}  // namespace QvUI
