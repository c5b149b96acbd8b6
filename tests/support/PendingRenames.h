// Test machinery: the machine's restart schedule (HKLM "SYSTEM\CurrentControlSet\Control\Session
// Manager", value PendingFileRenameOperations). A holder serialises the tests of all suite processes
// that change it and puts back the value as it found it (or its absence) when it goes.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/UniqueHandle.h"

namespace QvTest {

class PendingRenames {
 public:
  static constexpr wchar_t kKey[] = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";
  static constexpr wchar_t kValue[] = L"PendingFileRenameOperations";

  // Takes the lock the file-primitive tests take for the schedule too, then saves the value.
  PendingRenames() : mutex_(::CreateMutexW(nullptr, FALSE, L"QvTest.PendingFileRenameOperations")) {
    if (!mutex_) return;
    const DWORD wait = ::WaitForSingleObject(mutex_.get(), 120000);
    locked_ = wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
    saved_ = Read(&savedType_);
  }
  PendingRenames(const PendingRenames&) = delete;
  PendingRenames& operator=(const PendingRenames&) = delete;
  ~PendingRenames() {
    if (!locked_) return;
    if (saved_)
      Write(*saved_, savedType_);
    else
      Remove();
    ::ReleaseMutex(mutex_.get());
  }

  bool Locked() const { return locked_; }

  // The stored characters exactly (terminating NULs included); nothing when the value is absent.
  static std::optional<std::wstring> Read(DWORD* type = nullptr) {
    UniqueHKey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS)
      return std::nullopt;
    DWORD size = 0;
    DWORD valueType = REG_NONE;
    if (::RegQueryValueExW(key.get(), kValue, nullptr, &valueType, nullptr, &size) != ERROR_SUCCESS)
      return std::nullopt;
    std::vector<BYTE> data(size + sizeof(wchar_t));
    if (::RegQueryValueExW(key.get(), kValue, nullptr, &valueType, data.data(), &size) != ERROR_SUCCESS)
      return std::nullopt;
    if (type != nullptr) *type = valueType;
    return std::wstring(reinterpret_cast<const wchar_t*>(data.data()), size / sizeof(wchar_t));
  }
  // Stores exactly these characters.
  static bool Write(std::wstring_view units, DWORD type = REG_MULTI_SZ) {
    UniqueHKey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, KEY_SET_VALUE, key.put()) != ERROR_SUCCESS) return false;
    return ::RegSetValueExW(key.get(), kValue, 0, type, reinterpret_cast<const BYTE*>(units.data()),
                            static_cast<DWORD>(units.size() * sizeof(wchar_t))) == ERROR_SUCCESS;
  }
  // A missing value counts as removed.
  static bool Remove() {
    UniqueHKey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, KEY_SET_VALUE, key.put()) != ERROR_SUCCESS) return false;
    const LSTATUS status = ::RegDeleteValueW(key.get(), kValue);
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
  }

 private:
  UniqueHandle mutex_;
  bool locked_ = false;
  std::optional<std::wstring> saved_;
  DWORD savedType_ = REG_MULTI_SZ;
};

}  // namespace QvTest
