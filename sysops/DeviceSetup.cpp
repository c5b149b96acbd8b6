// The Setup API behind the device walk. setupapi.dll is not a KnownDLL, so nothing here is imported:
// every function is bound by name through the delay-load resolver.
#include "sysops/DeviceSetup.h"

#include <cfgmgr32.h>

#include "core/DelayLoad.h"

namespace {

// A setupapi.dll function bound on first use, or the error that kept it from being bound (set as
// the last error again on every later call).
template <typename Function>
struct Binding {
  Function function = nullptr;
  DWORD error = ERROR_SUCCESS;
  bool Ready() const {
    if (function == nullptr) ::SetLastError(error);
    return function != nullptr;
  }
};

template <typename Function>
Binding<Function> Bind(const char* name) {
  Binding<Function> binding;
  binding.function =
      reinterpret_cast<Function>(reinterpret_cast<void*>(BrelDelayLoad::GetFunction("setupapi.dll", name)));
  if (binding.function == nullptr) {
    binding.error = ::GetLastError();
    if (binding.error == ERROR_SUCCESS) binding.error = ERROR_PROC_NOT_FOUND;
  }
  return binding;
}

#define QV_BIND_SETUPAPI(name) static const auto api##name = Bind<decltype(&::name)>(#name)

constexpr ULONG kDeviceIdChars = 200;

}  // namespace

namespace QvDevices {

IDeviceSetup::OpenResult SetupApiDevices::Open() {
  QV_BIND_SETUPAPI(SetupDiGetClassDevsExW);
  QV_BIND_SETUPAPI(SetupDiGetDeviceInfoListDetailW);
  if (!apiSetupDiGetClassDevsExW.Ready()) return OpenResult::NoDevices;
  set_.reset(apiSetupDiGetClassDevsExW.function(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES | DIGCF_PRESENT,
                                                nullptr, nullptr, nullptr));
  if (!set_) return OpenResult::NoDevices;
  SP_DEVINFO_LIST_DETAIL_DATA_W detail{};
  detail.cbSize = sizeof(detail);
  if (!apiSetupDiGetDeviceInfoListDetailW.Ready() ||
      !apiSetupDiGetDeviceInfoListDetailW.function(set_.get(), &detail))
    return OpenResult::NoListDetail;
  machine_ = detail.RemoteMachineHandle;
  return OpenResult::Opened;
}

bool SetupApiDevices::Select(DWORD index) {
  QV_BIND_SETUPAPI(SetupDiEnumDeviceInfo);
  if (!set_ || !apiSetupDiEnumDeviceInfo.Ready()) return false;
  device_ = SP_DEVINFO_DATA{};
  device_.cbSize = sizeof(device_);
  return apiSetupDiEnumDeviceInfo.function(set_.get(), index, &device_) != FALSE;
}

bool SetupApiDevices::InstanceId(std::wstring& id) {
  QV_BIND_SETUPAPI(CM_Get_Device_ID_ExW);
  if (!apiCM_Get_Device_ID_ExW.Ready()) return false;
  // Cleared first: some implementations report success without writing anything.
  wchar_t buffer[kDeviceIdChars] = {};
  if (apiCM_Get_Device_ID_ExW.function(device_.DevInst, buffer, kDeviceIdChars, 0, machine_) != CR_SUCCESS)
    return false;
  id.assign(buffer, ::wcsnlen(buffer, kDeviceIdChars));
  return true;
}

bool SetupApiDevices::ReadProperty(DWORD property, DWORD& type, BYTE* buffer, DWORD size, DWORD& bytes) {
  QV_BIND_SETUPAPI(SetupDiGetDeviceRegistryPropertyW);
  if (!apiSetupDiGetDeviceRegistryPropertyW.Ready()) return false;
  type = REG_NONE;
  bytes = 0;
  return apiSetupDiGetDeviceRegistryPropertyW.function(set_.get(), &device_, property, &type, buffer, size,
                                                       &bytes) != FALSE;
}

bool SetupApiDevices::Remove() {
  QV_BIND_SETUPAPI(SetupDiSetClassInstallParamsW);
  QV_BIND_SETUPAPI(SetupDiCallClassInstaller);
  if (!apiSetupDiSetClassInstallParamsW.Ready() || !apiSetupDiCallClassInstaller.Ready()) return false;
  SP_REMOVEDEVICE_PARAMS params{};
  params.ClassInstallHeader.cbSize = sizeof(SP_CLASSINSTALL_HEADER);
  params.ClassInstallHeader.InstallFunction = DIF_REMOVE;
  params.Scope = DI_REMOVEDEVICE_GLOBAL;
  params.HwProfile = 0;
  // Cleared first, so a refusal that sets no error is not logged with an older one.
  ::SetLastError(ERROR_SUCCESS);
  if (!apiSetupDiSetClassInstallParamsW.function(set_.get(), &device_, &params.ClassInstallHeader,
                                                 sizeof(params)))
    return false;
  return apiSetupDiCallClassInstaller.function(DIF_REMOVE, set_.get(), &device_) != FALSE;
}

}  // namespace QvDevices
