// Products from the scripts of a folder: finding, detecting, ordering and removing them.
#include "app/UiToolLib.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "app/Product.h"
#include "app/TestProductConfig.h"
#include "base/UniqueHandle.h"
#include "core/Status.h"
#include "tests/support/ScratchDir.h"

namespace {

using QvTest::ScratchDir;

// A product script that appends "<event>:<id>" lines to events.txt beside it.
std::string ProductScript(const std::string& id, const std::string& extra = {}) {
  return "local function note(what)\n"
         "  local f = assert(io.open(CurrentScriptDir .. '\\\\events.txt', 'ab'))\n"
         "  f:write(what, ':', '" +
         id +
         "', '\\n')\n"
         "  f:close()\n"
         "end\n"
         "note('load')\n"
         "function GetProductId() note('id') return '" +
         id +
         "' end\n"
         "function DetectProduct() return true end\n"
         "function CleanupProduct() note('cleanup') return true end\n" +
         extra;
}

std::vector<std::string> Events(const ScratchDir& dir, const std::string& kind) {
  std::vector<std::string> events;
  const std::string text = dir.Read(L"events.txt");
  size_t begin = 0;
  while (begin < text.size()) {
    const size_t end = text.find('\n', begin);
    const std::string line = text.substr(begin, end - begin);
    if (line.rfind(kind + ":", 0) == 0) events.push_back(line.substr(kind.size() + 1));
    begin = end == std::string::npos ? text.size() : end + 1;
  }
  return events;
}

std::vector<std::wstring> Ids(const ProductList& products) {
  std::vector<std::wstring> ids;
  for (const auto& product : products) ids.push_back(product->GetProductId());
  return ids;
}

void SelectAll(const ProductList& products) {
  for (const auto& product : products) product->SetSelected(true);
}

class Products : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.Created());
    Status::Instance().Reset();
  }
  void TearDown() override { Status::Instance().Reset(); }

  ScratchDir dir_{L"qvproducts"};
  UiToolLib lib_{dir_.Path()};
};

TEST_F(Products, FindScriptsListsLuaFilesOnly) {
  ASSERT_TRUE(dir_.Write(L"one.lua", "x = 1"));
  ASSERT_TRUE(dir_.Write(L"two.lua", "x = 2"));
  ASSERT_TRUE(dir_.Write(L"notes.txt", "x"));
  ASSERT_TRUE(::CreateDirectoryW(dir_.Child(L"folder.lua").c_str(), nullptr));
  std::vector<std::wstring> scripts = lib_.FindScripts();
  std::sort(scripts.begin(), scripts.end());
  EXPECT_EQ(scripts, (std::vector<std::wstring>{dir_.Child(L"one.lua"), dir_.Child(L"two.lua")}));
  EXPECT_TRUE(UiToolLib(L"").FindScripts().empty());
  EXPECT_TRUE(UiToolLib(dir_.Child(L"missing")).FindScripts().empty());
}

TEST_F(Products, NoScriptsNoProducts) {
  EXPECT_TRUE(lib_.DetectProducts().empty());
  EXPECT_EQ(lib_.RemoveProducts({}), RemovalSucceeded);
}

TEST_F(Products, RemovedInPriorityOrder) {
  ASSERT_TRUE(dir_.Write(L"p100.lua", ProductScript("p100", "function GetPriority() return 100 end\n")));
  ASSERT_TRUE(dir_.Write(L"p20.lua", ProductScript("p20", "function GetPriority() return 20 end\n")));
  ASSERT_TRUE(dir_.Write(L"p98.lua", ProductScript("p98", "function GetPriority() return 98 end\n")));
  ASSERT_TRUE(dir_.Write(L"p10.lua", ProductScript("p10", "function GetPriority() return 10 end\n")));
  const ProductList products = lib_.DetectProducts();
  EXPECT_EQ(Ids(products), (std::vector<std::wstring>{L"p10", L"p20", L"p98", L"p100"}));
  SelectAll(products);
  EXPECT_EQ(lib_.RemoveProducts(products), RemovalSucceeded);
  EXPECT_EQ(Events(dir_, "cleanup"), (std::vector<std::string>{"p10", "p20", "p98", "p100"}));
}

