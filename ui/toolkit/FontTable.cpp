// Font table and face choice.
#include "ui/toolkit/FontTable.h"

namespace QvUI {

FontSpec FontSpecFor(int id) {
  constexpr int sizes[] = {26, 18, 16, 14, 12, 11, 10, 9, 8};
  if (id < 0 || id >= 2 * static_cast<int>(sizeof(sizes) / sizeof(sizes[0]))) return {11, 400};
  return {sizes[id / 2], id % 2 == 0 ? 400 : 600};
}

const wchar_t* FontFaceFor(int weight, bool windows62OrLater) {
  if (weight <= 200) return L"Segoe UI Light";
  if (weight <= 300) return windows62OrLater ? L"Segoe UI Semilight" : L"Segoe UI";
  if (weight < 600) return L"Segoe UI";
  return L"Segoe UI Semibold";
}

}  // namespace QvUI
