// The device walk of the Win32Driver module: which devices go, which stay and what is logged, on
// device tables through a fake Setup API (the test machine can neither fail a removal nor read a
// device's instance id), and on the machine's own devices through the real one.
#include "sysops/Win32DriverModule.h"

#include <windows.h>
#include <cfgmgr32.h>
#include <setupapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "logging/QvBrelLogging.h"
#include "sysops/DevInfo.h"
#include "tests/support/LogCapture.h"
#include "tests/support/LuaChunk.h"

namespace {

using QvDevices::IDeviceSetup;

struct FakeDevice {
  std::wstring id;
  std::wstring manufacturer;  // empty: the device has no manufacturer property
  std::vector<std::wstring> hardwareIds;
  DWORD idError = 0;      // the instance id cannot be read
  DWORD removeError = 0;  // the removal fails
};

// Answers as setupapi.dll does, from a table; records the removals.
class FakeDevices final : public IDeviceSetup {
 public:
  explicit FakeDevices(std::vector<FakeDevice> devices, OpenResult open = OpenResult::Opened)
      : devices_(std::move(devices)), open_(open) {}

  OpenResult Open() override {
    ++opened;
    ::SetLastError(open_ == OpenResult::Opened ? ERROR_SUCCESS : ERROR_GEN_FAILURE);
    return open_;
  }
  bool Select(DWORD index) override {
    if (index >= devices_.size()) return Fail(ERROR_NO_MORE_ITEMS);
    current_ = &devices_[index];
    return true;
  }
  bool InstanceId(std::wstring& id) override {
    if (current_->idError != 0) return Fail(current_->idError);
    id = current_->id;
    return true;
  }
  bool ReadProperty(DWORD property, DWORD& type, BYTE* buffer, DWORD size, DWORD& bytes) override {
    std::wstring data;
    if (property == SPDRP_MFG && !current_->manufacturer.empty()) {
      type = REG_SZ;
      data = current_->manufacturer + L'\0';
    } else if (property == SPDRP_HARDWAREID && !current_->hardwareIds.empty()) {
      type = REG_MULTI_SZ;
      for (const std::wstring& id : current_->hardwareIds) data += id + L'\0';
      data += L'\0';
    } else {
      return Fail(ERROR_INVALID_DATA);
    }
    bytes = static_cast<DWORD>(data.size() * sizeof(wchar_t));
    if (bytes > size) return Fail(ERROR_INSUFFICIENT_BUFFER);
    std::memcpy(buffer, data.data(), bytes);
    return true;
  }
  bool Remove() override {
    if (current_->removeError != 0) return Fail(current_->removeError);
    removed.push_back(current_->id);
    return true;
  }

  int opened = 0;
  std::vector<std::wstring> removed;

