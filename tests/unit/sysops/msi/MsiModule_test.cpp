// The Msi module's own steps: the Installer service in safe mode (the boot mode through the seam,
// the registry and the service for real), the external UI handler's answers and log lines, and the
// enumeration of an upgrade code the Installer refuses.
#include "sysops/msi/MsiModule.h"

#include <windows.h>
#include <msi.h>

#include <gtest/gtest.h>

#include <string>

#include "base/Utf8.h"
#include "app/ScriptApi.h"
#include "script/LuaApi.h"
#include "sysops/QvService.h"
#include "sysops/msi/MsiModuleSeam.h"
#include "tests/support/LogCapture.h"
#include "tests/support/MsiRegistration.h"
#include "tests/support/ScratchKey.h"
#include "tests/support/SeamOverride.h"

namespace {

constexpr wchar_t kSafeBoot[] = L"SYSTEM\\CurrentControlSet\\Control\\SafeBoot\\";

int g_bootMode = 0;

// Asks the Installer service to stop and waits until it has.
bool StopInstallerService() {
  UniqueServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
  UniqueServiceHandle service(manager ? ::OpenServiceW(manager.get(), L"msiserver", SERVICE_ALL_ACCESS)
                                      : nullptr);
  if (!service) return false;
  SERVICE_STATUS status = {};
  ::ControlService(service.get(), SERVICE_CONTROL_STOP, &status);
  for (int i = 0; i < 100; ++i) {
    if (::QueryServiceStatus(service.get(), &status) && status.dwCurrentState == SERVICE_STOPPED) return true;
    ::Sleep(100);
  }
  return false;
}

int InstallerServiceState() {
  QvService service(L"msiserver", true);
  return service.IsValid() ? service.GetState() : -1;
}

// The default value of SafeBoot\<mode>\MSIServer: type and bytes, or type 0 when the key is missing.
std::pair<DWORD, std::wstring> SafeBootEntry(const wchar_t* mode) {
  UniqueHKey key = QvTest::OpenMachineKey(std::wstring(kSafeBoot) + mode + L"\\MSIServer", 0);
  if (!key) return {0, L""};
  wchar_t data[32] = {};
  DWORD type = 0, size = sizeof(data);
  ::RegQueryValueExW(key.get(), nullptr, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
  return {type, std::wstring(data, size / sizeof(wchar_t))};
}

TEST(MsiModuleTest, SafeModeRegistersAndStartsTheInstallerService) {
  const std::wstring minimal = std::wstring(kSafeBoot) + L"Minimal\\MSIServer";
  const std::wstring network = std::wstring(kSafeBoot) + L"Network\\MSIServer";
  ASSERT_FALSE(QvTest::MachineKeyExists(minimal, 0));
  ASSERT_FALSE(QvTest::MachineKeyExists(network, 0));
  const QvTest::SeamOverride<MsiModuleSeam::BootModeQuery> bootMode(MsiModuleSeam::bootMode,
                                                                    [] { return g_bootMode; });
  // Whatever assertion ends the test, no SafeBoot registration and no running Installer stay.
  const ScopeExit cleanUp([&] {
    QvTest::DeleteMachineTree(minimal, 0);
    QvTest::DeleteMachineTree(network, 0);
    StopInstallerService();
  });
  const struct {
    int bootMode;
    bool runningBefore;
    const wchar_t* written;  // SafeBoot\<mode> that gets the registration, or null
  } cases[] = {
      {1, false, L"Minimal"},
      {2, false, L"Network"},
      {0, false, nullptr},
      // A running service is left as it is.
      {1, true, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "boot mode " << c.bootMode << (c.runningBefore ? ", running" : ""));
    ASSERT_TRUE(StopInstallerService());
    if (c.runningBefore) {
      QvService service(L"msiserver", false);
      ASSERT_TRUE(service.Start({}, 10000));
    }
    g_bootMode = c.bootMode;
    QvTest::LogCapture capture;
    ASSERT_TRUE(capture.Start());
    EXPECT_TRUE(MsiModuleSeam::StartMsiServiceIfNeeded());
    const bool starts = c.written != nullptr;
    EXPECT_EQ(capture.Count(QvBrelLogging::LevelInfo, "::StartMSIServiceIfNeeded", L"Starting msi service"),
              starts ? 1 : 0);
    EXPECT_EQ(capture.CountAtOrAbove(QvBrelLogging::LevelWarning), 0) << capture.Text();
    for (const wchar_t* mode : {L"Minimal", L"Network"}) {
      const auto entry = SafeBootEntry(mode);
      if (starts && std::wstring(mode) == c.written) {
        EXPECT_EQ(entry.first, static_cast<DWORD>(REG_SZ));
        EXPECT_EQ(entry.second, std::wstring(L"Service", 8));  // 16 bytes, the terminator included
      } else {
        EXPECT_EQ(entry.first, 0u) << QvText::ToUtf8(mode);
      }
    }
    EXPECT_EQ(InstallerServiceState(), starts || c.runningBefore ? SERVICE_RUNNING : SERVICE_STOPPED);
    QvTest::DeleteMachineTree(minimal, 0);
    QvTest::DeleteMachineTree(network, 0);
  }
  EXPECT_TRUE(StopInstallerService());
}

TEST(MsiModuleTest, MessageCallbackAnswersByMessageType) {
  const struct {
    UINT type;
    INT answer;
    int level;  // of the message's own line; 0 for none
    const wchar_t* line;
  } cases[] = {
      {INSTALLMESSAGE_FATALEXIT, IDOK, QvBrelLogging::LevelFatal, L"MSI: text"},
      {INSTALLMESSAGE_ERROR | MB_ICONERROR | MB_OK, IDOK, QvBrelLogging::LevelError, L"MSI: text"},
      {INSTALLMESSAGE_WARNING, IDOK, QvBrelLogging::LevelWarning, L"MSI: text"},
      {INSTALLMESSAGE_RESOLVESOURCE, IDOK, 0, nullptr},
      {INSTALLMESSAGE_OUTOFDISKSPACE, IDABORT, QvBrelLogging::LevelError, L"MSI reports out of disk space"},
      {INSTALLMESSAGE_INFO, 0, 0, nullptr},
      {INSTALLMESSAGE_PROGRESS, 0, 0, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.type);
    QvTest::LogCapture capture;
    ASSERT_TRUE(capture.Start());
    EXPECT_EQ(MsiModuleSeam::MessageCallback(nullptr, c.type, L"text"), c.answer);
    wchar_t type[16];
    std::swprintf(type, 16, L"%x", c.type & 0xFF000000);
    EXPECT_EQ(capture.Count(QvBrelLogging::LevelDebug, "::MsiMessageCallback", type), 1) << capture.Text();
    const auto records = capture.Records();
    EXPECT_EQ(records.size(), c.line != nullptr ? 2u : 1u) << capture.Text();
    if (c.line != nullptr) {
      EXPECT_EQ(capture.Count(c.level, "::MsiMessageCallback", c.line), 1) << capture.Text();
    }
  }
}

TEST(MsiModuleTest, UpgradeCodesWithoutProductsUninstallNothing) {
  // The Installer refuses to enumerate a registration whose value name is no packed code (234,
  // more data); a code that is no GUID at all it treats as unknown (tests/WINE.md).
  const std::wstring damaged = QvTest::NewGuid();
  const std::wstring damagedKey =
      std::wstring(QvTest::kInstallerMachine) + L"\\UpgradeCodes\\" + MsiGuid::Pack(damaged);
  ASSERT_TRUE(QvTest::ImportRegText(L"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\" +
                                    damagedKey + L"]\r\n\"" + std::wstring(40, L'7') + L"\"=\"\"\r\n"));
  lua_State* state = luaL_newstate();
  ASSERT_NE(state, nullptr);
  luaL_openlibs(state);
  Lua::RegisterScriptApi(state);
  const std::string unknown = QvText::ToUtf8(QvTest::NewGuid());
  QvTest::LogCapture capture;
  ASSERT_TRUE(capture.Start());
  const struct {
    std::string call;
    const char* result;
  } cases[] = {
      {"Msi.UninstallProduct('" + QvText::ToUtf8(damaged) + "', 'C:\\\\never.log')", "true"},
      {"Msi.DetectUpgradeCode('" + QvText::ToUtf8(damaged) + "')", "false"},
      {"Msi.UninstallProduct('" + unknown + "')", "true"},
      {"Msi.DetectUpgradeCode('" + unknown + "')", "false"},
      {"Msi.UninstallProduct('not-a-code')", "true"},
      {"Msi.DetectUpgradeCode('not-a-code')", "false"},
      {"Msi.UninstallProduct()", "bad argument #1 to 'UninstallProduct' (string expected, got no value)"},
      {"Msi.UninstallProduct('" + unknown + "', {})",
       "bad argument #2 to 'UninstallProduct' (string expected, got table)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.call);
    std::string result;
    if (luaL_dostring(state, ("return " + c.call).c_str()) != LUA_OK)
      result = lua_tostring(state, -1);
    else
      result = lua_isboolean(state, -1) ? (lua_toboolean(state, -1) ? "true" : "false") : "?";
    lua_settop(state, 0);
    EXPECT_NE(result.find(c.result), std::string::npos) << result;
  }
  lua_close(state);
  QvTest::DeleteMachineTree(damagedKey, KEY_WOW64_64KEY);
  // The failure is logged once per call with the Installer's result; nothing was uninstalled and
  // no Installer log was asked for.
  EXPECT_EQ(capture.Count(QvBrelLogging::LevelError, "Lua::Msi::GetProductCodesFromUpgradeCode",
                          L"Failed to enumerate products for '" + damaged + L"': 234"),
            2)
      << capture.Text();
  EXPECT_EQ(capture.CountAtOrAbove(QvBrelLogging::LevelWarning), 2) << capture.Text();
  EXPECT_EQ(capture.Count("Uninstalling"), 0u);
  EXPECT_EQ(capture.Count("msi log"), 0u);
}

}  // namespace
