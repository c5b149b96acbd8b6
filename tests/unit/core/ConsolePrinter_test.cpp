// Formatting of console texts with the Windows runtime's printf rules and the growing buffer.
#include "core/ConsolePrinter.h"

#include <gtest/gtest.h>

namespace {

bool Format(std::wstring& out, const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  const bool ok = FormatWide(out, format, args);
  va_end(args);
  return ok;
}

TEST(FormatWide, WindowsPrintfRules) {
  std::wstring out;
  ASSERT_TRUE(Format(out, L"%s|%hs|%ls|%d", L"wide", "narrow", L"long", 7));
  EXPECT_EQ(out, L"wide|narrow|long|7");
}

TEST(FormatWide, GrowsUpTo65535Characters) {
  std::wstring out;
  const std::wstring big(65535, L'x');
  ASSERT_TRUE(Format(out, L"%s", big.c_str()));
  EXPECT_EQ(out.size(), 65535u);
  const std::wstring tooBig(65536, L'x');
  out = L"unchanged";
  EXPECT_FALSE(Format(out, L"%s", tooBig.c_str()));
  EXPECT_EQ(out, L"unchanged");
}

}  // namespace
