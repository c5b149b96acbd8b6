// Where the delay-load resolver finds libraries, and the msi.dll ordinals the tool binds.
#include "core/DelayLoad.h"

#include <gtest/gtest.h>

#include <string>

#include "base/UniqueHandle.h"
#include "core/DelayLoadedApis.h"

namespace {

std::wstring ModulePath(HMODULE module) {
  wchar_t buffer[MAX_PATH];
  const DWORD length = ::GetModuleFileNameW(module, buffer, MAX_PATH);
  return std::wstring(buffer, length);
}

std::wstring OwnDirectory() {
  std::wstring path = ModulePath(nullptr);
  return path.substr(0, path.rfind(L'\\') + 1);
}

std::wstring SystemDirectory() {
  wchar_t buffer[MAX_PATH];
  return std::wstring(buffer, ::GetSystemDirectoryW(buffer, MAX_PATH));
}

bool EqualPaths(const std::wstring& a, const std::wstring& b) {
  return ::lstrcmpiW(a.c_str(), b.c_str()) == 0;
}

class DelayLoadTest : public testing::Test {
 protected:
  void SetUp() override {
    flags_ = BrelDelayLoad::GetFlags();
    wchar_t temp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    scratch_ = std::wstring(temp) + L"qvdelay" + std::to_wstring(::GetCurrentProcessId()) + L"_" +
               std::to_wstring(::GetTickCount()) + L"\\";
    ASSERT_TRUE(::CreateDirectoryW(scratch_.c_str(), nullptr));
  }
  void TearDown() override {
    BrelDelayLoad::SetFlags(flags_);
    BrelDelayLoad::SetDirectory(L"");
    BrelDelayLoad::SetComponent(L"");
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Quorvel\\NS\\QvDelayLoadTest");
    ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Quorvel\\NS");
    for (const std::wstring& file : created_) ::DeleteFileW(file.c_str());
    ::RemoveDirectoryW(scratch_.c_str());
  }
  // A copy of the probe library under a name of its own (so each test loads a fresh module).
  std::wstring CopyProbe(const std::wstring& directory, const std::wstring& name) {
    const std::wstring target = directory + name;
    EXPECT_TRUE(::CopyFileW((OwnDirectory() + L"delayload_probe.dll").c_str(), target.c_str(), FALSE));
    created_.push_back(target);
    return target;
  }
  std::wstring Report(HMODULE module) {
    using ReportFn = const wchar_t*(WINAPI*)();
    auto report =
        reinterpret_cast<ReportFn>(reinterpret_cast<void*>(::GetProcAddress(module, "ProbeReport")));
    return report ? report() : L"";
  }

  uint32_t flags_ = 0;
  std::wstring scratch_;
  std::vector<std::wstring> created_;
};

TEST_F(DelayLoadTest, ConfiguredDirectoryFirstAndTheLibraryLearnsTheConfiguration) {
  const std::wstring path = CopyProbe(scratch_, L"qvprobe_dir.dll");
  BrelDelayLoad::SetFlags(0);
  BrelDelayLoad::SetDirectory(scratch_);
  UniqueModule module(BrelDelayLoad::BrelDelayLoadDependencies("qvprobe_dir.dll"));
  ASSERT_TRUE(module);
  EXPECT_TRUE(EqualPaths(ModulePath(module.get()), path));
  EXPECT_EQ(Report(module.get()), L"1|24|0|<null>|" + scratch_);
}

TEST_F(DelayLoadTest, OwnDirectoryOnlyWithFlagBit0) {
  const std::wstring path = CopyProbe(OwnDirectory(), L"qvprobe_own.dll");
  BrelDelayLoad::SetFlags(0);
  EXPECT_EQ(BrelDelayLoad::BrelDelayLoadDependencies("qvprobe_own.dll"), nullptr);
  BrelDelayLoad::SetFlags(BrelDelayLoad::SearchOwnDirectory);
  UniqueModule module(BrelDelayLoad::BrelDelayLoadDependencies("qvprobe_own.dll"));
  ASSERT_TRUE(module);
  EXPECT_TRUE(EqualPaths(ModulePath(module.get()), path));
  EXPECT_EQ(Report(module.get()), L"1|24|1|<null>|<null>");
}

TEST_F(DelayLoadTest, ComponentRegistryValueGivesTheFullPath) {
  const std::wstring path = CopyProbe(scratch_, L"qvprobe_reg.dll");
  UniqueHKey key;
  ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Quorvel\\NS\\QvDelayLoadTest\\BREL\\DelayLoad",
                              0, nullptr, 0, KEY_SET_VALUE, nullptr, key.put(), nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(
      ::RegSetValueExW(key.get(), L"qvprobe_reg.dll", 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                       static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t))),
      ERROR_SUCCESS);
  BrelDelayLoad::SetFlags(0);
  BrelDelayLoad::SetComponent(L"QvDelayLoadTest");
  UniqueModule module(BrelDelayLoad::BrelDelayLoadDependencies("qvprobe_reg.dll"));
  ASSERT_TRUE(module);
  EXPECT_TRUE(EqualPaths(ModulePath(module.get()), path));
  EXPECT_EQ(Report(module.get()), L"1|24|0|QvDelayLoadTest|<null>");
}

