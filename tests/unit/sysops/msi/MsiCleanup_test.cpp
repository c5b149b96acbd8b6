// Installer registration clean-up through the Msi module's functions, on registrations planted
// into the real registry: every way of naming the product clears every location, components
// shared with another product keep that product's value, the other product stays byte for byte,
// and names that match nothing remove nothing.
#include "sysops/msi/MsiCleanup.h"

#include <gtest/gtest.h>

#include <string>

#include "base/Utf8.h"
#include "sysops/msi/MsiGuid.h"
#include "app/ScriptApi.h"
#include "script/LuaApi.h"
#include "tests/support/LogCapture.h"
#include "tests/support/MsiRegistration.h"
#include "tests/support/ScratchKey.h"

namespace {

using QvTest::InstallerProduct;

class MsiCleanupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    tag_ = QvTest::NewGuid().substr(1, 8);
    const std::wstring& tag = tag_;
    const std::wstring shared = QvTest::NewGuid();
    product_ = {QvTest::NewGuid(),
                QvTest::NewGuid(),
                L"QvTest Scrub " + tag + L" 1.0",
                L"QvTest Makers " + tag,
                {L"QvCore" + tag, L"QvExtra" + tag},
                {QvTest::NewGuid(), shared}};
    other_ = {QvTest::NewGuid(),       QvTest::NewGuid(),  L"QvTest Other " + tag + L" 2.0",
              L"QvTest Makers " + tag, {L"QvOther" + tag}, {shared, QvTest::NewGuid()}};
    ASSERT_NE(state_, nullptr);
    luaL_openlibs(state_);
    Lua::RegisterScriptApi(state_);
    const std::pair<const char*, std::wstring> globals[] = {{"P", product_.productCode},
                                                            {"U", product_.upgradeCode},
                                                            {"F", product_.features[1]},
                                                            {"PUB", product_.publisher},
                                                            {"TAG", tag}};
    for (const auto& [name, value] : globals) {
      lua_pushstring(state_, QvText::ToUtf8(value).c_str());
      lua_setglobal(state_, name);
    }
  }
  void TearDown() override {
    lua_close(state_);
    QvTest::RemoveRegistration(product_);
    QvTest::RemoveRegistration(other_);
  }

  // The boolean an expression gives ("true"/"false"), or the error it raises.
  std::string Run(const std::string& chunk) {
    std::string result;
    if (luaL_dostring(state_, ("return " + chunk).c_str()) != LUA_OK)
      result = lua_tostring(state_, -1);
    else
      result = lua_isboolean(state_, -1) ? (lua_toboolean(state_, -1) ? "true" : "false") : "?";
    lua_settop(state_, 0);
    return result;
  }

  // Everything of the other product: its keys and its values in the components.
  std::wstring OtherSnapshot() const {
    std::wstring text;
    for (const auto& key : QvTest::RegistrationKeys(other_)) text += QvTest::DumpTree(key.path, key.view);
    for (const auto& component : other_.components) {
      wchar_t data[512] = {};
      DWORD size = sizeof(data);
      const LSTATUS status =
          ::RegGetValueW(HKEY_LOCAL_MACHINE, QvTest::ComponentKey(component).c_str(), other_.Packed().c_str(),
                         RRF_RT_REG_SZ | RRF_SUBKEY_WOW6464KEY, nullptr, data, &size);
      text += std::to_wstring(status) + L" " + data + L"\n";
    }
    return text;
  }

  std::wstring tag_;  // makes names and publishers unique to the test
  InstallerProduct product_;
  InstallerProduct other_;
  lua_State* state_ = luaL_newstate();
};

