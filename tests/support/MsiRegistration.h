// Test machinery: Windows Installer registrations planted straight into the registry, as the
// Installer writes them for one per-machine product (product code P, upgrade code U, features,
// components), imported as .reg text through the system's reg.exe; the keys that make up such a
// registration, and a text dump of registry trees to compare them byte for byte.
#pragma once

#include <windows.h>

#include <cstdio>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "base/UniqueHandle.h"
#include "sysops/msi/MsiGuid.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/ScratchDir.h"
#include "tests/support/ScratchKey.h"

namespace QvTest {

// A fresh GUID in registry form, upper case.
inline std::wstring NewGuid() {
  static std::mt19937_64 random{std::random_device{}() ^ ::GetTickCount64() ^ ::GetCurrentProcessId()};
  const unsigned long long high = random(), low = random();
  wchar_t text[39];
  std::swprintf(text, 39, L"{%08llX-%04llX-%04llX-%04llX-%012llX}", high >> 32, (high >> 16) & 0xFFFF,
                high & 0xFFFF, low >> 48, low & 0xFFFFFFFFFFFFull);
  return text;
}

struct InstallerProduct {
  std::wstring productCode;  // registry form
  std::wstring upgradeCode;  // empty for an orphan (no upgrade-code registration)
  std::wstring displayName;
  std::wstring publisher;
  std::vector<std::wstring> features;
  std::vector<std::wstring> components;  // component codes, registry form

