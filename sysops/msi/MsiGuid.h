// The Windows Installer's packed GUID form (the names of its registry keys and values) and the
// comparison of packed codes. Pure text work, no windows.h.
#pragma once

#include <string>
#include <string_view>

namespace MsiGuid {

// "{01234567-89AB-CDEF-0123-456789ABCDEF}" -> "76543210BA98FEDC1032547698BADCFE". Only the shape
// is checked (38 characters, braces and dashes in place); anything else gives "". Hex letters come
// out in upper case, as the Installer writes them, so a code passed in lower case still names the
// Installer's own keys and values; other characters pass unchanged.
std::wstring Pack(std::wstring_view guid);
// The inverse for 32 characters (braces and dashes added); any other length gives "".
std::wstring Unpack(std::wstring_view packed);
// Packed codes compared without regard to the case of ASCII letters.
bool SamePacked(std::wstring_view a, std::wstring_view b);

}  // namespace MsiGuid
