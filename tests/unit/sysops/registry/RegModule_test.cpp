// The Reg module through a real Lua state with the whole script API: every function's success and
// failure value, argument order and checks, roots, views, logging and long sub-key names.
#include "sysops/registry/RegModule.h"

#include <gtest/gtest.h>

#include <string>

#include "base/Utf8.h"
#include "logging/QvBrelLogging.h"
#include "script/LuaApi.h"
#include "tests/support/LogCapture.h"
#include "tests/support/LuaChunk.h"
#include "tests/support/ScratchKey.h"

namespace {

using QvTest::ScratchKey;

class RegModuleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(scratch_.Created());
    ASSERT_TRUE(lua_.Valid());
    lua_.SetGlobal("S", scratch_.Path());  // the scratch branch
  }
  std::string Run(const std::string& chunk) { return lua_.Run(chunk); }

  ScratchKey scratch_;
  QvTest::LuaChunk lua_;
};

TEST_F(RegModuleTest, EveryFunctionGivesOneResultForSuccessAndFailure) {
  QvTest::LogCapture capture;
  ASSERT_TRUE(capture.Start());
  // A branch with a number, a text, a list, a REG_NONE value and one sub-key; an empty branch; and
  // a branch that refuses every change.
  ASSERT_EQ(Run("S2 = S .. '\\\\v' return Reg.DeleteBranch(HKLM, S2)"), "n:1 boolean:true");
  ASSERT_TRUE(scratch_.Create(KEY_WOW64_64KEY, L"v\\sub"));
  ASSERT_TRUE(scratch_.Create(KEY_WOW64_64KEY, L"empty"));
  ASSERT_TRUE(scratch_.Create(KEY_WOW64_64KEY, L"locked"));
  {
    UniqueHKey key = scratch_.Open(KEY_WOW64_64KEY, KEY_ALL_ACCESS, L"v");
    const wchar_t list[] = L"a\0b\0";
    ASSERT_EQ(::RegSetValueExW(key.get(), L"List", 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(list), 10),
              0);
    ASSERT_EQ(::RegSetValueExW(key.get(), L"None", 0, REG_NONE, nullptr, 0), 0);
  }
  ASSERT_EQ(QvTest::SetMachineKeySecurity(scratch_.Child(L"locked"), KEY_WOW64_64KEY, L"D:P(D;OICI;GA;;;WD)"),
            0);

  const struct {
    const char* call;
    const char* result;
  } cases[] = {
      {"Reg.SetNumber(4294967295 + 7 * 2^32, HKLM, S2, 'Num')", "n:1 boolean:true"},
      {"Reg.SetNumber(1, HKLM, S2 .. '\\\\nope', 'Num')", "n:1 boolean:false"},
      {"Reg.SetString('Grüße', HKLM, S2, 'Text')", "n:1 boolean:true"},
      {"Reg.SetString('x', HKLM, S2 .. '\\\\nope', 'Text')", "n:1 boolean:false"},
      {"Reg.GetNumber(HKLM, S2, 'Num')", "n:1 number:4294967295"},
      {"Reg.GetNumber(HKLM, S2, 'Text')", "n:1 number:0"},
      {"Reg.GetString(HKLM, S2, 'Text')", "n:1 string:Grüße"},
      {"Reg.GetString(HKLM, S2 .. '\\\\nope', 'Text')", "n:1 string:"},
      {"Reg.GetMultiString(HKLM, S2, 'List')", "n:1 {a,b}"},
      {"Reg.GetMultiString(HKLM, S2, 'Text')", "n:1 {}"},
      {"Reg.BranchExists(HKLM, S2)", "n:1 boolean:true"},
      {"Reg.BranchExists(HKLM, S2 .. '\\\\nope')", "n:1 boolean:false"},
      {"Reg.KeyExists(HKLM, S2, 'Text')", "n:1 boolean:true"},
      {"Reg.KeyExists(HKLM, S2, 'None')", "n:1 boolean:false"},
      {"Reg.GetSubKeys(HKLM, S2)", "n:1 {sub}"},
      {"Reg.GetSubKeys(HKLM, S .. '\\\\locked')", "n:1 {}"},
      {"Reg.GetValueNames(HKLM, S2 .. '\\\\sub')", "n:1 {}"},
      {"Reg.IsBranchEmpty(HKLM, S .. '\\\\empty')", "n:1 boolean:true"},
      {"Reg.IsBranchEmpty(HKLM, S .. '\\\\nope')", "n:1 boolean:true"},
      {"Reg.IsBranchEmpty(HKLM, S2)", "n:1 boolean:false"},
      {"Reg.DeleteBranchIfEmpty(HKLM, S2)", "n:1 boolean:false"},
      {"Reg.DeleteBranchIfEmpty(HKLM, S .. '\\\\empty')", "n:1 boolean:true"},
      {"Reg.DeleteBranchIfEmpty(HKLM, S .. '\\\\nope')", "n:1 boolean:true"},
      {"Reg.DeleteKey(HKLM, S2, 'Text')", "n:1 boolean:true"},
      {"Reg.DeleteKey(HKLM, S2, 'Text')", "n:1 boolean:true"},
      {"Reg.DeleteKey(HKLM, S .. '\\\\locked', 'Text')", "n:1 boolean:false"},
      {"Reg.DeleteBranchByMask(HKLM, S2, 's?b')", "n:1 boolean:true"},
      {"Reg.GetSubKeys(HKLM, S2)", "n:1 {}"},
      {"Reg.DeleteBranch(HKLM, 'SOFTWARE')", "n:1 boolean:false"},
      {"Reg.DeleteBranchByMask(HKLM, S, 'lock*')", "n:1 boolean:true"},
      {"Reg.BranchExists(7, S .. '\\\\locked')", "n:1 boolean:false"},
      {"Reg.BranchExists(7, S2)", "n:1 boolean:true"},
      {"Reg.BranchExists(HKCR, '.txt') == Reg.BranchExists(HKLM, 'SOFTWARE\\\\Classes\\\\.txt')",
       "n:1 boolean:true"},
      {"Reg.BranchExists(HKU, '.DEFAULT')", "n:1 boolean:true"},
  };
  for (const auto& c : cases) EXPECT_EQ(Run(std::string("return ") + c.call), c.result) << c.call;

  const std::wstring v = scratch_.Child(L"v");
  EXPECT_EQ(capture.Count(QV_ERROR, "RegOps::SetDWORD", L"Failed to write '" + v + L"\\nope:Num': 1"), 1);
  EXPECT_EQ(capture.Count(QV_WARNING, "RegOps::GetDWORD", L"Failed to read '" + v + L":Text': 2"), 1);
  EXPECT_EQ(capture.Count(QV_ERROR, "RegOps::DeleteValue",
                          L"Failed to delete '" + scratch_.Child(L"locked") + L":Text': 5"),
            1);
  EXPECT_EQ(capture.Count(QV_ERROR, "RegOps::BranchGuard::Check", L"Invalid branch: 'SOFTWARE'"), 1);
  EXPECT_EQ(capture.CountAtOrAbove(QV_WARNING), 6)
      << capture.Text();  // the six above and the failed text write and list read
  EXPECT_FALSE(QvTest::MachineKeyExists(v + L"\\nope", KEY_WOW64_64KEY));  // writers create nothing
}

