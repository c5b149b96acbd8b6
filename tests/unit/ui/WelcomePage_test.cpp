// The welcome page's copyright text; the window itself is driven end to end.
#include "ui/WelcomePage.h"

#include <gtest/gtest.h>

namespace {

TEST(WelcomePage, YearMarkersAreAllReplaced) {
  EXPECT_EQ(ReplaceYear(L"© %YEAR% Q, since %YEAR%."), L"© 2016-2024 Q, since 2016-2024.");
  EXPECT_EQ(ReplaceYear(L"%YEAR%%YEAR%"), L"2016-20242016-2024");
  EXPECT_EQ(ReplaceYear(L"%YEAR without end"), L"%YEAR without end");
}

}  // namespace