TEST_F(MsiCleanupTest, EveryWayOfNamingTheProductClearsEveryLocation) {
  const struct {
    const char* call;
    std::wstring logged;  // an info or debug line the call writes, "" for none
    bool byUpgradeCode;
  } ways[] = {
      {"Msi.CleanupRegistryUpgradeCode(U)",
       L"Removing product '" + product_.Packed() + L"', based on upgrade code '", true},
      {"Msi.CleanupRegistryProductCode(P)", L"", false},
      // The Installer writes upper case; a lower-case code still finds the component values.
      {"Msi.CleanupRegistryProductCode(string.lower(P))", L"", false},
      {"Msi.CleanupRegistryProductFeature(F)",
       L"Resolved feature '" + product_.features[1] + L"' to product code '" + product_.Packed() + L"'",
       false},
      {"Msi.CleanupRegistryProductNameAndPublisher('QvTest Scrub ' .. TAG .. ' *', PUB)",
       L"Resolved name 'QvTest Scrub " + tag_ + L" *', publisher '" + product_.publisher +
           L"' to product code '" + product_.Packed() + L"' with name '" + product_.displayName + L"'",
       false},
  };
  for (const auto& way : ways) {
    SCOPED_TRACE(way.call);
    ASSERT_TRUE(QvTest::PlantRegistration(other_));
    ASSERT_TRUE(QvTest::PlantRegistration(product_));
    for (const auto& key : QvTest::RegistrationKeys(product_))
      ASSERT_TRUE(QvTest::MachineKeyExists(key.path, key.view));
    const std::wstring before = OtherSnapshot();
    {
      QvTest::LogCapture capture;
      ASSERT_TRUE(capture.Start());
      EXPECT_EQ(Run(way.call), "true");
      if (!way.logged.empty()) {
        EXPECT_EQ(capture.Count(QvText::ToUtf8(way.logged)), 1u) << capture.Text();
      }
      EXPECT_EQ(capture.CountAtOrAbove(QvBrelLogging::LevelWarning), 0) << capture.Text();
    }
    // Only the upgrade-code clean-up removes the upgrade code's own keys.
    for (const auto& key : QvTest::RegistrationKeys(product_)) {
      const bool upgradeCodeKey = key.path.find(L"\\UpgradeCodes\\") != std::wstring::npos;
      EXPECT_EQ(QvTest::MachineKeyExists(key.path, key.view), upgradeCodeKey && !way.byUpgradeCode)
          << QvText::ToUtf8(key.path);
    }
    EXPECT_FALSE(QvTest::MachineKeyExists(QvTest::ComponentKey(product_.components[0]), KEY_WOW64_64KEY));
    // The shared component loses this product's value only (the other's is in the snapshot).
    EXPECT_EQ(::RegGetValueW(HKEY_LOCAL_MACHINE, QvTest::ComponentKey(product_.components[1]).c_str(),
                             product_.Packed().c_str(), RRF_RT_ANY | RRF_SUBKEY_WOW6464KEY, nullptr, nullptr,
                             nullptr),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(OtherSnapshot(), before);
    // Nothing left is nothing to fail on.
    EXPECT_EQ(Run(way.call), "true");
    QvTest::RemoveRegistration(other_);
  }
}

TEST_F(MsiCleanupTest, NamesThatMatchNothingRemoveNothing) {
  ASSERT_TRUE(QvTest::PlantRegistration(other_));
  ASSERT_TRUE(QvTest::PlantRegistration(product_));
  const std::wstring before = OtherSnapshot();
  std::wstring productBefore;
  for (const auto& key : QvTest::RegistrationKeys(product_))
    productBefore += QvTest::DumpTree(key.path, key.view);

  QvTest::LogCapture capture;
  ASSERT_TRUE(capture.Start());
  const struct {
    const char* call;
    const char* result;  // "true", "false" or a part of the error raised
    const char* tag;     // of the one error line, or null
    const wchar_t* error;
  } cases[] = {
      {"Msi.CleanupRegistryUpgradeCode('01234567-89AB-CDEF-0123-456789ABCDEF')", "false",
       "MsiCleanup::CleanupUpgradeCode", L"Invalid upgrade code : 01234567-89AB-CDEF-0123-456789ABCDEF"},
      {"Msi.CleanupRegistryProductCode('{01234567-89AB-CDEF-0123_456789ABCDEF}')", "false",
       "MsiCleanup::CleanupProductCode", L"Invalid product code : {01234567-89AB-CDEF-0123_456789ABCDEF}"},
      {"Msi.CleanupRegistryProductFeature('')", "false", nullptr, nullptr},
      {"Msi.CleanupRegistryProductFeature(string.lower(F))", "true", nullptr, nullptr},
      // The names match, the publishers do not.
      {"Msi.CleanupRegistryProductNameAndPublisher('QvTest * ' .. TAG .. ' *', 'QvTest Makers')", "true",
       nullptr, nullptr},
      {"Msi.CleanupRegistryProductNameAndPublisher('QvTest Scrub ' .. TAG .. ' *', string.upper(PUB))",
       "true", nullptr, nullptr},
      // The mask has to cover the whole name.
      {"Msi.CleanupRegistryProductNameAndPublisher('QvTest Scrub ' .. TAG, PUB)", "true", nullptr, nullptr},
      {"Msi.CleanupRegistryProductNameAndPublisher('x')",
       "bad argument #2 to 'CleanupRegistryProductNameAndPublisher' (string expected, got no value)", nullptr,
       nullptr},
      {"Msi.CleanupRegistryProductCode({})",
       "bad argument #1 to 'CleanupRegistryProductCode' (string expected, got "
       "table)",
       nullptr, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.call);
    const std::string result = Run(c.call);
    EXPECT_TRUE(result == c.result || result.find("bad argument") != std::string::npos) << result;
    EXPECT_NE(result.find(c.result), std::string::npos) << result;
    if (c.tag != nullptr) {
      EXPECT_EQ(capture.Count(QvBrelLogging::LevelError, c.tag, c.error), 1) << capture.Text();
    }
  }
  EXPECT_EQ(capture.CountAtOrAbove(QvBrelLogging::LevelError), 2) << capture.Text();
  std::wstring productAfter;
  for (const auto& key : QvTest::RegistrationKeys(product_))
    productAfter += QvTest::DumpTree(key.path, key.view);
  EXPECT_EQ(productAfter, productBefore);
  EXPECT_EQ(OtherSnapshot(), before);
}

TEST_F(MsiCleanupTest, OnlyPackedCodesUnderAnUpgradeCodeNameProducts) {
  const std::wstring packedUpgrade = MsiGuid::Pack(product_.upgradeCode);
  const std::wstring upgradeKeys[] = {
      std::wstring(QvTest::kInstallerClasses) + L"\\UpgradeCodes\\" + packedUpgrade,
      std::wstring(QvTest::kInstallerMachine) + L"\\UpgradeCodes\\" + packedUpgrade};
  // Value names beside the product's packed code under the family's upgrade code.
  const struct {
    const char* what;
    std::wstring name;
  } strays[] = {
      {"default value", L""},
      {"plain word", L"junk"},
      {"32 characters, not hexadecimal", std::wstring(32, L'Z')},
      {"31 hexadecimal digits", std::wstring(31, L'A')},
  };
  for (const auto& stray : strays) {
    SCOPED_TRACE(stray.what);
    ASSERT_TRUE(QvTest::PlantRegistration(other_));
    ASSERT_TRUE(QvTest::PlantRegistration(product_));
    for (const std::wstring& key : upgradeKeys)
      ASSERT_EQ(::RegSetKeyValueW(HKEY_LOCAL_MACHINE, key.c_str(), stray.name.c_str(), REG_SZ, L"",
                                  sizeof(wchar_t)),
                ERROR_SUCCESS);
    const std::wstring before = OtherSnapshot();
    QvTest::LogCapture capture;
    ASSERT_TRUE(capture.Start());
    EXPECT_EQ(Run("Msi.CleanupRegistryUpgradeCode(U)"), "true");
    EXPECT_EQ(OtherSnapshot(), before);
    for (const auto& key : QvTest::RegistrationKeys(product_))
      EXPECT_FALSE(QvTest::MachineKeyExists(key.path, key.view)) << QvText::ToUtf8(key.path);
    EXPECT_EQ(capture.Count(QvText::ToUtf8(L"Passing over value '" + stray.name + L"' under upgrade code '" +
                                           packedUpgrade + L"': not a packed code")),
              1u)
        << capture.Text();
    EXPECT_EQ(capture.CountAtOrAbove(QvBrelLogging::LevelWarning), 0) << capture.Text();
    QvTest::RemoveRegistration(other_);
  }

  // Called with something that is not a packed code, the clean-ups refuse and remove nothing.
  ASSERT_TRUE(QvTest::PlantRegistration(other_));
  const std::wstring before = OtherSnapshot();
  QvTest::LogCapture capture;
  ASSERT_TRUE(capture.Start());
  const struct {
    const char* call;
    bool (*run)(const std::wstring&);
    const wchar_t* logged;
  } refusals[] = {
      {"CleanupPackedProductCode", MsiCleanup::CleanupPackedProductCode, L"Invalid packed product code : '"},
      {"CleanupTransformedUpgradeCode", MsiCleanup::CleanupTransformedUpgradeCode,
       L"Invalid packed upgrade code : '"},
      {"RemoveProductFromComponents",
       [](const std::wstring& code) {
         return MsiCleanup::RemoveProductFromComponents(MsiCleanup::ComponentsKey, code);
       },
       L"Invalid packed product code : '"},
  };
  for (const auto& refusal : refusals) {
    for (const auto& stray : strays) {
      SCOPED_TRACE(std::string(refusal.call) + ", " + stray.what);
      EXPECT_FALSE(refusal.run(stray.name));
      EXPECT_EQ(capture.Count(QvBrelLogging::LevelError, std::string("MsiCleanup::") + refusal.call,
                              refusal.logged + stray.name + L"'"),
                1)
          << capture.Text();
    }
  }
  EXPECT_EQ(OtherSnapshot(), before);
}

}  // namespace
