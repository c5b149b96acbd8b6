// Text conversions at the Lua and log-file boundary.
#include "base/Utf8.h"

#include <gtest/gtest.h>

TEST(Utf8, RoundTripsAndReplacesInvalidSequences) {
  const std::wstring text = L"K\u00e4ytt\u00f6 \u4e2d\u6587 \U0001F600";
  EXPECT_EQ(QvText::FromUtf8(QvText::ToUtf8(text)), text);
  EXPECT_EQ(QvText::ToUtf8(L""), "");
  // A stray byte does not empty the rest of a path.
  EXPECT_EQ(QvText::FromUtf8("C:\\a\xff"
                             "b"),
            L"C:\\a\ufffdb");
  EXPECT_EQ(QvText::ToUtf8(std::wstring(L"x\xd800y")), "x\xef\xbf\xbdy");
}

TEST(Utf8, ExactAnsiConversionKeepsEmptyTextApartFromFailure) {
  EXPECT_EQ(QvText::FromAnsiExact("msi.dll"), std::optional<std::wstring>(L"msi.dll"));
  EXPECT_EQ(QvText::FromAnsiExact(""), std::optional<std::wstring>(L""));
}
