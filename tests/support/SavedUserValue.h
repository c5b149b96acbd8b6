// Test machinery: one value of the current user's registry (HKCU\<key>, value) saved when the
// object is made and put back, type and data, or removed again if it was absent, when it goes.
// Users of the same value serialise on a named mutex of the value's name.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "base/UniqueHandle.h"

namespace QvTest {

class SavedUserValue {
 public:
  SavedUserValue(std::wstring key, std::wstring name) : key_(std::move(key)), name_(std::move(name)) {
    std::wstring lockName = L"Global\\QvTestUserValue_" + name_;
    lock_.reset(::CreateMutexW(nullptr, FALSE, lockName.c_str()));
    if (lock_) ::WaitForSingleObject(lock_.get(), 120000);
    DWORD size = 0;
    if (::RegGetValueW(HKEY_CURRENT_USER, key_.c_str(), name_.c_str(), RRF_RT_ANY | RRF_NOEXPAND, &type_,
                       nullptr, &size) == ERROR_SUCCESS) {
      data_.resize(size);
      existed_ = ::RegGetValueW(HKEY_CURRENT_USER, key_.c_str(), name_.c_str(), RRF_RT_ANY | RRF_NOEXPAND,
                                &type_, data_.data(), &size) == ERROR_SUCCESS;
      data_.resize(size);
    }
  }
  SavedUserValue(const SavedUserValue&) = delete;
  SavedUserValue& operator=(const SavedUserValue&) = delete;
  ~SavedUserValue() {
    if (existed_)
      ::RegSetKeyValueW(HKEY_CURRENT_USER, key_.c_str(), name_.c_str(), type_, data_.data(),
                        static_cast<DWORD>(data_.size()));
    else
      ::RegDeleteKeyValueW(HKEY_CURRENT_USER, key_.c_str(), name_.c_str());
    if (lock_) ::ReleaseMutex(lock_.get());
  }

  bool SetDword(DWORD value) const { return Set(REG_DWORD, &value, sizeof(value)); }
  bool SetString(const std::wstring& value) const {
    return Set(REG_SZ, value.c_str(), static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  }
  bool Remove() const {
    const LSTATUS status = ::RegDeleteKeyValueW(HKEY_CURRENT_USER, key_.c_str(), name_.c_str());
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
  }

 private:
  bool Set(DWORD type, const void* data, DWORD size) const {
    return ::RegSetKeyValueW(HKEY_CURRENT_USER, key_.c_str(), name_.c_str(), type, data, size) ==
           ERROR_SUCCESS;
  }

  std::wstring key_;
  std::wstring name_;
  UniqueHandle lock_;
  DWORD type_ = REG_NONE;
  std::vector<BYTE> data_;
  bool existed_ = false;
};

}  // namespace QvTest
