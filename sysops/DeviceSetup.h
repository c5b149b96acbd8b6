// The Setup API calls the driver removal walks the present devices with, behind one small interface,
// so the walk can be exercised on device tables the test machine cannot produce.
#pragma once

#include <windows.h>

#include <string>

#include "sysops/DevInfo.h"

namespace QvDevices {

// One walk over the devices present on the local machine. Failures come back as false with the
// thread's last error set by the failing call.
class IDeviceSetup {
 public:
  enum class OpenResult { Opened, NoDevices, NoListDetail };

  virtual ~IDeviceSetup() = default;

  // Builds the list of present devices of every class.
  virtual OpenResult Open() = 0;
  // Makes the device at `index` the current one; false past the last device.
  virtual bool Select(DWORD index) = 0;
  // The current device's instance id.
  virtual bool InstanceId(std::wstring& id) = 0;
  // One read of a registry property of the current device into `buffer` (`size` bytes). `type` and
  // `bytes` (the bytes returned, or needed when the buffer is too small) are filled either way.
  virtual bool ReadProperty(DWORD property, DWORD& type, BYTE* buffer, DWORD size, DWORD& bytes) = 0;
  // Uninstalls the current device from every hardware profile (DIF_REMOVE).
  virtual bool Remove() = 0;
};

// The real walk through setupapi.dll, bound at run time through the delay-load resolver.
class SetupApiDevices final : public IDeviceSetup {
 public:
  OpenResult Open() override;
  bool Select(DWORD index) override;
  bool InstanceId(std::wstring& id) override;
  bool ReadProperty(DWORD property, DWORD& type, BYTE* buffer, DWORD size, DWORD& bytes) override;
  bool Remove() override;

 private:
  UniqueDevInfo set_;
  HANDLE machine_ = nullptr;  // the list's machine; null for the local one
  SP_DEVINFO_DATA device_{};
};

}  // namespace QvDevices
