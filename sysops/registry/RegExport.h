// A branch written as a registry file ("Windows Registry Editor Version 5.00", UTF-16 LE with a
// byte-order mark) that one `reg import` puts back where it was: every key, every value of every
// type, keys without values and default values included. Keys are named by where the registry
// keeps them, so a branch of the 32-bit view is written under its WOW6432Node path.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

#include "base/UniqueHandle.h"

namespace RegExport {

enum class Result {
  Written,   // the branch's text was appended
  Missing,   // there is no such branch: nothing appended
  TooLarge,  // the text would pass the limit: nothing appended
  Failed,    // a key or value could not be read or written as text: nothing appended
};

// The keys of an exported branch, each held open as itself (with delete access where the key grants
// it), so that the deletion that follows the export needs no second walk of its own.
struct HeldKey {
  UniqueHKey key;
  std::wstring name;  // below the parent
  bool link = false;  // a registry link: not exported, and removed as a link
  std::vector<HeldKey> children;
};

// Appends the branch `name` below the open `parent` (opened in `view`, the view flags in `view`;
// `root` the predefined key it lies under) to `text`. Keys are taken as themselves: a registry
// link inside the branch is not followed, and not written (a registry file cannot hold one).
// `limitChars` bounds what this branch adds. With `held`, the branch's keys are held there when
// it is Written (and nothing is held otherwise).
Result AppendBranch(HKEY root, HKEY parent, const std::wstring& name, REGSAM view, std::wstring& text,
                    std::size_t limitChars, HeldKey* held = nullptr);

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
