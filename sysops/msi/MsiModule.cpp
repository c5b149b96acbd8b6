// The Msi script module: Installer service start-up, related-product enumeration, uninstallation
// with its result handling, and the registration clean-up functions.
#include "sysops/msi/MsiModule.h"

#include <windows.h>
#include <msi.h>

#include "base/ChangeJournal.h"
#include "base/UniqueHandle.h"
#include "core/DelayLoadedApis.h"
#include "core/Status.h"
#include "logging/QvBrelLogging.h"
#include "script/LuaApi.h"
#include "sysops/QvService.h"
#include "sysops/msi/MsiCleanup.h"
#include "sysops/msi/MsiModuleSeam.h"

namespace MsiModuleSeam {
BootModeQuery bootMode = [] { return ::GetSystemMetrics(SM_CLEANBOOT); };
}  // namespace MsiModuleSeam

namespace {

using Lua::PushBoolean;

constexpr wchar_t kServiceName[] = L"msiserver";
constexpr wchar_t kMinimalKey[] = L"SYSTEM\\CurrentControlSet\\Control\\SafeBoot\\Minimal\\MSIServer";
constexpr wchar_t kNetworkKey[] = L"SYSTEM\\CurrentControlSet\\Control\\SafeBoot\\Network\\MSIServer";
constexpr DWORD kServiceStartTimeoutMs = 10000;
constexpr DWORD kMessageFilter = INSTALLLOGMODE_FATALEXIT | INSTALLLOGMODE_ERROR | INSTALLLOGMODE_WARNING |
                                 INSTALLLOGMODE_RESOLVESOURCE | INSTALLLOGMODE_OUTOFDISKSPACE;
static_assert(kMessageFilter == 199);

// Safe mode runs only the services registered below SafeBoot; the Installer's is not by default.
bool EnableMSIServiceIfNeeded() {
  const int bootMode = MsiModuleSeam::bootMode();
  if (bootMode != 1 && bootMode != 2) return true;
  UniqueHKey key;
  const wchar_t* const branch = bootMode == 1 ? kMinimalKey : kNetworkKey;
  const LSTATUS created = ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, branch, 0, nullptr, 0, KEY_ALL_ACCESS,
                                            nullptr, key.put(), nullptr);
  const std::wstring defaultValue;
  const std::wstring target = RegistryTarget(HKEY_LOCAL_MACHINE, branch, 0, &defaultValue);
  if (created != ERROR_SUCCESS) {
    ChangeJournal::Instance().Record(L"registry.setValue", target, ChangeResult::Failed,
                                     static_cast<DWORD>(created));
    QV_BREL_LOG(QV_ERROR, L"Failed to create key : %ld", static_cast<long>(created));
    return false;
  }
  static constexpr wchar_t kType[] = L"Service";
  const LSTATUS set =
      ::RegSetValueExW(key.get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(kType), sizeof(kType));
  ChangeJournal::Instance().RecordOutcome(L"registry.setValue", target, set == ERROR_SUCCESS,
                                          static_cast<DWORD>(set));
  if (set != ERROR_SUCCESS) {
    QV_BREL_LOG(QV_ERROR, L"Failed to set value %ld", static_cast<long>(set));
    return false;
  }
  return true;
}

// A failed start is logged but not fatal: the Installer calls then report their own errors.
// In normal boot the service's state changes nothing, so it is not asked for (every Installer call of
// a run passes here).
bool StartMSIServiceIfNeeded() {
  if (MsiModuleSeam::bootMode() == 0) return true;
  int state = -1;
  {
    QvService service(kServiceName, true);
    if (service.IsValid()) state = service.GetState();
  }
  if (state == SERVICE_RUNNING) return true;
  ChangeJournal& journal = ChangeJournal::Instance();
  if (journal.Planning()) {
    journal.Record(L"service.start", kServiceName, ChangeResult::Planned);
    return true;
  }
  if (!EnableMSIServiceIfNeeded()) return false;
  QV_BREL_LOG(QV_INFO, L"Starting msi service");
  QvService service(kServiceName, false);
  const bool started = service.IsValid() && service.Start({}, kServiceStartTimeoutMs);
  journal.RecordOutcome(L"service.start", kServiceName, started, service.LastError());
  if (!started) QV_BREL_LOG(QV_ERROR, L"Failed to start msi service");
  return true;
}

