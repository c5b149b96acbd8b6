// The device walk of the Win32Driver module: which devices go, which stay and what is logged, on
// device tables through a fake Setup API (the test machine can neither fail a removal nor read an
// instance id), and on the machine's own devices through the real one.
#include "sysops/Win32DriverModule.h"

#include <windows.h>
#include <cfgmgr32.h>
#include <setupapi.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "logging/QvBrelLogging.h"
#include "tests/support/LogCapture.h"
#include "tests/support/LuaChunk.h"

namespace {

using OpenResult = QvDevices::IDeviceSetup::OpenResult;

struct FakeDevice {
  std::wstring id, manufacturer;  // an empty manufacturer: the device has none
  std::vector<std::wstring> hardwareIds;
  DWORD idError = 0, removeError = 0;
};

// Answers as setupapi.dll does, from a table; records the removals.
class FakeDevices final : public QvDevices::IDeviceSetup {
 public:
  FakeDevices(std::vector<FakeDevice> devices, OpenResult open) : devices_(std::move(devices)), open_(open) {}
  OpenResult Open() override {
    ++opened;
    ::SetLastError(open_ == OpenResult::Opened ? ERROR_SUCCESS : ERROR_GEN_FAILURE);
    return open_;
  }
  bool Select(DWORD index) override {
    device_ = index < devices_.size() ? &devices_[index] : nullptr;
    return device_ != nullptr || Fail(ERROR_NO_MORE_ITEMS);
  }
  bool InstanceId(std::wstring& id) override {
    if (device_->idError != 0) return Fail(device_->idError);
    id = device_->id;
    return true;
  }
  bool ReadProperty(DWORD property, DWORD& type, BYTE* buffer, DWORD size, DWORD& bytes) override {
    std::wstring data;
    if (property == SPDRP_MFG && !device_->manufacturer.empty()) data = device_->manufacturer + L'\0';
    if (property == SPDRP_HARDWAREID && !device_->hardwareIds.empty()) {
      for (const std::wstring& id : device_->hardwareIds) data += id + L'\0';
      data += L'\0';
    }
    type = property == SPDRP_MFG ? REG_SZ : REG_MULTI_SZ;
    bytes = static_cast<DWORD>(data.size() * sizeof(wchar_t));
    if (data.empty() || bytes > size)
      return Fail(data.empty() ? ERROR_INVALID_DATA : ERROR_INSUFFICIENT_BUFFER);
    std::memcpy(buffer, data.data(), bytes);
    return true;
  }
  bool Remove() override {
    if (device_->removeError != 0) return Fail(device_->removeError);
    removed.push_back(device_->id);
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
  const FakeDevice* device_ = nullptr;
};

constexpr char kWalk[] = "Lua::Win32Driver::UninstallDriversWithManufacturerAndName";
constexpr char kRemoval[] = "Lua::Win32Driver::UninstallDriver";

TEST(Win32DriverModule, RemovesEveryDeviceWithTheManufacturerAndAHardwareId) {
  QvTest::LogCapture capture;
  ASSERT_TRUE(capture.Start());
  const std::wstring mfg = L"Quorvel", hwid = L"ROOT\\QvNet";
  // Longer than the first 8192-byte read, the match in the last characters.
  const std::wstring longMfg = std::wstring(5000, L'M') + mfg;
  std::vector<std::wstring> manyIds(600, L"PCI\\VEN_0000&DEV_0000");
  manyIds.push_back(hwid);
  const struct {
    const char* name;
    std::vector<FakeDevice> devices;
    std::wstring manufacturer, hardwareId;
    bool result;
    std::vector<std::wstring> removed;  // every other device stays
    OpenResult open = OpenResult::Opened;
  } cases[] = {
      {"exact and case-sensitive",
       {{L"d0", L"quorvel", {hwid}},
        {L"d1", mfg, {L"root\\qvnet"}},
        {L"d2", L"Quorvel Ltd", {hwid}},
        {L"d3", mfg, {L"PCI\\X", hwid}},
        {L"d4", L"", {hwid}}},
       mfg,
       hwid,
       true,
       {L"d3"}},
      {"two matching",
       {{L"d0", mfg, {hwid}}, {L"d1", mfg, {L"X"}}, {L"d2", mfg, {hwid}}},
       mfg,
       hwid,
       true,
       {L"d0", L"d2"}},
      {"one removal fails",
       {{L"d0", mfg, {hwid}, 0, ERROR_ACCESS_DENIED}, {L"d1", mfg, {hwid}}},
       mfg,
       hwid,
       false,
       {L"d1"}},
      {"unreadable id",
       {{L"d0", mfg, {hwid}, ERROR_INVALID_DATA}, {L"d1", mfg, {hwid}}},
       mfg,
       hwid,
       true,
       {L"d1"}},
      {"long manufacturer",
       {{L"d0", longMfg, {hwid}}, {L"d1", longMfg + L"x", {hwid}}},
       longMfg,
       hwid,
       true,
       {L"d0"}},
      {"long hardware ids", {{L"d0", mfg, manyIds}, {L"d1", mfg, {L"X"}}}, mfg, hwid, true, {L"d0"}},
      {"empty manufacturer", {{L"d0", mfg, {hwid}}}, L"", hwid, false, {}},
      {"empty hardware id", {{L"d0", mfg, {hwid}}}, mfg, L"", false, {}},
      {"no device list", {{L"d0", mfg, {hwid}}}, mfg, hwid, false, {}, OpenResult::NoDevices},
      {"no list detail", {{L"d0", mfg, {hwid}}}, mfg, hwid, false, {}, OpenResult::NoListDetail},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FakeDevices devices(c.devices, c.open);
    EXPECT_EQ(
        Lua::Win32Driver::UninstallDriversWithManufacturerAndName(devices, c.manufacturer, c.hardwareId),
        c.result);
    EXPECT_EQ(devices.removed, c.removed);
    EXPECT_EQ(devices.opened, c.manufacturer.empty() || c.hardwareId.empty() ? 0 : 1);
  }
  EXPECT_EQ(capture.Count(QV_WARNING, kWalk, L"Invalid arguments for driver uninstallation"), 2);
  EXPECT_EQ(capture.Count(QV_WARNING, kWalk, L"Failed to read device id: 13"), 1);
  EXPECT_EQ(capture.Count(QV_ERROR, kRemoval, L"Failed to invoke DIF_REMOVE : 5"), 1);
  EXPECT_EQ(capture.Count(QV_INFO, kRemoval, L"Driver uninstalled succesfully"), 7);
  EXPECT_EQ(capture.Count(QV_ERROR, kWalk, L"No devices found : 31"), 1);
  EXPECT_EQ(capture.Count(QV_ERROR, kWalk, L"Couldn't get device info list : 31"), 1);
  EXPECT_EQ(capture.Count(QV_DEBUG, kWalk, L"Found matching driver, dev id : 'd3'"), 1);
  EXPECT_EQ(capture.CountAtOrAbove(QV_WARNING), 6) << capture.Text();
}

// Instance ids of the present devices, listed without the code under test.
std::vector<std::wstring> PresentDevices() {
  std::vector<std::wstring> ids;
  UniqueDevInfo set(::SetupDiGetClassDevsW(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES | DIGCF_PRESENT));
  SP_DEVINFO_DATA device{sizeof(device), {}, 0, 0};
  wchar_t id[MAX_DEVICE_ID_LEN];
  for (DWORD i = 0; set && ::SetupDiEnumDeviceInfo(set.get(), i, &device); ++i)
    if (::SetupDiGetDeviceInstanceIdW(set.get(), &device, id, MAX_DEVICE_ID_LEN, nullptr))
      ids.emplace_back(id);
  return ids;
}

TEST(Win32DriverModule, RealDevicesStayWhenNothingMatches) {
  // A root-enumerated device of the test's own in the "System" class, registered as present.
  const GUID system = {0x4d36e97d, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};
  UniqueDevInfo set(::SetupDiCreateDeviceInfoList(&system, nullptr));
  SP_DEVINFO_DATA device{sizeof(device), {}, 0, 0};
  const wchar_t mfg[] = L"QvTest Maker", hwids[] = L"QVTEST\\Device_1\0";
  ASSERT_TRUE(::SetupDiCreateDeviceInfoW(set.get(), L"QvTestDevice", &system, nullptr, nullptr,
                                         DICD_GENERATE_ID, &device));
  ASSERT_TRUE(::SetupDiSetDeviceRegistryPropertyW(set.get(), &device, SPDRP_MFG,
                                                  reinterpret_cast<const BYTE*>(mfg), sizeof(mfg)));
  ASSERT_TRUE(::SetupDiSetDeviceRegistryPropertyW(set.get(), &device, SPDRP_HARDWAREID,
                                                  reinterpret_cast<const BYTE*>(hwids), sizeof(hwids)));
  ASSERT_TRUE(::SetupDiRegisterDeviceInfo(set.get(), &device, 0, nullptr, nullptr, nullptr));
  const ScopeExit removeDevice([&] { ::SetupDiCallClassInstaller(DIF_REMOVE, set.get(), &device); });
  const std::vector<std::wstring> before = PresentDevices();
  ASSERT_GT(before.size(), 1u);
  QvTest::LogCapture capture;
  ASSERT_TRUE(capture.Start());
  QvTest::LuaChunk lua;
  ASSERT_TRUE(lua.Valid());
  EXPECT_EQ(
      lua.Run("local f = Win32Driver.UninstallOemDriversByManufacturerAndName "
              "return f('qvtest maker', [[QVTEST\\Device_1]]), f('QvTest Maker', [[qvtest\\device_1]]), "
              "f('QvTest Maker', [[QVTEST\\Device_2]])"),
      "n:3 boolean:true boolean:true boolean:true");
  EXPECT_EQ(PresentDevices(), before);
  // The real reads reached the device: its manufacturer matched twice and its hardware id was compared.
  EXPECT_EQ(capture.Count(QV_DEBUG, kWalk, L"Manufacturer match"), 2);
  EXPECT_EQ(capture.Count(QV_DEBUG, kWalk, L"hwid : 'QVTEST\\Device_1'"), 2);
}

}  // namespace
