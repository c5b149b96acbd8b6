// The script API's `Win32Driver` module: removes the devices of a product's own drivers by
// manufacturer and hardware id, as uninstalling a device in Device Manager does.
#pragma once

#include <string>

#include "script/Lua.h"
#include "sysops/DeviceSetup.h"

namespace Lua::Win32Driver {

// Removes every present device whose manufacturer and one of whose hardware ids equal the
// arguments exactly (case-sensitive). False (logged) for an empty argument, a device list that
// cannot be built, or any removal that failed; the other matching devices are still removed.
bool UninstallDriversWithManufacturerAndName(QvDevices::IDeviceSetup& devices,
                                             const std::wstring& manufacturer,
                                             const std::wstring& hardwareId);
// Removes the walk's current device; false (logged) when the system refused.
bool UninstallDriver(QvDevices::IDeviceSetup& devices);

// (manufacturer, hardware id) -> boolean, over the devices of this machine.
int UninstallOemDriversByManufacturerAndName(lua_State* state);

void Register(lua_State* state);

}  // namespace Lua::Win32Driver