TEST_F(RegModuleTest, ViewFlagsSelectTheRegistryView) {
  const struct {
    const char* call;
    const char* result;
  } cases[] = {
      {"Reg.SetString('32', HKLM, S, 'Bits', KEY_WOW64_32KEY)", "n:1 boolean:true"},
      {"Reg.SetString('64', HKLM, S, 'Bits')", "n:1 boolean:true"},
      {"Reg.GetString(HKLM, S, 'Bits', KEY_WOW64_32KEY)", "n:1 string:32"},
      {"Reg.GetString(HKLM, S, 'Bits', KEY_WOW64_64KEY)", "n:1 string:64"},
      {"Reg.GetString(HKLM, S, 'Bits', nil)", "n:1 string:64"},
      {"Reg.GetString(HKLM, 'SOFTWARE\\\\Wow6432Node' .. S:sub(9), 'Bits')", "n:1 string:32"},
      {"Reg.SetNumber(5, HKLM, S, 'N', KEY_WOW64_32KEY)", "n:1 boolean:true"},
      {"Reg.KeyExists(HKLM, S, 'N')", "n:1 boolean:false"},
      {"Reg.GetNumber(HKLM, S, 'N', KEY_WOW64_32KEY)", "n:1 number:5"},
  };
  for (const auto& c : cases) EXPECT_EQ(Run(std::string("return ") + c.call), c.result) << c.call;
}

