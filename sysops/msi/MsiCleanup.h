// Removal of a product's Windows Installer registration straight from the registry, for products
// whose own uninstallation cannot run: the product, feature, component and upgrade-code
// registrations and the uninstall-list entry. Never calls the Installer; every deletion goes
// through RegOps, which logs its failures. Keys that do not exist count as removed, so a second
// clean-up succeeds.
#pragma once

#include <string>
#include <vector>

namespace MsiCleanup {

// The per-machine component registrations (HKLM, 64-bit view).
inline constexpr wchar_t ComponentsKey[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\S-1-5-18\\Components";

// Codes in registry form ("{...}"); an invalid one is logged and gives false with nothing touched.
bool CleanupUpgradeCode(const std::wstring& upgradeCode);
bool CleanupProductCode(const std::wstring& productCode);
// The products registered below the packed upgrade code, then the upgrade code's own keys; false
// when one of the upgrade-code keys stays (the products' results do not count).
bool CleanupTransformedUpgradeCode(const std::wstring& packedUpgradeCode);
// Every product location, the product's component values and its uninstall-list entries; all are
// attempted, false when any of them stays.
bool CleanupPackedProductCode(const std::wstring& packedProductCode);
// The first per-machine product with this feature (exact case); true when none has it.
bool CleanupProductBasedOnFeature(const std::wstring& feature);
// The first per-machine product whose publisher equals `publisher` and whose display name matches
// `nameMask` ("*", "?", case-sensitive); true when none does.
bool CleanupProductBasedOnNameAndPublisher(const std::wstring& nameMask, const std::wstring& publisher);
// The packed product codes of the first upgrade-code location that lists any.
std::vector<std::wstring> FindProductsOfUpgradeCode(const std::wstring& packedUpgradeCode);
// Drops the product's value from every component below `componentsKey` (HKLM, 64-bit view),
// deleting a component that only this product used. Value names compare without regard to case.
bool RemoveProductFromComponents(const std::wstring& componentsKey, const std::wstring& packedProductCode);

}  // namespace MsiCleanup