 private:
  static bool Fail(DWORD error) {
    ::SetLastError(error);
    return false;
  }
  std::vector<FakeDevice> devices_;
  OpenResult open_;
  const FakeDevice* current_ = nullptr;
};

constexpr char kWalk[] = "Lua::Win32Driver::UninstallDriversWithManufacturerAndName";
constexpr char kRemoval[] = "Lua::Win32Driver::UninstallDriver";

TEST(Win32DriverModule, RemovesEveryDeviceWithTheManufacturerAndAHardwareId) {
  QvTest::LogCapture capture;
  ASSERT_TRUE(capture.Start());
  const std::wstring mfg = L"Quorvel";
  const std::wstring hwid = L"ROOT\\QvNet";
  // Longer than the first 8192-byte read: the match sits in the last characters.
  const std::wstring longMfg = std::wstring(5000, L'M') + L"Quorvel";
  std::vector<std::wstring> manyIds(600, L"PCI\\VEN_0000&DEV_0000");
  manyIds.push_back(hwid);

  struct Case {
    const char* name;
    std::vector<FakeDevice> devices;
    std::wstring manufacturer, hardwareId;
    bool result;
    std::vector<std::wstring> removed;  // every other device stays
    int errors, warnings;               // logged by the walk and the removal
    IDeviceSetup::OpenResult open = IDeviceSetup::OpenResult::Opened;
  };
  const Case cases[] = {
      {"exact and case-sensitive",
       {{L"d0", L"quorvel", {hwid}},
        {L"d1", mfg, {L"root\\qvnet"}},
        {L"d2", L"Quorvel Ltd", {hwid}},
        {L"d3", mfg, {L"PCI\\X", hwid}},
        {L"d4", L"", {hwid}}},
       mfg,
       hwid,
       true,
       {L"d3"},
       0,
       0},
      {"two matching devices",
       {{L"d0", mfg, {hwid}}, {L"d1", mfg, {L"X"}}, {L"d2", mfg, {L"A", hwid}}},
       mfg,
       hwid,
       true,
       {L"d0", L"d2"},
       0,
       0},
      {"one removal fails",
       {{L"d0", mfg, {hwid}, 0, ERROR_ACCESS_DENIED}, {L"d1", mfg, {hwid}}},
       mfg,
       hwid,
       false,
       {L"d1"},
       1,
       0},
      {"unreadable id",
       {{L"d0", mfg, {hwid}, ERROR_INVALID_DATA}, {L"d1", mfg, {hwid}}},
       mfg,
       hwid,
       true,
       {L"d1"},
       0,
       1},
      {"long properties",
       {{L"d0", longMfg, {hwid}},
        {L"d1", longMfg + L"x", {hwid}},
        {L"d2", mfg, manyIds},
        {L"d3", mfg, {L"X"}}},
       longMfg,
       hwid,
       true,
       {L"d0"},
       0,
       0},
      {"long hardware ids", {{L"d0", mfg, manyIds}, {L"d1", mfg, {L"X"}}}, mfg, hwid, true, {L"d0"}, 0, 0},
      {"no match", {{L"d0", mfg, {L"X"}}}, mfg, hwid, true, {}, 0, 0},
      {"empty manufacturer", {{L"d0", mfg, {hwid}}}, L"", hwid, false, {}, 0, 1},
      {"empty hardware id", {{L"d0", mfg, {hwid}}}, mfg, L"", false, {}, 0, 1},
      {"no device list",
       {{L"d0", mfg, {hwid}}},
       mfg,
       hwid,
       false,
       {},
       1,
       0,
       IDeviceSetup::OpenResult::NoDevices},
      {"no list detail",
       {{L"d0", mfg, {hwid}}},
       mfg,
       hwid,
       false,
       {},
       1,
       0,
       IDeviceSetup::OpenResult::NoListDetail},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeDevices devices(c.devices, c.open);
    const int errorsBefore = capture.CountAtOrAbove(QV_ERROR);
    const int warningsBefore = capture.CountAtOrAbove(QV_WARNING) - errorsBefore;
    EXPECT_EQ(
        Lua::Win32Driver::UninstallDriversWithManufacturerAndName(devices, c.manufacturer, c.hardwareId),
        c.result);
    EXPECT_EQ(devices.removed, c.removed);
    const int errors = capture.CountAtOrAbove(QV_ERROR) - errorsBefore;
    EXPECT_EQ(errors, c.errors);
    EXPECT_EQ(capture.CountAtOrAbove(QV_WARNING) - errorsBefore - errors - warningsBefore, c.warnings);
    // Empty arguments are refused before any device is listed.
    EXPECT_EQ(devices.opened, c.manufacturer.empty() || c.hardwareId.empty() ? 0 : 1);
  }

  EXPECT_EQ(capture.Count(QV_WARNING, kWalk, L"Invalid arguments for driver uninstallation"), 2);
  EXPECT_EQ(capture.Count(QV_WARNING, kWalk, L"Failed to read device id: 13"), 1);
  EXPECT_EQ(capture.Count(QV_ERROR, kRemoval, L"Failed to invoke DIF_REMOVE : 5"), 1);
  EXPECT_EQ(capture.Count(QV_INFO, kRemoval, L"Driver uninstalled succesfully"), 7);
  EXPECT_EQ(capture.Count(QV_ERROR, kWalk, L"No devices found : 31"), 1);
  EXPECT_EQ(capture.Count(QV_ERROR, kWalk, L"Couldn't get device info list : 31"), 1);
  EXPECT_EQ(capture.Count(QV_DEBUG, kWalk, L"Found matching driver, dev id : 'd3'"), 1);
  EXPECT_EQ(capture.Count(QV_DEBUG, kWalk, L"hwid : 'PCI\\X'"), 1);
  EXPECT_EQ(capture.Count(QV_DEBUG, kWalk,
                          L"Uninstalling drivers of manufacturer: 'Quorvel' having name: 'ROOT\\QvNet'"),
            8);
}

// A root-enumerated device of the test's own, registered as present and removed at the end.
class ScratchDevice {
 public:
  ScratchDevice(const std::wstring& manufacturer, const std::wstring& hardwareId) {
    // The "System" device class.
    static const GUID kSystemClass = {
        0x4d36e97d, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};
    set_.reset(::SetupDiCreateDeviceInfoList(&kSystemClass, nullptr));
    device_.cbSize = sizeof(device_);
    const std::wstring ids = hardwareId + L'\0' + L'\0';
    registered_ = set_ &&
                  ::SetupDiCreateDeviceInfoW(set_.get(), L"QvTestDevice", &kSystemClass, nullptr, nullptr,
                                             DICD_GENERATE_ID, &device_) &&
                  ::SetupDiSetDeviceRegistryPropertyW(
                      set_.get(), &device_, SPDRP_MFG, reinterpret_cast<const BYTE*>(manufacturer.c_str()),
                      static_cast<DWORD>((manufacturer.size() + 1) * sizeof(wchar_t))) &&
                  ::SetupDiSetDeviceRegistryPropertyW(set_.get(), &device_, SPDRP_HARDWAREID,
                                                      reinterpret_cast<const BYTE*>(ids.data()),
                                                      static_cast<DWORD>(ids.size() * sizeof(wchar_t))) &&
                  ::SetupDiRegisterDeviceInfo(set_.get(), &device_, 0, nullptr, nullptr, nullptr);
    wchar_t id[MAX_DEVICE_ID_LEN] = {};
    if (registered_ && ::SetupDiGetDeviceInstanceIdW(set_.get(), &device_, id, MAX_DEVICE_ID_LEN, nullptr))
      id_ = id;
  }
  ScratchDevice(const ScratchDevice&) = delete;
  ScratchDevice& operator=(const ScratchDevice&) = delete;
  ~ScratchDevice() {
    if (registered_) ::SetupDiCallClassInstaller(DIF_REMOVE, set_.get(), &device_);
  }
  const std::wstring& Id() const { return id_; }

