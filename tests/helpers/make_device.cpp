// Test helper: registers root-enumerated devices of the "System" class, as an installed driver
// package would leave them, for the reference machine.
//   make_device <manufacturer> <hardware id> [<service>] [<manufacturer> <hardware id> <service|->]...
// Arguments come in groups of three ("-" for no service). Prints the instance id of each device.
// Exit codes: 0 all registered, 1 bad arguments, 2 a device could not be registered.
#include <windows.h>
#include <cfgmgr32.h>
#include <setupapi.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "sysops/DevInfo.h"

namespace {

bool SetText(HDEVINFO set, SP_DEVINFO_DATA* device, DWORD property, const std::wstring& text, bool multi) {
  std::wstring data = text;
  data.push_back(L'\0');
  if (multi) data.push_back(L'\0');
  return ::SetupDiSetDeviceRegistryPropertyW(set, device, property,
                                             reinterpret_cast<const BYTE*>(data.data()),
                                             static_cast<DWORD>(data.size() * sizeof(wchar_t))) != FALSE;
}

bool Register(const wchar_t* mfg, const wchar_t* hwid, const wchar_t* service) {
  const GUID system = {0x4d36e97d, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};
  UniqueDevInfo set(::SetupDiCreateDeviceInfoList(&system, nullptr));
  if (!set) return false;
  SP_DEVINFO_DATA device{sizeof(device), {}, 0, 0};
  if (!::SetupDiCreateDeviceInfoW(set.get(), L"SYSTEM", &system, nullptr, nullptr, DICD_GENERATE_ID, &device))
    return false;
  if (!SetText(set.get(), &device, SPDRP_MFG, mfg, false) ||
      !SetText(set.get(), &device, SPDRP_HARDWAREID, hwid, true))
    return false;
  if (std::wcscmp(service, L"-") != 0 && !SetText(set.get(), &device, SPDRP_SERVICE, service, false))
    return false;
  if (!::SetupDiRegisterDeviceInfo(set.get(), &device, 0, nullptr, nullptr, nullptr)) return false;
  wchar_t id[MAX_DEVICE_ID_LEN] = {};
  ::SetupDiGetDeviceInstanceIdW(set.get(), &device, id, MAX_DEVICE_ID_LEN, nullptr);
  std::wprintf(L"%ls\n", id);
  return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 4 || (argc - 1) % 3 != 0) return 1;
  for (int i = 1; i + 2 < argc; i += 3)
    if (!Register(argv[i], argv[i + 1], argv[i + 2])) {
      std::fwprintf(stderr, L"make_device: '%ls' '%ls' failed: %lu\n", argv[i], argv[i + 1],
                    ::GetLastError());
      return 2;
    }
  return 0;
}
