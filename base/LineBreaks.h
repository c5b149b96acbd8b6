// Line breaks in text that becomes part of a one-line record (a log line): written as the visible
// pairs "\r" and "\n", so a message cannot start records of its own. Pure string work, no windows.h.
#pragma once

#include <string>
#include <string_view>

namespace QvText {

// CR becomes the two characters '\' 'r', LF '\' 'n'; everything else, backslashes included, stays.
// UTF-8 needs no care: no byte of a multi-byte sequence is CR or LF.
std::string EscapeLineBreaks(std::string_view text);
std::wstring EscapeLineBreaks(std::wstring_view text);

}  // namespace QvText
