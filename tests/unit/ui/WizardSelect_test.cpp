// The product page on a real window (template from the built tool, shipped texts): rows, initial
// choice, Next enabling and the selections it hands back.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <memory>
#include <string>
#include <vector>

#include "base/UniqueHandle.h"
#include "core/Settings.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/ToolPages.h"
#include "tests/support/FakeProduct.h"
#include "ui/ProductPage.h"
#include "ui/toolkit/SystemApis.h"

namespace {

using QvTest::FakeProduct;

std::vector<int> forwarded;

LRESULT CALLBACK ParentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND) forwarded.push_back(LOWORD(wParam));
  return ::DefWindowProcW(window, message, wParam, lParam);
}

class WizardSelect : public ::testing::Test {
 protected:
  void SetUp() override {
    module_ = QvTest::LoadToolPages();
    ASSERT_TRUE(module_.valid()) << "the tool must be built next to the tests";
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = ParentProc;
    windowClass.lpszClassName = L"QvTestWizardParent";
    ::RegisterClassW(&windowClass);
    parent_ = ::CreateWindowExW(0, L"QvTestWizardParent", L"", WS_OVERLAPPEDWINDOW, 0, 0, 800, 500, nullptr,
                                nullptr, nullptr, nullptr);
    ASSERT_NE(parent_, nullptr);
    forwarded.clear();
  }
  void TearDown() override {
    page_.reset();
    if (parent_ != nullptr) ::DestroyWindow(parent_);
  }

  HWND Open(const ProductList& products) {
    page_ = std::make_unique<DialogSelect>(products);
    return page_->Create(module_.get(), parent_);
  }
  HWND Item(int id) const { return ::GetDlgItem(page_->Handle(), id); }
  std::wstring Cell(int row, int column) const {
    wchar_t text[256] = {};
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = 256;
    ::SendMessageW(Item(1025), LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
    return text;
  }
  void SetCheck(int row, bool checked) { ListView_SetCheckState(Item(1025), row, checked ? TRUE : FALSE); }
  void Click(int id) {
    ::SendMessageW(page_->Handle(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                   reinterpret_cast<LPARAM>(Item(id)));
  }

  UniqueModule module_;
  HWND parent_ = nullptr;
  std::unique_ptr<DialogSelect> page_;
};

ProductList Family(bool preselectLogs) {
  return {std::make_shared<FakeProduct>(L"omnivo", L"Suite", true, false),
          std::make_shared<FakeProduct>(L"quarantine", L"", false, false),
          std::make_shared<FakeProduct>(L"logs", L"", true, preselectLogs)};
}

std::vector<bool> Selected(const ProductList& products) {
  std::vector<bool> flags;
  for (const auto& product : products) flags.push_back(product->IsSelected());
  return flags;
}

TEST_F(WizardSelect, RowsShowNamesDetectionAndTheInitialChoice) {
  const ProductList products = Family(true);
  ASSERT_NE(Open(products), nullptr);
  auto& settings = BrelResLib::Settings::Instance();
  const std::wstring found = settings.GetString("Detected");
  const std::vector<std::pair<std::wstring, std::wstring>> rows = {
      {L"Suite", found},
      {settings.GetString("ProductId_quarantine"), L""},
      {settings.GetString("ProductId_logs"), found}};
  ASSERT_EQ(::SendMessageW(Item(1025), LVM_GETITEMCOUNT, 0, 0), 3);
  for (int row = 0; row < 3; ++row) {
    EXPECT_EQ(Cell(row, 0), rows[row].first) << row;
    EXPECT_EQ(Cell(row, 1), rows[row].second) << row;
    EXPECT_EQ(ListView_GetCheckState(Item(1025), row) != 0, row == 2) << row;
  }
  // A preselected product opens the page on the choose radio with the list shown.
  EXPECT_EQ(::IsDlgButtonChecked(page_->Handle(), 1028), BST_CHECKED);
  EXPECT_TRUE(::IsWindowVisible(Item(1025)) || (::GetWindowLongW(Item(1025), GWL_STYLE) & WS_VISIBLE));
  EXPECT_TRUE(::IsWindowEnabled(Item(IDOK)));
}

TEST_F(WizardSelect, NextFollowsTheBoxesAndSavesWhatWasChosen) {
  const struct {
    bool chooseRadio;
    std::vector<bool> checks;
    bool nextEnabled;
    std::vector<bool> selected;  // after Next, when enabled
  } cases[] = {
      {false, {true, true, true}, true, {true, true, false}},  // remove-all never takes "logs"
      {false, {false, false, false}, true, {true, true, false}},
      {true, {false, false, false}, false, {false, false, true}},
      {true, {false, true, false}, true, {false, true, false}},
      {true, {true, false, true}, true, {true, false, true}},
  };
  for (const auto& c : cases) {
    const ProductList products = Family(true);
    ASSERT_NE(Open(products), nullptr);
    forwarded.clear();
    Click(1027);
    ::CheckRadioButton(page_->Handle(), 1027, 1028, c.chooseRadio ? 1028 : 1027);
    Click(c.chooseRadio ? 1028 : 1027);
    for (int row = 0; row < 3; ++row) SetCheck(row, c.checks[row]);
    EXPECT_EQ(::IsWindowEnabled(Item(IDOK)) != FALSE, c.nextEnabled);
    Click(IDOK);
    if (c.nextEnabled) {
      EXPECT_EQ(forwarded, std::vector<int>{IDOK});
      EXPECT_EQ(Selected(products), c.selected);
    } else {
      EXPECT_TRUE(forwarded.empty());
      EXPECT_EQ(Selected(products), c.selected);  // untouched
    }
  }
}

}  // namespace