  std::wstring Packed() const { return MsiGuid::Pack(productCode); }
};

// One key of a registration: path below HKLM and view.
struct MachineKey {
  std::wstring path;
  REGSAM view;
};

inline constexpr wchar_t kInstallerClasses[] = L"SOFTWARE\\Classes\\Installer";
inline constexpr wchar_t kInstallerMachine[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer";
inline constexpr wchar_t kUninstallList[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

inline std::wstring ComponentKey(const std::wstring& componentCode) {
  return std::wstring(kInstallerMachine) + L"\\UserData\\S-1-5-18\\Components\\" +
         MsiGuid::Pack(componentCode);
}

// The keys that belong to the product alone (components are shared, so they are not listed).
inline std::vector<MachineKey> RegistrationKeys(const InstallerProduct& product) {
  const std::wstring p = product.Packed();
  std::vector<MachineKey> keys = {
      {std::wstring(kInstallerClasses) + L"\\Products\\" + p, KEY_WOW64_64KEY},
      {std::wstring(kInstallerClasses) + L"\\Features\\" + p, KEY_WOW64_64KEY},
      {std::wstring(kInstallerMachine) + L"\\UserData\\S-1-5-18\\Products\\" + p, KEY_WOW64_64KEY},
      {std::wstring(kUninstallList) + L"\\" + product.productCode, KEY_WOW64_32KEY},
      {std::wstring(kUninstallList) + L"\\" + product.productCode, KEY_WOW64_64KEY},
  };
  if (!product.upgradeCode.empty()) {
    const std::wstring u = MsiGuid::Pack(product.upgradeCode);
    keys.push_back({std::wstring(kInstallerClasses) + L"\\UpgradeCodes\\" + u, KEY_WOW64_64KEY});
    keys.push_back({std::wstring(kInstallerMachine) + L"\\UpgradeCodes\\" + u, KEY_WOW64_64KEY});
  }
  return keys;
}

// The .reg text of the product's registration; the uninstall-list entry goes into both views.
inline std::wstring RegistrationRegText(const InstallerProduct& product) {
  const std::wstring p = product.Packed();
  const std::wstring uninstall = L"MsiExec.exe /X" + product.productCode;
  const auto key = [](const std::wstring& path) { return L"\r\n[HKEY_LOCAL_MACHINE\\" + path + L"]\r\n"; };
  const auto value = [](const std::wstring& name, const std::wstring& data) {
    std::wstring escaped;
    for (wchar_t c : data) escaped += (c == L'\\' || c == L'"') ? std::wstring{L'\\', c} : std::wstring{c};
    return L"\"" + name + L"\"=\"" + escaped + L"\"\r\n";
  };
  std::wstring text = L"Windows Registry Editor Version 5.00\r\n";
  if (!product.upgradeCode.empty()) {
    const std::wstring u = MsiGuid::Pack(product.upgradeCode);
    text += key(std::wstring(kInstallerClasses) + L"\\UpgradeCodes\\" + u) + value(p, L"");
    text += key(std::wstring(kInstallerMachine) + L"\\UpgradeCodes\\" + u) + value(p, L"");
  }
  text +=
      key(std::wstring(kInstallerClasses) + L"\\Products\\" + p) + value(L"ProductName", product.displayName);
  text += key(std::wstring(kInstallerClasses) + L"\\Features\\" + p);
  for (const std::wstring& feature : product.features) text += value(feature, L"");
  const std::wstring userData = std::wstring(kInstallerMachine) + L"\\UserData\\S-1-5-18\\Products\\" + p;
  text += key(userData + L"\\InstallProperties") + value(L"DisplayName", product.displayName) +
          value(L"Publisher", product.publisher) + value(L"UninstallString", uninstall);
  text += key(userData + L"\\Features");
  for (const std::wstring& feature : product.features) text += value(feature, L"");
  for (const std::wstring& component : product.components)
    text +=
        key(ComponentKey(component)) + value(p, L"C:\\Program Files\\" + product.displayName + L"\\file.dll");
  for (const wchar_t* list : {L"SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\",
                              L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"})
    text += key(list + product.productCode) + value(L"DisplayName", product.displayName) +
            value(L"Publisher", product.publisher) + value(L"UninstallString", uninstall);
  return text;
}

// Imports a registry file with reg.exe; true when reg.exe reports success.
inline bool ImportRegFile(const std::wstring& file) {
  wchar_t system[MAX_PATH] = {};
  ::GetSystemDirectoryW(system, MAX_PATH);
  const ChildResult result = RunChild(L"\"" + std::wstring(system) + L"\\reg.exe\" import \"" + file + L"\"");
  return result.finished && result.exitCode == 0;
}

// Imports .reg text with reg.exe (UTF-16 file with its mark); true when reg.exe reports success.
inline bool ImportRegText(const std::wstring& text) {
  ScratchDir folder(L"qvreg");
  const std::wstring file = folder.Path() + L"\\import.reg";
  const std::wstring content = L"\xFEFF" + text;
  return folder.Created() &&
         WriteWholeFile(
             file, std::string_view(reinterpret_cast<const char*>(content.data()), content.size() * 2)) &&
         ImportRegFile(file);
}

inline bool PlantRegistration(const InstallerProduct& product) {
  return ImportRegText(RegistrationRegText(product));
}

// Every key below HKLM\<path> in `view` with its values (name, type, data in hex), one line each, in
// enumeration order; "<missing>" when the key does not exist.
inline std::wstring DumpTree(const std::wstring& path, REGSAM view) {
  UniqueHKey key;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ | view, key.put()) != ERROR_SUCCESS)
    return path + L" <missing>\n";
  std::wstring text = L"[" + path + L"]\n";
  for (DWORD index = 0;; ++index) {
    wchar_t name[16384];
    DWORD nameLength = 16384, type = 0, size = 65536;
    std::vector<BYTE> data(size);
    if (::RegEnumValueW(key.get(), index, name, &nameLength, nullptr, &type, data.data(), &size) !=
        ERROR_SUCCESS)
      break;
    text += std::wstring(name, nameLength) + L" " + std::to_wstring(type) + L" ";
    for (DWORD i = 0; i < size; ++i) {
      wchar_t hex[3];
      std::swprintf(hex, 3, L"%02X", data[i]);
      text += hex;
    }
    text += L"\n";
  }
  for (DWORD index = 0;; ++index) {
    wchar_t name[256];
    DWORD nameLength = 256;
    if (::RegEnumKeyExW(key.get(), index, name, &nameLength, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS)
      break;
    text += DumpTree(path + L"\\" + name, view);
  }
  return text;
}

// Removes what PlantRegistration wrote (the components are the test's own).
inline void RemoveRegistration(const InstallerProduct& product) {
  for (const MachineKey& key : RegistrationKeys(product)) DeleteMachineTree(key.path, key.view);
  for (const std::wstring& component : product.components)
    DeleteMachineTree(ComponentKey(component), KEY_WOW64_64KEY);
}

}  // namespace QvTest