INT CALLBACK MsiMessageCallback(LPVOID /*context*/, UINT messageType, LPCWSTR message) {
  const UINT type = messageType & 0xFF000000;
  QV_BREL_LOG(QV_DEBUG, L"%x", type);
  const wchar_t* text = message != nullptr ? message : L"";
  switch (type) {
    case INSTALLMESSAGE_FATALEXIT:
      QV_BREL_LOG(QV_FATAL, L"MSI: %s", text);
      return IDOK;
    case INSTALLMESSAGE_ERROR:
      QV_BREL_LOG(QV_ERROR, L"MSI: %s", text);
      return IDOK;
    case INSTALLMESSAGE_WARNING:
      QV_BREL_LOG(QV_WARNING, L"MSI: %s", text);
      return IDOK;
    case INSTALLMESSAGE_RESOLVESOURCE:
      return IDOK;
    case INSTALLMESSAGE_OUTOFDISKSPACE:
      QV_BREL_LOG(QV_ERROR, L"MSI reports out of disk space");
      return IDABORT;
    default:
      return 0;
  }
}

}  // namespace

namespace MsiModuleSeam {
bool EnableMsiServiceIfNeeded() { return EnableMSIServiceIfNeeded(); }
bool StartMsiServiceIfNeeded() { return StartMSIServiceIfNeeded(); }
INT MessageCallback(LPVOID context, UINT messageType, LPCWSTR message) {
  return MsiMessageCallback(context, messageType, message);
}
}  // namespace MsiModuleSeam

