// Log records of detection and removal, read back from the log file.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/UiToolLib.h"
#include "base/Utf8.h"
#include "core/Status.h"
#include "tests/support/LogCapture.h"
#include "tests/support/ScratchDir.h"

namespace {

using QvTest::LogCapture;
using QvTest::ScratchDir;

size_t CountExact(const std::vector<std::string>& lines, const std::string& line) {
  return static_cast<size_t>(std::count(lines.begin(), lines.end(), line));
}

TEST(ProductLogLines, DetectionAndRemoval) {
  LogCapture log;
  ASSERT_TRUE(log.Start());
  ScratchDir dir;
  ASSERT_TRUE(dir.Write(L"suite.lua",
                        "function GetProductId() return 'omnivo' end\n"
                        "function GetProductDisplayName() return 'Omnivo Suite' end\n"
                        "function DetectProduct() return true end\n"
                        "function GetSubProductIdDetected() return 'pro' end\n"
                        "function CleanupProduct() Meta.SetRebootNeeded('a') "
                        "Meta.SetRebootNeeded('b') return true end\n"));
  UiToolLib lib(dir.Path());
  ProductList products = lib.DetectProducts();
  ASSERT_EQ(products.size(), 1u);
  products[0]->SetSelected(true);
  EXPECT_EQ(lib.RemoveProducts(products), RemovalNeedsRestart);
  Status::Instance().Reset();
  ScratchDir empty;
  EXPECT_TRUE(UiToolLib(empty.Path()).DetectProducts().empty());

  const std::vector<std::string> lines = log.Lines();
  EXPECT_EQ(CountExact(lines, " I: UiToolLib::RemoveProducts: Removing product: omnivo pro (Omnivo Suite)"),
            1u)
      << log.Text();
  EXPECT_EQ(CountExact(lines, " I: Status::SetRebootNeeded: Reboot is needed (LUA script request)"), 1u)
      << log.Text();
  EXPECT_EQ(CountExact(lines, " I: [suite.lua] Reboot needed: a"), 1u) << log.Text();
  EXPECT_EQ(CountExact(lines, " I: [suite.lua] Reboot needed: b"), 1u) << log.Text();
  EXPECT_EQ(CountExact(lines, ".W: UiToolLib::DetectProducts: Could not find any scripts from " +
                                  QvText::ToUtf8(empty.Path())),
            1u)
      << log.Text();
}

TEST(ProductLogLines, ShortPath) {
  LogCapture log;
  ASSERT_TRUE(log.Start());
  ScratchDir dir(L"qv long name ");
  const std::wstring shortPath = GetShortPath(dir.Path());
  ASSERT_FALSE(shortPath.empty());
  EXPECT_EQ(GetShortPath(dir.Child(L"missing")), L"");

  const std::vector<std::string> lines = log.Lines();
  EXPECT_EQ(CountExact(lines, " I: ::GetShortPath: Shortened path: '" + QvText::ToUtf8(dir.Path()) +
                                  "' has been converted to '" + QvText::ToUtf8(shortPath) + "'"),
            1u)
      << log.Text();
  EXPECT_EQ(CountExact(lines, "*E: ::GetShortPath: Failed GetShortPathNameW, error: 2"), 1u) << log.Text();
}

}  // namespace
