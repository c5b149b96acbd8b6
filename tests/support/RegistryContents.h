// Test machinery: a registry branch read back whole (every key and every value's type and raw
// data), to compare a branch before a deletion with what an import put back.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "base/UniqueHandle.h"
#include "base/Win32Registry.h"

namespace QvTest {

using Bytes = std::vector<BYTE>;

// The UTF-16 bytes of `text`, with its terminator unless told otherwise.
inline Bytes TextBytes(const std::wstring& text, bool terminated = true) {
  const auto* data = reinterpret_cast<const BYTE*>(text.c_str());
  return Bytes(data, data + (text.size() + (terminated ? 1 : 0)) * sizeof(wchar_t));
}

// Everything below a key, as (sub-path, value name) -> (type, data); every key also has a row
// ("(key)", type REG_NONE + 1000) so that keys without values count too.
using RegistryContents = std::map<std::pair<std::wstring, std::wstring>, std::pair<DWORD, Bytes>>;

// Links inside are read as keys of their own, never followed.
inline void ReadContents(HKEY key, const std::wstring& path, RegistryContents& contents) {
  contents[{path, L"(key)"}] = {REG_NONE + 1000, {}};
  for (DWORD index = 0;; ++index) {
    wchar_t name[16384];
    DWORD nameLength = 16384, type = 0, size = 0;
    if (::RegEnumValueW(key, index, name, &nameLength, nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
      break;
    Bytes data(size);
    nameLength = 16384;
    ::RegEnumValueW(key, index, name, &nameLength, nullptr, &type, data.data(), &size);
    contents[{path, std::wstring(name, nameLength)}] = {type, data};
  }
  std::vector<std::wstring> subkeys;
  RegLink::ListSubkeys(key, subkeys);
  for (const std::wstring& sub : subkeys) {
    UniqueHKey child;
    if (::RegOpenKeyExW(key, sub.c_str(), REG_OPTION_OPEN_LINK, KEY_READ, child.put()) == ERROR_SUCCESS)
      ReadContents(child.get(), path + L"\\" + sub, contents);
  }
}

}  // namespace QvTest
