// Line breaks escaped for one-line records.
#include "base/LineBreaks.h"

#include <gtest/gtest.h>

TEST(LineBreaks, EachBreakBecomesTwoVisibleCharacters) {
  for (const auto& [text, escaped] : {std::pair<std::string, std::string>{"", ""},
                                      {"a\r\nb", "a\\r\\nb"},
                                      {"\n\n\r", "\\n\\n\\r"},
                                      {"C:\\x\\n\t\xC3\xA4", "C:\\x\\n\t\xC3\xA4"}}) {
    EXPECT_EQ(QvText::EscapeLineBreaks(text), escaped);
    // The same rule in UTF-16 (byte for byte is enough for these).
    EXPECT_EQ(QvText::EscapeLineBreaks(std::wstring(text.begin(), text.end())),
              std::wstring(escaped.begin(), escaped.end()));
  }
}