TEST_F(Products, EqualPrioritiesKeepTheEnumerationOrder) {
  // Enough entries that an unstable sort would reorder equal keys.
  for (int i = 0; i < 40; ++i) {
    const std::string id = "s" + std::to_string(i);
    const std::string priority =
        i % 3 == 0 ? "function GetPriority() return " + std::to_string(i % 2 ? 10 : 90) + " end\n" : "";
    ASSERT_TRUE(dir_.Write(std::wstring(id.begin(), id.end()) + L".lua", ProductScript(id, priority)));
  }
  std::vector<std::pair<int, std::wstring>> expected;
  for (const std::wstring& path : lib_.FindScripts()) {
    const std::wstring name = path.substr(path.rfind(L'\\') + 1);
    const std::wstring id = name.substr(0, name.size() - 4);
    const int number = std::stoi(id.substr(1));
    expected.emplace_back(number % 3 == 0 ? (number % 2 ? 10 : 90) : 50, id);
  }
  std::stable_sort(expected.begin(), expected.end(),
                   [](const auto& left, const auto& right) { return left.first < right.first; });
  std::vector<std::wstring> expectedIds;
  for (const auto& entry : expected) expectedIds.push_back(entry.second);
  const ProductList products = lib_.DetectProducts();
  EXPECT_EQ(Ids(products), expectedIds);
}

TEST_F(Products, LibrariesAndBrokenScriptsAreLeftOut) {
  ASSERT_TRUE(dir_.Write(L"lib_common.lua",
                         "local f = assert(io.open(CurrentScriptDir .. '\\\\events.txt', 'ab'))\n"
                         "f:write('load:lib\\n') f:close()\n"
                         "function GetProductId() error('never asked') end\n"
                         "function DetectProduct() return true end\n"));
  ASSERT_TRUE(dir_.Write(L"syntax.lua", "function (\n"));
  ASSERT_TRUE(dir_.Write(L"raises.lua", ProductScript("raises", "error('at load')\n")));
  ASSERT_TRUE(dir_.Write(L"good.lua", ProductScript("good")));
  const ProductList products = lib_.DetectProducts();
  EXPECT_EQ(Ids(products), std::vector<std::wstring>{L"good"});
  // The library ran once and was never asked anything.
  const std::vector<std::string> loaded = Events(dir_, "load");
  EXPECT_EQ(loaded.size(), 3u);
  EXPECT_EQ(std::count(loaded.begin(), loaded.end(), "lib"), 1);
  EXPECT_EQ(Events(dir_, "id"), std::vector<std::string>{"good"});
  EXPECT_FALSE(Status::Instance().IsFailed());
}

TEST_F(Products, ProductReportsWhatItsScriptAnswers) {
  ASSERT_TRUE(dir_.Write(L"suite.lua",
                         "function GetProductId() return 'omnivo' end\n"
                         "function GetProductDisplayName() return 'Omnivo Suite' end\n"
                         "function DetectProduct() found = 'pro' return true end\n"
                         "function GetSubProductIdDetected() return found end\n"
                         "function CleanupProduct() return found == 'pro' end\n"
                         "function GetPriority() return 30 end\n"));
  ASSERT_TRUE(dir_.Write(L"absent.lua",
                         "function GetProductId() return 'absent' end\n"
                         "function DetectProduct() return 'yes' end\n"
                         "function CleanupProduct() return 1 end\n"));
  Product suite;
  ASSERT_TRUE(suite.Initialize(dir_.Child(L"suite.lua")));
  EXPECT_EQ(suite.GetProductId(), L"omnivo");
  EXPECT_EQ(suite.GetProductDisplayName(), L"Omnivo Suite");
  EXPECT_TRUE(suite.IsDetected());
  EXPECT_EQ(suite.GetSubProductIdDetected(), L"pro");  // asked after detection
  EXPECT_EQ(suite.GetPriority(), 30);
  EXPECT_EQ(suite.GetScriptName(), L"suite.lua");
  EXPECT_FALSE(suite.IsSelected());
  EXPECT_TRUE(suite.Remove());  // the same state as detection

  Product absent;
  ASSERT_TRUE(absent.Initialize(dir_.Child(L"absent.lua")));
  EXPECT_FALSE(absent.IsDetected());
  EXPECT_EQ(absent.GetProductDisplayName(), L"");
  EXPECT_EQ(absent.GetSubProductIdDetected(), L"");
  EXPECT_EQ(absent.GetPriority(), 50);
  EXPECT_FALSE(absent.Remove());
  EXPECT_FALSE(Status::Instance().IsFailed());

  Product none;
  EXPECT_FALSE(none.Initialize(dir_.Child(L"missing.lua")));
  EXPECT_FALSE(Product().Remove());
}

TEST_F(Products, RemoveLeavesTheThreadAsItWas) {
  ASSERT_TRUE(dir_.Write(L"one.lua", ProductScript("one")));
  Product product;
  ASSERT_TRUE(product.Initialize(dir_.Child(L"one.lua")));
  std::thread worker([&] {
    EXPECT_TRUE(product.Remove());
    UniqueHandle token;
    EXPECT_FALSE(::OpenThreadToken(::GetCurrentThread(), TOKEN_QUERY, TRUE, token.put()));
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_NO_TOKEN));
  });
  worker.join();
}

