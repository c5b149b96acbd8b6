// A branch written as a registry file ("Windows Registry Editor Version 5.00", UTF-16 LE with a
// byte-order mark) that one `reg import` puts back where it was: every key, every value of every
// type, keys without values and default values included. Keys are named by where the registry
// keeps them, so a branch of the 32-bit view is written under its WOW6432Node path.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

namespace RegExport {

enum class Result {
  Written,   // the branch's text was appended
  Missing,   // there is no such branch: nothing appended
  TooLarge,  // the text would pass the limit: nothing appended
  Failed,    // a key or value could not be read or written as text: nothing appended
};

// Appends the branch `name` below the open `parent` (opened in `view`, the view flags in `view`)
// to `text`. Keys are taken as themselves: a registry link inside the branch is not followed, and
// not written (a registry file cannot hold one). `limitChars` bounds what this branch adds.
Result AppendBranch(HKEY parent, const std::wstring& name, REGSAM view, std::wstring& text,
                    std::size_t limitChars);

// Appends the value `value` ("" for the default value) of the key `name` below `parent` to `text`,
// under its key's line. Missing when the key (or a link in its place) or the value is not there.
Result AppendValue(HKEY parent, const std::wstring& name, REGSAM view, const std::wstring& value,
                   std::wstring& text);

// The file's first line and the empty line after it.
std::wstring Header();

// The value's line as the file writes it: `name` empty for the default value. False for data or a
// name the format cannot carry (a name with a line break).
bool ValueLine(const std::wstring& name, DWORD type, const BYTE* data, DWORD size, std::wstring& line);

// The file's bytes for `text`: the UTF-16 LE byte-order mark, then the text.
std::string FileBytes(const std::wstring& text);

}  // namespace RegExport