namespace Lua::Msi {

std::vector<std::wstring> GetProductCodesFromUpgradeCode(const std::wstring& upgradeCode) {
  std::vector<std::wstring> products;
  for (DWORD index = 0;; ++index) {
    wchar_t product[39] = {};
    const UINT result = DelayLoaded::MsiEnumRelatedProductsW(upgradeCode.c_str(), 0, index, product);
    if (result != ERROR_SUCCESS) {
      if (result != ERROR_NO_MORE_ITEMS)
        QV_BREL_LOG(QV_ERROR, L"Failed to enumerate products for '%s': %u", upgradeCode.c_str(), result);
      return products;
    }
    products.emplace_back(product);
  }
}

int UninstallProduct(lua_State* state) {
  ArgCursor args(state);
  const std::wstring upgradeCode = ToWide(args.String());
  const std::optional<std::string_view> logArgument = args.OptString();
  const std::wstring logPath = logArgument ? ToWide(*logArgument) : std::wstring();
  if (!StartMSIServiceIfNeeded()) return PushBoolean(state, false);
  const std::vector<std::wstring> products = GetProductCodesFromUpgradeCode(upgradeCode);
  if (products.empty()) return PushBoolean(state, true);

  QV_BREL_LOG(QV_INFO, L"Uninstalling %Iu products from upgrade code '%s'", products.size(),
              upgradeCode.c_str());
  if (logArgument) {
    const UINT logged =
        DelayLoaded::MsiEnableLogW(INSTALLLOGMODE_VERBOSE, logPath.c_str(), INSTALLLOGATTRIBUTES_APPEND);
    if (logged != ERROR_SUCCESS)
      QV_BREL_LOG(QV_ERROR, L"Failed enabling msi log into '%s': %u", logPath.c_str(), logged);
    else
      QV_BREL_LOG(QV_INFO, L"Enabled msi log into '%s'", logPath.c_str());
  }
  DelayLoaded::MsiSetInternalUI(
      static_cast<INSTALLUILEVEL>(INSTALLUILEVEL_NONE | INSTALLUILEVEL_SOURCERESONLY), nullptr);
  DelayLoaded::MsiSetExternalUIW(MsiMessageCallback, kMessageFilter, nullptr);

  bool succeeded = true;
  ChangeJournal& journal = ChangeJournal::Instance();
  QvService::ReleaseKept();  // the Installer deletes the product's services
  for (const std::wstring& product : products) {
    // The plan runs no uninstall: it counts as failed, so the script's forced path shows.
    if (journal.Planning()) {
      journal.Record(L"msi.uninstall", product, ChangeResult::Planned);
      succeeded = false;
      continue;
    }
    const UINT result =
        DelayLoaded::MsiConfigureProductW(product.c_str(), INSTALLLEVEL_DEFAULT, INSTALLSTATE_ABSENT);
    journal.Record(L"msi.uninstall", product,
                   result == ERROR_SUCCESS ? ChangeResult::Done
                   : result == ERROR_SUCCESS_REBOOT_REQUIRED || result == ERROR_SUCCESS_REBOOT_INITIATED
                       ? ChangeResult::Scheduled
                       : ChangeResult::Failed,
                   result);
    switch (result) {
      case ERROR_SUCCESS:
        QV_BREL_LOG(QV_INFO, L"Uninstalling '%s' succeeded", product.c_str());
        break;
      // 1641: removed, and the Installer has initiated the restart itself.
      case ERROR_SUCCESS_REBOOT_REQUIRED:
      case ERROR_SUCCESS_REBOOT_INITIATED:
        QV_BREL_LOG(QV_INFO, L"Uninstalling '%s' succeeded with reboot required", product.c_str());
        Status::Instance().SetRebootNeeded(L"MSI " + std::to_wstring(result));
        break;
      default:
        QV_BREL_LOG(QV_ERROR, L"Uninstalling '%s' failed: %u", product.c_str(), result);
        succeeded = false;
        break;
    }
  }
  return PushBoolean(state, succeeded);
}

int CleanupRegistryUpgradeCode(lua_State* state) {
  ArgCursor args(state);
  return PushBoolean(state, MsiCleanup::CleanupUpgradeCode(ToWide(args.String())));
}

int CleanupRegistryProductCode(lua_State* state) {
  ArgCursor args(state);
  return PushBoolean(state, MsiCleanup::CleanupProductCode(ToWide(args.String())));
}

int CleanupRegistryProductFeature(lua_State* state) {
  ArgCursor args(state);
  return PushBoolean(state, MsiCleanup::CleanupProductBasedOnFeature(ToWide(args.String())));
}

int CleanupRegistryProductNameAndPublisher(lua_State* state) {
  ArgCursor args(state);
  const std::wstring mask = ToWide(args.String());
  const std::wstring publisher = ToWide(args.String());
  return PushBoolean(state, MsiCleanup::CleanupProductBasedOnNameAndPublisher(mask, publisher));
}

int DetectUpgradeCode(lua_State* state) {
  ArgCursor args(state);
  const std::wstring upgradeCode = ToWide(args.String());
  return PushBoolean(state,
                     StartMSIServiceIfNeeded() && !GetProductCodesFromUpgradeCode(upgradeCode).empty());
}

void Register(lua_State* state) {
  static constexpr luaL_Reg functions[] = {
      {"UninstallProduct", UninstallProduct},
      {"CleanupRegistryUpgradeCode", CleanupRegistryUpgradeCode},
      {"CleanupRegistryProductCode", CleanupRegistryProductCode},
      {"CleanupRegistryProductFeature", CleanupRegistryProductFeature},
      {"CleanupRegistryProductNameAndPublisher", CleanupRegistryProductNameAndPublisher},
      {"DetectUpgradeCode", DetectUpgradeCode},
      {nullptr, nullptr}};
  RegisterModule(state, "Msi", functions);
}

}  // namespace Lua::Msi
