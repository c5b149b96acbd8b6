// The script API's Windows Installer module `Msi`: uninstalling the products of an upgrade code
// through the Installer (msi.dll, bound at first use) and scrubbing Installer registrations left
// behind (MsiCleanup). Functions that need the Installer first make sure its service runs, also in
// safe mode.
#pragma once

#include <string>
#include <vector>

#include "script/Lua.h"

namespace Lua::Msi {

// Each native returns one boolean; only arguments of the wrong type raise.
int UninstallProduct(lua_State* state);
int CleanupRegistryUpgradeCode(lua_State* state);
int CleanupRegistryProductCode(lua_State* state);
int CleanupRegistryProductFeature(lua_State* state);
int CleanupRegistryProductNameAndPublisher(lua_State* state);
int DetectUpgradeCode(lua_State* state);

// The installed products of the upgrade code in the Installer's order; an enumeration failure is
// logged and ends the list where it happened.
std::vector<std::wstring> GetProductCodesFromUpgradeCode(const std::wstring& upgradeCode);

void Register(lua_State* state);

}  // namespace Lua::Msi
