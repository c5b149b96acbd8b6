// Multi-string text as REG_MULTI_SZ holds it: entries separated by NUL, the list ended by an empty
// entry. Pure string work, no windows.h.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace QvText {

// The entries of `data` (the value's characters as read, terminators included or not). The list
// ends at the first empty entry, so nothing after a doubled NUL is read, and a last entry that no
// NUL closes is dropped as cut short: "a\0b\0\0" and "a\0b\0" give {a, b}; "a\0b" gives {a};
// "", "\0" and "\0\0" give none. Never fails.
std::vector<std::wstring> SplitMultiString(std::wstring_view data);

// Each entry followed by NUL, then one final NUL: {a, b} -> "a\0b\0\0"; the empty list -> "\0\0" (an
// empty list still closes its missing entry, as REG_MULTI_SZ writers do). Entries are written as given: an
// empty entry ends the list for a reader (as the restart schedule's empty targets need), so SplitMultiString
// gives back only the entries before it.
std::wstring JoinMultiString(const std::vector<std::wstring>& entries);

}  // namespace QvText
