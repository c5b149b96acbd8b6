// Test machinery: the machine's restart schedule (HKLM "SYSTEM\CurrentControlSet\Control\Session
// Manager", PendingFileRenameOperations). A holder serialises the tests of all suite processes that
// change it and puts the value back as it found it (or absent) when it goes.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "base/UniqueHandle.h"

namespace QvTest {

class PendingRenames {
 public:
  // The lock the file-primitive tests take for the schedule too.
  PendingRenames() : mutex_(::CreateMutexW(nullptr, FALSE, L"QvTest.PendingFileRenameOperations")) {
    const DWORD wait = mutex_ ? ::WaitForSingleObject(mutex_.get(), 120000) : WAIT_FAILED;
    locked_ = wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
    saved_ = Read();
  }
  PendingRenames(const PendingRenames&) = delete;
  PendingRenames& operator=(const PendingRenames&) = delete;
  ~PendingRenames() {
    if (!locked_) return;
    Write(saved_);
    ::ReleaseMutex(mutex_.get());
  }
  bool Locked() const { return locked_; }

  // The stored characters exactly, terminating NULs included; nothing when the value is absent.
  static std::optional<std::wstring> Read() {
    std::vector<BYTE> data(64 * 1024);
    DWORD size = static_cast<DWORD>(data.size());
    if (::RegGetValueW(HKEY_LOCAL_MACHINE, kKey, kValue, RRF_RT_ANY | RRF_NOEXPAND, nullptr, data.data(),
                       &size) != ERROR_SUCCESS)
      return std::nullopt;
    return std::wstring(reinterpret_cast<const wchar_t*>(data.data()), size / sizeof(wchar_t));
  }
  // Stores exactly these characters as REG_MULTI_SZ, or removes the value for nothing.
  static bool Write(const std::optional<std::wstring>& units) {
    UniqueHKey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, KEY_SET_VALUE, key.put()) != ERROR_SUCCESS) return false;
    if (!units) return ::RegDeleteValueW(key.get(), kValue) != ERROR_ACCESS_DENIED;
    return ::RegSetValueExW(key.get(), kValue, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(units->data()),
                            static_cast<DWORD>(units->size() * sizeof(wchar_t))) == ERROR_SUCCESS;
  }

 private:
  static constexpr wchar_t kKey[] = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";
  static constexpr wchar_t kValue[] = L"PendingFileRenameOperations";
  UniqueHandle mutex_;
  bool locked_ = false;
  std::optional<std::wstring> saved_;
};

}  // namespace QvTest
