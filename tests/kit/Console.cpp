#include "tests/kit/Console.h"

#include <windows.h>

#include "base/Utf8.h"

namespace QvKit {

namespace {

void Print(DWORD which, const std::wstring& text) {
  HANDLE handle = ::GetStdHandle(which);
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE || text.empty()) return;
  DWORD mode = 0;
  DWORD written = 0;
  if (::GetConsoleMode(handle, &mode)) {
    ::WriteConsoleW(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    return;
  }
  std::wstring crlf;
  for (wchar_t c : text) {
    if (c == L'\n') crlf.push_back(L'\r');
    crlf.push_back(c);
  }
  const std::string bytes = QvText::ToUtf8(crlf);
  ::WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

}  // namespace

void PrintOut(const std::wstring& text) { Print(STD_OUTPUT_HANDLE, text); }
void PrintError(const std::wstring& text) { Print(STD_ERROR_HANDLE, text); }

}  // namespace QvKit
