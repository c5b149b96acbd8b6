// UTF-8 / UTF-16 / ANSI conversions: the only place where text changes encoding.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace QvText {

// UTF-8: invalid sequences become U+FFFD. A conversion that fails outright gives an empty result.
std::string ToUtf8(std::wstring_view text);
std::wstring FromUtf8(std::string_view text);
// ANSI code page of the process (CP_ACP), as used for script file paths handed to Lua.
std::string ToAnsi(std::wstring_view text);
std::wstring FromAnsi(std::string_view text);
// ANSI text that must convert exactly (a library name): nothing, with the last error set, for a
// byte that is no character of the code page.
std::optional<std::wstring> FromAnsiExact(std::string_view text);
// Any installed code page (CP_OEMCP, 437, ...) to UTF-16, as a child program's console output comes.
std::wstring FromCodePage(unsigned codePage, std::string_view text);

}  // namespace QvText
