// The Win32Driver module: the walk over the present devices and the removal of the matching ones.
#include "sysops/Win32DriverModule.h"

#include <windows.h>
#include <setupapi.h>

#include <algorithm>
#include <vector>

#include "base/ChangeJournal.h"
#include "logging/QvBrelLogging.h"
#include "script/LuaApi.h"
#include "sysops/QvService.h"

namespace {

constexpr DWORD kFirstPropertyBytes = 8192;

// The property's bytes as UTF-16 text; empty when it cannot be read. A buffer too small for the
// value is grown to the size the system asks for, as long as the value has the expected type.
std::wstring ReadProperty(QvDevices::IDeviceSetup& devices, DWORD property, DWORD expectedType) {
  std::vector<BYTE> buffer(kFirstPropertyBytes);
  for (;;) {
    DWORD type = REG_NONE;
    DWORD bytes = 0;
    if (devices.ReadProperty(property, type, buffer.data(), static_cast<DWORD>(buffer.size()), bytes)) {
      bytes = std::min<DWORD>(bytes, static_cast<DWORD>(buffer.size()));
      return std::wstring(reinterpret_cast<const wchar_t*>(buffer.data()), bytes / sizeof(wchar_t));
    }
    // A size that does not grow would ask for the same read forever.
    if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER || type != expectedType || bytes <= buffer.size())
      return {};
    buffer.resize(bytes);
  }
}

// REG_SZ data up to its terminator.
std::wstring TextOf(const std::wstring& data) { return data.substr(0, data.find(L'\0')); }

// Every non-empty string of REG_MULTI_SZ data, in order.
std::vector<std::wstring> StringsOf(const std::wstring& data) {
  std::vector<std::wstring> strings;
  size_t begin = 0;
  while (begin <= data.size()) {
    size_t end = data.find(L'\0', begin);
    if (end == std::wstring::npos) end = data.size();
    if (end > begin) strings.push_back(data.substr(begin, end - begin));
    begin = end + 1;
  }
  return strings;
}

}  // namespace

namespace Lua::Win32Driver {

bool UninstallDriver(QvDevices::IDeviceSetup& devices) {
  QvService::ReleaseKept();  // the removal may delete the driver's service
  if (!devices.Remove()) {
    QV_BREL_LOG(QV_ERROR, L"Failed to invoke DIF_REMOVE : %lu", ::GetLastError());
    return false;
  }
  QV_BREL_LOG(QV_INFO, L"Driver uninstalled succesfully");
  return true;
}

bool UninstallDriversWithManufacturerAndName(QvDevices::IDeviceSetup& devices,
                                             const std::wstring& manufacturer,
                                             const std::wstring& hardwareId) {
  if (manufacturer.empty() || hardwareId.empty()) {
    QV_BREL_LOG(QV_WARNING, L"Invalid arguments for driver uninstallation");
    return false;
  }
  QV_BREL_LOG(QV_DEBUG, L"Uninstalling drivers of manufacturer: '%s' having name: '%s'", manufacturer.c_str(),
              hardwareId.c_str());
  switch (devices.Open()) {
    case QvDevices::IDeviceSetup::OpenResult::NoDevices:
      QV_BREL_LOG(QV_ERROR, L"No devices found : %lu", ::GetLastError());
      return false;
    case QvDevices::IDeviceSetup::OpenResult::NoListDetail:
      QV_BREL_LOG(QV_ERROR, L"Couldn't get device info list : %lu", ::GetLastError());
      return false;
    case QvDevices::IDeviceSetup::OpenResult::Opened:
      break;
  }
  bool result = true;
  for (DWORD index = 0; devices.Select(index); ++index) {
    std::wstring id;
    if (!devices.InstanceId(id)) {
      QV_BREL_LOG(QV_WARNING, L"Failed to read device id: %lu", ::GetLastError());
      continue;
    }
    if (TextOf(ReadProperty(devices, SPDRP_MFG, REG_SZ)) != manufacturer) continue;
    QV_BREL_LOG(QV_DEBUG, L"Manufacturer match");
    for (const std::wstring& candidate : StringsOf(ReadProperty(devices, SPDRP_HARDWAREID, REG_MULTI_SZ))) {
      QV_BREL_LOG(QV_DEBUG, L"hwid : '%s'", candidate.c_str());
      if (candidate != hardwareId) continue;
      QV_BREL_LOG(QV_DEBUG, L"Found matching driver, dev id : '%s'", id.c_str());
      ChangeJournal& journal = ChangeJournal::Instance();
      if (journal.Planning()) {
        journal.Record(L"device.remove", id, ChangeResult::Planned);
        break;
      }
      const bool removed = UninstallDriver(devices);
      journal.RecordOutcome(L"device.remove", id, removed, ::GetLastError());
      if (!removed) result = false;
      break;
    }
  }
  return result;
}

int UninstallOemDriversByManufacturerAndName(lua_State* state) {
  ArgCursor args(state);
  const std::wstring manufacturer = ToWide(args.String());
  const std::wstring hardwareId = ToWide(args.String());
  QvDevices::SetupApiDevices devices;
  lua_pushboolean(state, UninstallDriversWithManufacturerAndName(devices, manufacturer, hardwareId) ? 1 : 0);
  return 1;
}

void Register(lua_State* state) {
  static constexpr luaL_Reg functions[] = {
      {"UninstallOemDriversByManufacturerAndName", UninstallOemDriversByManufacturerAndName},
      {nullptr, nullptr}};
  RegisterModule(state, "Win32Driver", functions);
}

}  // namespace Lua::Win32Driver
