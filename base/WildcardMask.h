// Wildcard masks for names: "*" matches any run of characters (none included), "?" exactly one,
// every other character itself, case-sensitively. Pure string work, no windows.h.
#pragma once

#include <string_view>

namespace QvText {

// Whether the whole of `text` matches `mask`. Iterative, at most mask × text steps, whatever the
// number of stars.
bool MatchesMask(std::wstring_view mask, std::wstring_view text);

}  // namespace QvText
