// UTF-8 / UTF-16 / ANSI conversions through the Win32 code-page functions.
#include "base/Utf8.h"

#include <windows.h>

namespace {

std::string Narrow(UINT codePage, DWORD flags, std::wstring_view text) {
  if (text.empty()) return {};
  const int length = static_cast<int>(text.size());
  const int needed =
      ::WideCharToMultiByte(codePage, flags, text.data(), length, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return {};
  std::string result(static_cast<size_t>(needed), '\0');
  if (::WideCharToMultiByte(codePage, flags, text.data(), length, result.data(), needed, nullptr, nullptr) !=
      needed)
    return {};
  return result;
}

std::wstring Widen(UINT codePage, DWORD flags, std::string_view text) {
  if (text.empty()) return {};
  const int length = static_cast<int>(text.size());
  const int needed = ::MultiByteToWideChar(codePage, flags, text.data(), length, nullptr, 0);
  if (needed <= 0) return {};
  std::wstring result(static_cast<size_t>(needed), L'\0');
  if (::MultiByteToWideChar(codePage, flags, text.data(), length, result.data(), needed) != needed) return {};
  return result;
}

}  // namespace

namespace QvText {

// No error flags: a stray byte or unpaired surrogate becomes U+FFFD instead of emptying the whole
// text, so a path from a script never turns into an empty (current-directory) path.
std::string ToUtf8(std::wstring_view text) { return Narrow(CP_UTF8, 0, text); }
std::wstring FromUtf8(std::string_view text) { return Widen(CP_UTF8, 0, text); }
std::string ToAnsi(std::wstring_view text) { return Narrow(CP_ACP, 0, text); }
std::wstring FromAnsi(std::string_view text) { return Widen(CP_ACP, 0, text); }
std::optional<std::wstring> FromAnsiExact(std::string_view text) {
  std::wstring wide = Widen(CP_ACP, MB_ERR_INVALID_CHARS, text);
  if (wide.empty() && !text.empty()) return std::nullopt;
  return wide;
}

std::wstring FromCodePage(unsigned codePage, std::string_view text) { return Widen(codePage, 0, text); }

}  // namespace QvText
