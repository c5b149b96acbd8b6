// Wildcard mask matching without recursion.
#include "base/WildcardMask.h"

namespace QvText {

bool MatchesMask(std::wstring_view mask, std::wstring_view text) {
  constexpr std::size_t none = std::wstring_view::npos;
  std::size_t m = 0, t = 0;
  // The last star seen and the text position its run currently ends at. Only the last star needs
  // revisiting: whatever an earlier star could absorb, the later one can absorb as well.
  std::size_t star = none, starText = 0;
  while (t < text.size()) {
    if (m < mask.size() && mask[m] == L'*') {
      star = m++;
      starText = t;
    } else if (m < mask.size() && (mask[m] == L'?' || mask[m] == text[t])) {
      ++m;
      ++t;
    } else if (star != none) {
      m = star + 1;
      t = ++starText;
    } else {
      return false;
    }
  }
  while (m < mask.size() && mask[m] == L'*') ++m;
  return m == mask.size();
}

}  // namespace QvText
