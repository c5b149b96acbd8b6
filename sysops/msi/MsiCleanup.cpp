// Installer registration clean-up over the fixed location tables.
#include "sysops/msi/MsiCleanup.h"

#include <windows.h>

#include <optional>

#include "base/WildcardMask.h"
#include "logging/QvBrelLogging.h"
#include "sysops/msi/MsiGuid.h"
#include "sysops/registry/RegOps.h"

namespace {

struct Location {
  HKEY root;
  const wchar_t* path;
  REGSAM view;
};

const Location kUpgradeCodeLocations[] = {
    {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\Installer\\UpgradeCodes", KEY_WOW64_64KEY},
    {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UpgradeCodes",
     KEY_WOW64_64KEY},
    {HKEY_CLASSES_ROOT, L"Installer\\UpgradeCodes", KEY_WOW64_64KEY},
};

const Location kProductLocations[] = {
    {HKEY_CLASSES_ROOT, L"Installer\\Features", KEY_WOW64_64KEY},
    {HKEY_CLASSES_ROOT, L"Installer\\Products", KEY_WOW64_64KEY},
    {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\Installer\\Features", KEY_WOW64_64KEY},
    {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\Installer\\Products", KEY_WOW64_64KEY},
    {HKEY_LOCAL_MACHINE,
     L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\S-1-5-18\\Products",
     KEY_WOW64_64KEY},
};

const Location kUninstallLocations[] = {
    {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall", KEY_WOW64_32KEY},
    {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall", KEY_WOW64_64KEY},
};

constexpr wchar_t kMachineProducts[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\S-1-5-18\\Products";

bool Wipe(const Location& location, const std::wstring& child) {
  const std::optional<RegOps::CheckedBranch> branch = RegOps::BranchGuard::ForRemoval(
      location.root, location.view, std::wstring(location.path) + L"\\" + child);
  return branch && RegOps::RemoveBranch(*branch);
}

// The Installer names its keys and values by packed codes: 32 hexadecimal digits. Anything else
// under its keys (a stray default value, planted names) names nothing of a product.
bool IsPackedCode(const std::wstring& name) {
  if (name.size() != 32) return false;
  for (wchar_t c : name)
    if (!((c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'F') || (c >= L'a' && c <= L'f'))) return false;
  return true;
}

std::vector<std::wstring> MachineProducts() {
  return RegOps::GetSubkeys(HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, kMachineProducts);
}

std::wstring ProductKey(const std::wstring& packedProduct, const wchar_t* sub) {
  return std::wstring(kMachineProducts) + L"\\" + packedProduct + L"\\" + sub;
}

}  // namespace

namespace MsiCleanup {

bool CleanupUpgradeCode(const std::wstring& upgradeCode) {
  const std::wstring packed = MsiGuid::Pack(upgradeCode);
  if (packed.empty()) {
    QV_BREL_LOG(QV_ERROR, L"Invalid upgrade code : %s", upgradeCode.c_str());
    return false;
  }
  return CleanupTransformedUpgradeCode(packed);
}

bool CleanupProductCode(const std::wstring& productCode) {
  const std::wstring packed = MsiGuid::Pack(productCode);
  if (packed.empty()) {
    QV_BREL_LOG(QV_ERROR, L"Invalid product code : %s", productCode.c_str());
    return false;
  }
  return CleanupPackedProductCode(packed);
}

std::vector<std::wstring> FindProductsOfUpgradeCode(const std::wstring& packedUpgradeCode) {
  for (const Location& location : kUpgradeCodeLocations) {
    std::vector<std::wstring> products;
    for (std::wstring& name : RegOps::GetValueKeys(location.root, location.view,
                                                   std::wstring(location.path) + L"\\" + packedUpgradeCode)) {
      if (IsPackedCode(name))
        products.push_back(std::move(name));
      else
        QV_BREL_LOG(QV_DEBUG, L"Passing over value '%s' under upgrade code '%s': not a packed code",
                    name.c_str(), packedUpgradeCode.c_str());
    }
    if (!products.empty()) return products;
  }
  return {};
}

bool CleanupTransformedUpgradeCode(const std::wstring& packedUpgradeCode) {
  if (!IsPackedCode(packedUpgradeCode)) {
    QV_BREL_LOG(QV_ERROR, L"Invalid packed upgrade code : '%s'", packedUpgradeCode.c_str());
    return false;
  }
  for (const std::wstring& product : FindProductsOfUpgradeCode(packedUpgradeCode)) {
    QV_BREL_LOG(QV_DEBUG, L"Removing product '%s', based on upgrade code '%s'", product.c_str(),
                packedUpgradeCode.c_str());
    CleanupPackedProductCode(product);
  }
  bool removed = true;
  for (const Location& location : kUpgradeCodeLocations)
    removed = Wipe(location, packedUpgradeCode) && removed;
  return removed;
}

bool CleanupPackedProductCode(const std::wstring& packedProductCode) {
  if (!IsPackedCode(packedProductCode)) {
    QV_BREL_LOG(QV_ERROR, L"Invalid packed product code : '%s'", packedProductCode.c_str());
    return false;
  }
  bool removed = true;
  for (const Location& location : kProductLocations) removed = Wipe(location, packedProductCode) && removed;
  removed = RemoveProductFromComponents(ComponentsKey, packedProductCode) && removed;
  const std::wstring guid = MsiGuid::Unpack(packedProductCode);
  if (!guid.empty())
    for (const Location& location : kUninstallLocations) removed = Wipe(location, guid) && removed;
  return removed;
}

bool RemoveProductFromComponents(const std::wstring& componentsKey, const std::wstring& packedProductCode) {
  if (!IsPackedCode(packedProductCode)) {
    QV_BREL_LOG(QV_ERROR, L"Invalid packed product code : '%s'", packedProductCode.c_str());
    return false;
  }
  const std::optional<RegOps::CheckedBranch> components =
      RegOps::BranchGuard::ForRemoval(HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, componentsKey);
  std::vector<RegOps::CheckedBranch> componentKeys;
  if (!components || !RegOps::BranchGuard::SubBranches(*components, componentKeys)) return false;
  bool removed = true;
  for (const RegOps::CheckedBranch& component : componentKeys) {
    const std::vector<std::wstring> users =
        RegOps::GetValueKeys(HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, component.Text());
    for (const std::wstring& user : users) {
      if (!MsiGuid::SamePacked(user, packedProductCode)) continue;
      removed =
          (users.size() == 1 ? RegOps::RemoveBranch(component) : RegOps::DeleteValue(component, user)) &&
          removed;
    }
  }
  return removed;
}

bool CleanupProductBasedOnFeature(const std::wstring& feature) {
  if (feature.empty()) return false;
  for (const std::wstring& product : MachineProducts()) {
    for (const std::wstring& name :
         RegOps::GetValueKeys(HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, ProductKey(product, L"Features"))) {
      if (name != feature) continue;
      QV_BREL_LOG(QV_INFO, L"Resolved feature '%s' to product code '%s'", feature.c_str(), product.c_str());
      return CleanupPackedProductCode(product);
    }
  }
  return true;
}

bool CleanupProductBasedOnNameAndPublisher(const std::wstring& nameMask, const std::wstring& publisher) {
  for (const std::wstring& product : MachineProducts()) {
    const std::wstring properties = ProductKey(product, L"InstallProperties");
    const std::wstring name =
        RegOps::GetString(HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, properties, L"DisplayName");
    if (RegOps::GetString(HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, properties, L"Publisher") != publisher ||
        !QvText::MatchesMask(nameMask, name))
      continue;
    QV_BREL_LOG(QV_INFO, L"Resolved name '%s', publisher '%s' to product code '%s' with name '%s'",
                nameMask.c_str(), publisher.c_str(), product.c_str(), name.c_str());
    return CleanupPackedProductCode(product);
  }
  return true;
}

}  // namespace MsiCleanup