TEST_F(DelayLoadTest, SystemDirectoryLast) {
  BrelDelayLoad::SetFlags(0);
  BrelDelayLoad::SetDirectory(scratch_);  // holds no msi.dll
  UniqueModule module(BrelDelayLoad::BrelDelayLoadDependencies("msi.dll"));
  ASSERT_TRUE(module);
  EXPECT_TRUE(EqualPaths(ModulePath(module.get()), SystemDirectory() + L"\\msi.dll"));
}

TEST_F(DelayLoadTest, FirstFailureIsReportedWhenNothingLoads) {
  // Not a library: the configured place fails with a format error, the system directory with
  // "module not found"; the caller learns about the first.
  const std::wstring bogus = scratch_ + L"qvbogus.dll";
  {
    UniqueFileHandle file(::CreateFileW(bogus.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    ASSERT_TRUE(file);
    DWORD written = 0;
    ASSERT_TRUE(::WriteFile(file.get(), "not a library", 13, &written, nullptr));
  }
  created_.push_back(bogus);
  BrelDelayLoad::SetFlags(0);
  BrelDelayLoad::SetDirectory(scratch_);
  EXPECT_EQ(BrelDelayLoad::BrelDelayLoadDependencies("qvbogus.dll"), nullptr);
  EXPECT_NE(::GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
  EXPECT_NE(::GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
  BrelDelayLoad::SetDirectory(L"");
  EXPECT_EQ(BrelDelayLoad::BrelDelayLoadDependencies("qvbogus.dll"), nullptr);
  EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
}

TEST(DelayLoadedMsi, OrdinalsBindTheNamedFunctions) {
  UniqueModule msi(::LoadLibraryExW(L"msi.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
  ASSERT_TRUE(msi);
  const std::pair<WORD, const char*> expected[] = {
      {DelayLoaded::OrdinalMsiConfigureProductW, "MsiConfigureProductW"},
      {DelayLoaded::OrdinalMsiSetExternalUIW, "MsiSetExternalUIW"},
      {DelayLoaded::OrdinalMsiSetInternalUI, "MsiSetInternalUI"},
      {DelayLoaded::OrdinalMsiEnableLogW, "MsiEnableLogW"},
      {DelayLoaded::OrdinalMsiEnumRelatedProductsW, "MsiEnumRelatedProductsW"},
  };
  for (const auto& [ordinal, name] : expected) {
    FARPROC byName = ::GetProcAddress(msi.get(), name);
    ASSERT_NE(byName, nullptr) << name;
    EXPECT_EQ(::GetProcAddress(msi.get(), MAKEINTRESOURCEA(ordinal)), byName) << name;
  }
  // And through the resolver: an upgrade code nobody uses has no related products.
  wchar_t product[39] = {};
  EXPECT_EQ(DelayLoaded::MsiEnumRelatedProductsW(L"{6F9D7A3C-0000-4000-8000-00000000C0DE}", 0, 0, product),
            static_cast<UINT>(ERROR_NO_MORE_ITEMS));
}

}  // namespace
