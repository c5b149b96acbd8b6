// The uninstall contract: validity, priority, string and boolean answers, and raising functions.
#include "script/LuaUninstallScript.h"

#include <gtest/gtest.h>

#include <string>

#include "core/Status.h"
#include "tests/unit/script/ScriptProbe.h"

namespace {

using QvTest::ContractProbe;

constexpr char kContract[] =
    "function GetProductId() return 'omnivo' end\n"
    "function DetectProduct() return true end\n"
    "function CleanupProduct() return true end\n";

class Contract : public ::testing::Test {
 protected:
  void SetUp() override { Status::Instance().Reset(); }
  void TearDown() override { Status::Instance().Reset(); }
};

int PriorityOf(const std::string& definition) {
  ContractProbe script("C:\\qv\\priority.lua", std::string(kContract) + definition);
  if (!script.Initialize()) return -1;
  EXPECT_EQ(script.StackSize(), 0) << definition;
  return script.GetPriority();
}

TEST_F(Contract, OnlyAnIntegerSetsThePriority) {
  EXPECT_EQ(PriorityOf("function GetPriority() return 10 end"), 10);
  EXPECT_EQ(PriorityOf("function GetPriority() return -3 end"), -3);
  EXPECT_EQ(PriorityOf(""), 50);
  EXPECT_EQ(PriorityOf("function GetPriority() return 10.5 end"), 50);
  EXPECT_EQ(PriorityOf("function GetPriority() return 20.0 end"), 50);
  EXPECT_EQ(PriorityOf("function GetPriority() return '10' end"), 50);
  EXPECT_EQ(PriorityOf("function GetPriority() end"), 50);
  EXPECT_EQ(PriorityOf("GetPriority = 10"), 50);
  // The low 32 bits of a larger integer.
  EXPECT_EQ(PriorityOf("function GetPriority() return (1 << 32) + 7 end"), 7);
  EXPECT_EQ(PriorityOf("function GetPriority() return 0xFFFFFFFF end"), -1);
  EXPECT_FALSE(Status::Instance().IsFailed());
}

TEST_F(Contract, RaisingGetPriorityKeepsTheDefaultAndMarksTheRun) {
  ContractProbe script("C:\\qv\\priority.lua",
                       std::string(kContract) + "function GetPriority() error('no') end");
  EXPECT_TRUE(script.Initialize());
  EXPECT_EQ(script.GetPriority(), 50);
  EXPECT_TRUE(Status::Instance().IsFailed());
  EXPECT_EQ(script.StackSize(), 0);
}

TEST_F(Contract, LibrariesLackARequiredFunction) {
  const std::string id = "function GetProductId() return 'x' end\n";
  const std::string detect = "function DetectProduct() return true end\n";
  const std::string cleanup = "function CleanupProduct() return true end\n";
  for (const std::string& source :
       {id + detect, id + cleanup, detect + cleanup, id + detect + "CleanupProduct = 5\n",
        std::string("local M = {} return M\n")}) {
    ContractProbe script("C:\\qv\\lib_common.lua", source);
    ASSERT_TRUE(script.Initialize()) << source;
    EXPECT_FALSE(script.IsValidScript()) << source;
    EXPECT_EQ(script.StackSize(), 0);
  }
  ContractProbe product("C:\\qv\\product.lua", id + detect + cleanup);
  ASSERT_TRUE(product.Initialize());
  EXPECT_TRUE(product.IsValidScript());
}

TEST_F(Contract, StringAnswersTakeStringsAndNumbers) {
  ContractProbe script("C:\\qv\\strings.lua",
                       "function GetProductId() return 7 end\n"
                       "function GetProductDisplayName() return 'Omnivo S\xC3\xBCite \xE2\x9C\x93' end\n"
                       "function GetSubProductIdDetected() return 2.5 end\n");
  ASSERT_TRUE(script.Initialize());
  EXPECT_EQ(script.GetProductId(), L"7");
  EXPECT_EQ(script.GetProductDisplayName(), L"Omnivo S\u00fcite \u2713");
  EXPECT_EQ(script.GetSubProductIdDetected(), L"2.5");
  EXPECT_EQ(script.StackSize(), 0);
}

TEST_F(Contract, MissingOrUnusableStringsAreEmpty) {
  ContractProbe script("C:\\qv\\empty.lua",
                       "function GetProductDisplayName() return nil end\n"
                       "function GetSubProductIdDetected() return {} end\n");
  ASSERT_TRUE(script.Initialize());
  EXPECT_EQ(script.GetProductId(), L"");  // not defined
  EXPECT_EQ(script.GetProductDisplayName(), L"");
  EXPECT_EQ(script.GetSubProductIdDetected(), L"");
  EXPECT_EQ(script.StackSize(), 0);
  // A missing function is no run-time error.
  EXPECT_FALSE(Status::Instance().IsFailed());

  ContractProbe absent("C:\\qv\\absent.lua", kContract);
  ASSERT_TRUE(absent.Initialize());
  EXPECT_EQ(absent.GetProductDisplayName(), L"");
  EXPECT_EQ(absent.GetSubProductIdDetected(), L"");
}

TEST_F(Contract, StrictGlobalsDoNotBreakTheProbes) {
  // A script that makes reading an undefined global an error: probing the optional functions
  // must neither raise nor end the process.
  ContractProbe script(
      "C:\\qv\\strict.lua",
      std::string(kContract) + "setmetatable(_G, {__index = function(_, k) error('undefined ' .. k) end})\n");
  ASSERT_TRUE(script.Initialize());
  EXPECT_EQ(script.GetPriority(), 50);
  EXPECT_TRUE(script.IsValidScript());
  EXPECT_EQ(script.GetProductId(), L"omnivo");
  EXPECT_EQ(script.GetProductDisplayName(), L"");
  EXPECT_EQ(script.GetSubProductIdDetected(), L"");
  EXPECT_TRUE(script.DetectProduct());
  EXPECT_EQ(script.StackSize(), 0);
  EXPECT_FALSE(Status::Instance().IsFailed());
}

TEST_F(Contract, OnlyTheBooleanTrueCounts) {
  for (const char* result : {"1", "'yes'", "'true'", "nil", "false", "0", "{}"}) {
    ContractProbe script("C:\\qv\\bool.lua", std::string("function DetectProduct() return ") + result +
                                                 " end\nfunction CleanupProduct() return " + result +
                                                 " end\n");
    ASSERT_TRUE(script.Initialize());
    EXPECT_FALSE(script.DetectProduct()) << result;
    EXPECT_FALSE(script.CleanupProduct()) << result;
    EXPECT_EQ(script.StackSize(), 0);
  }
  ContractProbe script("C:\\qv\\bool.lua", kContract);
  ASSERT_TRUE(script.Initialize());
  EXPECT_TRUE(script.DetectProduct());
  EXPECT_TRUE(script.CleanupProduct());
  EXPECT_FALSE(Status::Instance().IsFailed());
}

TEST_F(Contract, RaisingFunctionsFailTheRun) {
  ContractProbe script("C:\\qv\\raises.lua",
                       "function GetProductId() error('no id') end\n"
                       "function DetectProduct() error({}) end\n"
                       "function CleanupProduct() error('x') end\n");
  ASSERT_TRUE(script.Initialize());
  EXPECT_FALSE(Status::Instance().IsFailed());
  EXPECT_FALSE(script.CleanupProduct());
  EXPECT_TRUE(Status::Instance().IsFailed());
  Status::Instance().Reset();
  EXPECT_EQ(script.GetProductId(), L"");
  EXPECT_TRUE(Status::Instance().IsFailed());
  EXPECT_FALSE(script.DetectProduct());
  EXPECT_EQ(script.StackSize(), 0);
}

// os.exit raises instead of ending the process: the call fails the run, and this test lives on.
TEST_F(Contract, ExitRaisesInsteadOfEndingTheProcess) {
  for (const std::string exit : {"os.exit()", "os.exit(3, true)", "package.loaded.os.exit(0)"}) {
    Status::Instance().Reset();
    ContractProbe script("C:\\qv\\exit.lua",
                         kContract + ("function DetectProduct() a = 1 " + exit + " b = 1 end"));
    ASSERT_TRUE(script.Initialize());
    EXPECT_FALSE(script.DetectProduct());
    EXPECT_TRUE(Status::Instance().IsFailed());
    EXPECT_EQ(script.Global("a") + script.Global("b"), "1nil") << exit;
    EXPECT_FALSE(script.RunChunk(exit, "=x"));
    EXPECT_EQ(script.GetTopString(), "x:1: os.exit is not available to uninstall scripts");
  }
}

TEST_F(Contract, CallLuaFunctionLeavesTheResultForTheCaller) {
  ContractProbe script("C:\\qv\\call.lua", "function Two() return 2, 3 end\nNotAFunction = 1\n");
  ASSERT_TRUE(script.Initialize());
  ASSERT_TRUE(script.CallLuaFunction("Two"));
  EXPECT_EQ(script.StackSize(), 1);
  EXPECT_EQ(script.GetTopString(), "2");
  lua_pop(script.LuaState(), 1);
  EXPECT_FALSE(script.CallLuaFunction("NotAFunction"));
  EXPECT_FALSE(script.CallLuaFunction("Missing"));
  EXPECT_EQ(script.StackSize(), 0);
  EXPECT_FALSE(Status::Instance().IsFailed());
}

TEST_F(Contract, GlobalsCarryFromDetectionToCleanup) {
  ContractProbe script("C:\\qv\\state.lua",
                       "function GetProductId() return 'suite' end\n"
                       "function DetectProduct() variant = 'pro' return true end\n"
                       "function GetSubProductIdDetected() return variant end\n"
                       "function CleanupProduct() return variant == 'pro' end\n");
  ASSERT_TRUE(script.Initialize());
  EXPECT_EQ(script.GetSubProductIdDetected(), L"");
  EXPECT_TRUE(script.DetectProduct());
  EXPECT_EQ(script.GetSubProductIdDetected(), L"pro");
  EXPECT_TRUE(script.CleanupProduct());
}

}  // namespace
