// Packing and unpacking of Installer GUIDs.
#include "sysops/msi/MsiGuid.h"

#include <array>

namespace {

// Where each packed character comes from in the 38-character registry form: the first three
// groups reversed, the last two with each pair of characters swapped.
constexpr std::array<int, 32> kSource = {8,  7,  6,  5,  4,  3,  2,  1,  13, 12, 11, 10, 18, 17, 16, 15,
                                         21, 20, 23, 22, 26, 25, 28, 27, 30, 29, 32, 31, 34, 33, 36, 35};

wchar_t UpperHex(wchar_t c) { return (c >= L'a' && c <= L'f') ? static_cast<wchar_t>(c - L'a' + L'A') : c; }

wchar_t AsciiUpper(wchar_t c) { return (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - L'a' + L'A') : c; }

}  // namespace

namespace MsiGuid {

std::wstring Pack(std::wstring_view guid) {
  if (guid.size() != 38 || guid[0] != L'{' || guid[37] != L'}' || guid[9] != L'-' || guid[14] != L'-' ||
      guid[19] != L'-' || guid[24] != L'-')
    return {};
  std::wstring packed(32, L'\0');
  for (size_t i = 0; i < kSource.size(); ++i) packed[i] = UpperHex(guid[kSource[i]]);
  return packed;
}

std::wstring Unpack(std::wstring_view packed) {
  if (packed.size() != 32) return {};
  std::wstring guid = L"{00000000-0000-0000-0000-000000000000}";
  for (size_t i = 0; i < kSource.size(); ++i) guid[kSource[i]] = packed[i];
  return guid;
}

bool SamePacked(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
  return true;
}

}  // namespace MsiGuid