TEST_F(RegModuleTest, WrongArgumentTypesRaiseTheScriptErrorAndTheHostGoesOn) {
  const struct {
    const char* call;
    const char* error;
  } cases[] = {
      {"Reg.GetNumber('x', S, 'k')", "bad argument #1 to 'GetNumber' (number expected, got string)"},
      {"Reg.BranchExists(1.5, S)",
       "bad argument #1 to 'BranchExists' (number has no integer representation)"},
      {"Reg.BranchExists(HKLM)", "bad argument #2 to 'BranchExists' (string expected, got no value)"},
      {"Reg.GetString(HKLM, S, {})", "bad argument #3 to 'GetString' (string expected, got table)"},
      {"Reg.IsBranchEmpty(HKLM, S, 'x')", "bad argument #3 to 'IsBranchEmpty' (number expected, got string)"},
      {"Reg.SetNumber(HKLM, S, 'k')", "bad argument #2 to 'SetNumber' (number expected, got string)"},
      {"Reg.SetString(true, HKLM, S, 'k')", "bad argument #1 to 'SetString' (string expected, got boolean)"},
      {"Reg.DeleteBranchByMask(HKLM, S, nil)",
       "bad argument #3 to 'DeleteBranchByMask' (string expected, got nil)"},
      {"Reg.GetMultiString(HKLM, S, 'k', false)",
       "bad argument #4 to 'GetMultiString' (number expected, got boolean)"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Run(std::string("return ") + c.call), std::string("error: chunk:1: ") + c.error) << c.call;
  EXPECT_EQ(Run("return Reg.BranchExists(HKLM, S)"), "n:1 boolean:true");
  EXPECT_EQ(Run("return HKLM, HKCR, HKU, KEY_WOW64_32KEY, KEY_WOW64_64KEY"),
            "n:5 number:0 number:1 number:2 number:512 number:256");
}

TEST_F(RegModuleTest, TheLongestSubKeyNameIsListedAndItsBranchDeleted) {
  const std::wstring longest(255, L'k');
  ASSERT_TRUE(scratch_.Create(KEY_WOW64_64KEY, L"p\\" + longest + L"\\below"));
  EXPECT_EQ(Run("return Reg.GetSubKeys(HKLM, S .. '\\\\p')"), "n:1 {" + std::string(255, 'k') + "}");
  EXPECT_EQ(Run("return Reg.DeleteBranch(HKLM, S .. '\\\\p')"), "n:1 boolean:true");
  EXPECT_FALSE(QvTest::MachineKeyExists(scratch_.Child(L"p"), KEY_WOW64_64KEY));
  EXPECT_TRUE(QvTest::MachineKeyExists(scratch_.Path(), KEY_WOW64_64KEY));
}

TEST_F(RegModuleTest, ScriptDeletionsRefuseEmptyComponentsAndNeverFollowLinks) {
  // X holds a value and a sub-key; X\\lnk links to O, a branch outside.
  for (const wchar_t* sub : {L"X\\a", L"O\\inner"}) ASSERT_TRUE(scratch_.Create(KEY_WOW64_64KEY, sub));
  ASSERT_EQ(Run("return Reg.SetString('x', HKLM, S .. '\\\\X', 'v')"), "n:1 boolean:true");
  ASSERT_EQ(Run("return Reg.SetString('x', HKLM, S .. '\\\\O', 'v')"), "n:1 boolean:true");
  QvTest::MachineLink link(scratch_.Child(L"X\\lnk"), KEY_WOW64_64KEY, scratch_.Child(L"O"));
  ASSERT_TRUE(link.Made());
  const struct {
    const char* call;
    const char* result;
    const char* logged;  // a fragment of the one warning or error, or null
  } cases[] = {
      {"Reg.DeleteBranch(HKLM, S .. '\\\\X\\\\')", "n:1 boolean:false", "Invalid branch: '"},
      {"Reg.DeleteBranchIfEmpty(HKLM, S .. '\\\\X\\\\')", "n:1 boolean:false", "Invalid branch: '"},
      {"Reg.DeleteBranchByMask(HKLM, S .. '\\\\\\\\X', '*')", "n:1 boolean:false", "Invalid branch: '"},
      {"Reg.DeleteKey(HKLM, S .. '\\\\X\\\\', 'v')", "n:1 boolean:false", "Invalid branch: '"},
      {"Service.Cleanup('QvNoSuchService\\\\')", "n:1 boolean:false", "Invalid branch: '"},
      {"Reg.DeleteBranch(HKLM, S .. '\\\\X\\\\lnk\\\\inner')", "n:1 boolean:false", "is a registry link"},
      {"Reg.DeleteKey(HKLM, S .. '\\\\X\\\\lnk', 'v')", "n:1 boolean:false", "is a registry link"},
      {"Reg.DeleteBranchIfEmpty(HKLM, S .. '\\\\X\\\\lnk')", "n:1 boolean:false", nullptr},
      {"Reg.GetString(HKLM, S .. '\\\\X', 'v')", "n:1 string:x", nullptr},
      {"Reg.DeleteBranch(HKLM, S .. '\\\\X')", "n:1 boolean:true", "Removing registry link '"},
      {"Reg.BranchExists(HKLM, S .. '\\\\X')", "n:1 boolean:false", nullptr},
      {"Reg.GetString(HKLM, S .. '\\\\O', 'v')", "n:1 string:x", nullptr},
      {"Reg.BranchExists(HKLM, S .. '\\\\O\\\\inner')", "n:1 boolean:true", nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.call);
    QvTest::LogCapture capture;
    ASSERT_TRUE(capture.Start());
    EXPECT_EQ(Run(std::string("return ") + c.call), c.result);
    if (c.logged != nullptr) {
      EXPECT_EQ(capture.Count(c.logged), 1u) << capture.Text();
    }
    // Service.Cleanup also reports that no service of that name opens.
    if (std::string_view(c.call).starts_with("Reg.")) {
      EXPECT_EQ(capture.CountAtOrAbove(QV_WARNING), c.logged != nullptr ? 1 : 0) << capture.Text();
    }
  }
  EXPECT_FALSE(link.Exists());
}

}  // namespace