TEST_F(Products, OnlySelectedProductsAreRemovedDetectedOrNot) {
  ASSERT_TRUE(dir_.Write(L"a.lua", ProductScript("a", "function DetectProduct() return false end\n")));
  ASSERT_TRUE(dir_.Write(L"b.lua", ProductScript("b")));
  ASSERT_TRUE(dir_.Write(L"c.lua", ProductScript("c")));
  const ProductList products = lib_.DetectProducts();
  ASSERT_EQ(products.size(), 3u);
  EXPECT_EQ(lib_.RemoveProducts(products), RemovalSucceeded);
  EXPECT_TRUE(Events(dir_, "cleanup").empty());

  ProductList withStandIn = products;
  withStandIn.push_back(std::make_shared<TestProductConfig>(L"fixed", L"Fixed", true, true));
  for (const auto& product : withStandIn)
    if (product->GetProductId() != L"b") product->SetSelected(true);
  EXPECT_EQ(lib_.RemoveProducts(withStandIn), RemovalSucceeded);
  std::vector<std::string> removed = Events(dir_, "cleanup");
  std::sort(removed.begin(), removed.end());
  EXPECT_EQ(removed, (std::vector<std::string>{"a", "c"}));
}

TEST_F(Products, OnlyRemovalDecidesTheOutcome) {
  ASSERT_TRUE(dir_.Write(L"flaky.lua", ProductScript("flaky",
                                                     "function DetectProduct() Meta.SetFailed('detect') "
                                                     "Meta.SetRebootNeeded() return true end\n")));
  ProductList products = lib_.DetectProducts();
  ASSERT_EQ(products.size(), 1u);
  EXPECT_TRUE(Status::Instance().IsFailed());
  SelectAll(products);
  EXPECT_EQ(lib_.RemoveProducts(products), RemovalSucceeded);
  EXPECT_FALSE(Status::Instance().IsFailed());
}

TEST_F(Products, RemovalOutcomes) {
  struct Case {
    const char* cleanup;
    RemovalStatus expected;
  };
  for (const Case& c :
       {Case{"Meta.SetFailed('cleanup') return true", RemovalFailed}, Case{"error('x')", RemovalFailed},
        Case{"Meta.SetRebootNeeded('one') Meta.SetRebootNeeded('two') return true", RemovalNeedsRestart},
        Case{"Meta.SetRebootNeeded() Meta.SetFailed() return true", RemovalFailed},
        Case{"return false", RemovalSucceeded}}) {
    SCOPED_TRACE(c.cleanup);
    ScratchDir dir(L"qvoutcome");
    ASSERT_TRUE(dir.Write(
        L"p.lua", ProductScript("p", std::string("function CleanupProduct() ") + c.cleanup + " end\n")));
    UiToolLib lib(dir.Path());
    ProductList products = lib.DetectProducts();
    ASSERT_EQ(products.size(), 1u);
    SelectAll(products);
    EXPECT_EQ(lib.RemoveProducts(products), c.expected);
  }
}

TEST(ShortPath, GivesTheShortFormOfAnExistingPath) {
  ScratchDir dir(L"qv long folder name ");
  ASSERT_TRUE(dir.Created());
  const std::wstring shortPath = GetShortPath(dir.Path());
  ASSERT_FALSE(shortPath.empty());
  EXPECT_EQ(shortPath.find(L' '), std::wstring::npos) << shortPath;
  wchar_t longPath[MAX_PATH]{};
  ASSERT_NE(::GetLongPathNameW(shortPath.c_str(), longPath, MAX_PATH), 0u);
  EXPECT_EQ(::CompareStringOrdinal(longPath, -1, dir.Path().c_str(), -1, TRUE), CSTR_EQUAL) << longPath;
  EXPECT_EQ(GetShortPath(dir.Child(L"missing")), L"");

  // A short form longer than the first buffer: components that are already short stay as they are.
  std::wstring tail;
  for (int i = 0; i < 30; ++i) tail += L"\\abcdefgh";
  const std::wstring deep = L"\\\\?\\" + dir.Path() + tail;
  for (size_t at = deep.find(L"\\abcdefgh"); at != std::wstring::npos; at = deep.find(L"\\abcdefgh", at + 1))
    ASSERT_TRUE(::CreateDirectoryW(deep.substr(0, at + 9).c_str(), nullptr));
  const std::wstring deepShort = GetShortPath(deep);
  EXPECT_GT(deepShort.size(), static_cast<size_t>(MAX_PATH));
  EXPECT_TRUE(deepShort.ends_with(tail)) << deepShort;
  EXPECT_EQ(deepShort.find(L"long folder"), std::wstring::npos) << deepShort;
}

}  // namespace
