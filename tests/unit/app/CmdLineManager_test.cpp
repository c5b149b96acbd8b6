// Product selection from the command line and the help text.
#include "app/CmdLineManager.h"

#include <gtest/gtest.h>

#include "app/TestProductConfig.h"
#include "core/QvOptionParser.h"

namespace {

class ValidateProductsTest : public testing::Test {
 protected:
  void SetUp() override {
    QvOptionParser::Instance().Reset();
    for (const wchar_t* id : {L"omnivo", L"logs", L"Omnivo2", L""}) {
      products_.push_back(std::make_shared<TestProductConfig>(id, L"", true, false));
    }
  }
  void TearDown() override { QvOptionParser::Instance().Reset(); }

  void CommandLine(const wchar_t* line) {
    QvOptionParser& parser = QvOptionParser::Instance();
    parser.AddOption(OptionValueRequired, L"products", L'p');
    ASSERT_TRUE(parser.Parse(line));
  }
  std::vector<bool> Selected() const {
    std::vector<bool> result;
    for (const auto& product : products_) result.push_back(product->IsSelected());
    return result;
  }

  ProductList products_;
  CmdLineManager manager_;
};

TEST_F(ValidateProductsTest, WithoutTheOptionNothingChanges) {
  CommandLine(L"tool.exe stray");
  EXPECT_TRUE(manager_.ValidateProducts(products_));
  EXPECT_EQ(Selected(), (std::vector<bool>{false, false, false, false}));
}

TEST_F(ValidateProductsTest, SelectsExactlyTheListedIds) {
  CommandLine(L"tool.exe --products Omnivo2,omnivo");
  EXPECT_TRUE(manager_.ValidateProducts(products_));
  EXPECT_EQ(Selected(), (std::vector<bool>{true, false, true, false}));
}

TEST_F(ValidateProductsTest, IdsAreCaseSensitiveAndNotTrimmed) {
  CommandLine(L"tool.exe \"/p=OMNIVO, logs\"");
  EXPECT_FALSE(manager_.ValidateProducts(products_));
  EXPECT_EQ(Selected(), (std::vector<bool>{false, false, false, false}));
}

TEST_F(ValidateProductsTest, AnyUnknownItemSelectsNothing) {
  CommandLine(L"tool.exe -p omnivo,x");
  EXPECT_FALSE(manager_.ValidateProducts(products_));
  EXPECT_EQ(Selected(), (std::vector<bool>{false, false, false, false}));
}

TEST_F(ValidateProductsTest, EmptyItemsNameTheProductWithAnEmptyId) {
  // Adjacent commas give empty items; a product whose id is empty matches them.
  CommandLine(L"tool.exe -p logs,,omnivo");
  EXPECT_TRUE(manager_.ValidateProducts(products_));
  EXPECT_EQ(Selected(), (std::vector<bool>{true, true, false, true}));
  products_.pop_back();
  for (auto& product : products_) product->SetSelected(false);
  EXPECT_FALSE(manager_.ValidateProducts(products_));
}

TEST(HelpText, LinesByteForByte) {
  const std::wstring expected =
      L"Quorvel uninstallation tool optional parameters:\n"
      L"\t--help|-h                    shows this help.\n"
      L"\t--silent|-s                  silent mode, runs without GUI.\n"
      L"\t--restart|-r                 restarts the computer if needed for silent mode.\n"
      L"\t--products|-p <product_ids>  comma separated list of products to remove, where <product_id> can be "
      L"one "
      L"of the following:\n"
      L"\t                             omnivo|logs.\n"
      L"\t--language|-l <lang_id>      language to use, where <lang_id> can be one of the following "
      L"(automatically detected from the environment if not specified):\n"
      L"\t                             bg|cs|zh-TW.\n"
      L"\t--report <file>              writes a JSON report of the run to <file>, an absolute path in an "
      L"existing folder.\n"
      L"\t--plan                       with --silent: reports what the removal would change and changes "
      L"nothing.\n"
      L"\t--deadline <minutes>         ends the run after <minutes> (1 to 10080): the running script stops, "
      L"later products are skipped, exit code 1.\n"
      L"\t--msi-exit-codes             returns Windows Installer exit codes: 0 as 0, 99 as 3010 (1641 when "
      L"the "
      L"restart was started), 2 as 1602, 4 as 1618, 1 as 1603, 3 as 5.\n"
      L"\t--require-undo               skips a registry deletion whose undo export fails; its product fails.\n";
  EXPECT_EQ(FormatHelp(L"omnivo|logs", "bg|cs|zh-TW"), expected);
}

}  // namespace
