// Raw, logged access to multi-string values for the restart-schedule tools (the pending file
// operations). The class sits in an unnamed namespace, so each user gets its own copy and the log
// records carry the tag "::Win32RegistryForTools::<method>".
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "base/UniqueHandle.h"
#include "base/Win32Registry.h"
#include "logging/QvBrelLogging.h"

namespace {

class Win32RegistryForTools : public Win32Registry {
 public:
  using Win32Registry::Win32Registry;
  ~Win32RegistryForTools() override = default;

  // The value's bytes as stored, whatever its type; false (logged at debug level) when the branch
  // does not open or the value cannot be read. Opens without view flags.
  bool GetValueRaw(const std::wstring& branch, const std::wstring& key, std::vector<BYTE>& data) {
    QV_BREL_LOG(QV_INFO, L"Get value '%s' from '%s'", key.c_str(), branch.c_str());
    UniqueHKey hkey;
    LSTATUS status = ::RegOpenKeyExW(Root(), branch.c_str(), 0, KEY_READ, hkey.put());
    if (status != ERROR_SUCCESS) {
      QV_BREL_LOG(QV_DEBUG, L"Failed to open key '%s'. Error: %lu", branch.c_str(),
                  static_cast<DWORD>(status));
      return Finish(status);
    }
    std::vector<BYTE> buffer(1);
    DWORD bytes = 0;
    do {
      bytes = static_cast<DWORD>(buffer.size());
      status = ::RegQueryValueExW(hkey.get(), key.c_str(), nullptr, nullptr, buffer.data(), &bytes);
      if (status == ERROR_MORE_DATA) buffer.resize(bytes);
    } while (status == ERROR_MORE_DATA);
    if (status != ERROR_SUCCESS) {
      QV_BREL_LOG(QV_DEBUG, L"Failed to get value '%s'. Error: %lu", key.c_str(), static_cast<DWORD>(status));
      return Finish(status);
    }
    buffer.resize(bytes);
    data = std::move(buffer);
    return Finish(status);
  }

  // Stores the bytes as REG_MULTI_SZ exactly as given (no terminator added); false (logged at
  // debug level) when the branch does not open or the value cannot be written.
  bool SetValueRaw(const std::wstring& branch, const std::wstring& key, const std::vector<BYTE>& data) {
    QV_BREL_LOG(QV_INFO, L"Set value '%s' on '%s'", key.c_str(), branch.c_str());
    UniqueHKey hkey;
    LSTATUS status = ::RegOpenKeyExW(Root(), branch.c_str(), 0, KEY_WRITE, hkey.put());
    if (status != ERROR_SUCCESS) {
      QV_BREL_LOG(QV_DEBUG, L"Failed to open key '%s'. Error: %lu", branch.c_str(),
                  static_cast<DWORD>(status));
      return Finish(status);
    }
    status = ::RegSetValueExW(hkey.get(), key.c_str(), 0, REG_MULTI_SZ, data.data(),
                              static_cast<DWORD>(data.size()));
    if (status != ERROR_SUCCESS)
      QV_BREL_LOG(QV_DEBUG, L"Failed to set value '%s'. Error: %lu", key.c_str(), static_cast<DWORD>(status));
    return Finish(status);
  }
};

}  // namespace