 private:
  UniqueDevInfo set_;
  SP_DEVINFO_DATA device_{};
  bool registered_ = false;
  std::wstring id_;
};

// Instance ids of the present devices, listed without the code under test.
std::vector<std::wstring> PresentDevices() {
  std::vector<std::wstring> ids;
  UniqueDevInfo set(::SetupDiGetClassDevsW(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES | DIGCF_PRESENT));
  SP_DEVINFO_DATA device{};
  device.cbSize = sizeof(device);
  for (DWORD index = 0; set && ::SetupDiEnumDeviceInfo(set.get(), index, &device); ++index) {
    wchar_t id[MAX_DEVICE_ID_LEN] = {};
    if (::SetupDiGetDeviceInstanceIdW(set.get(), &device, id, MAX_DEVICE_ID_LEN, nullptr))
      ids.emplace_back(id);
  }
  return ids;
}

TEST(Win32DriverModule, RealDevicesStayWhenNothingMatches) {
  ScratchDevice scratch(L"QvTest Maker", L"QVTEST\\Device_1");
  ASSERT_FALSE(scratch.Id().empty());
  const std::vector<std::wstring> before = PresentDevices();
  ASSERT_NE(std::find(before.begin(), before.end(), scratch.Id()), before.end());
  QvTest::LogCapture capture;
  ASSERT_TRUE(capture.Start());
  QvTest::LuaChunk lua;
  ASSERT_TRUE(lua.Valid());
  EXPECT_EQ(
      lua.Run(
          "return Win32Driver.UninstallOemDriversByManufacturerAndName('qvtest maker', [[QVTEST\\Device_1]]),"
          "Win32Driver.UninstallOemDriversByManufacturerAndName('QvTest Maker', [[qvtest\\device_1]]),"
          "Win32Driver.UninstallOemDriversByManufacturerAndName('QvTest Maker', [[QVTEST\\Device_2]]),"
          "Win32Driver.UninstallOemDriversByManufacturerAndName('', 'x')"),
      "n:4 boolean:true boolean:true boolean:true boolean:false");
  EXPECT_EQ(PresentDevices(), before);
  // The real reads reached the device: its manufacturer matched twice and its id was compared.
  EXPECT_EQ(capture.Count(QV_DEBUG, kWalk, L"Manufacturer match"), 2);
  EXPECT_EQ(capture.Count(QV_DEBUG, kWalk, L"hwid : 'QVTEST\\Device_1'"), 2);
  EXPECT_EQ(capture.CountAtOrAbove(QV_WARNING), 1) << capture.Text();
}

}  // namespace
