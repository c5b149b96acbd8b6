// Test machinery: the machine-wide logging values (HKLM "SOFTWARE\Quorvel\BREL\Logging") every test
// that runs a logger depends on. CTest runs suite processes in parallel, so such tests take one
// lock across processes and pin the values while they run.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "base/UniqueHandle.h"
#include "logging/LogPlatform.h"

namespace QvTest {

// The named mutex every test that runs a logger or changes the logging values holds. A thread may
// take it again while holding it (a Win32 mutex counts its owner's waits).
class LoggingLock {
 public:
  LoggingLock() = default;
  LoggingLock(const LoggingLock&) = delete;
  LoggingLock& operator=(const LoggingLock&) = delete;
  ~LoggingLock() { Release(); }

  // Waits up to four minutes; false when the lock could not be had.
  bool Acquire() {
    if (held_) return true;
    mutex_.reset(::CreateMutexW(nullptr, FALSE, L"Global\\QvLoggingUnitTestsLock"));
    if (!mutex_) return false;
    // An owner that died without releasing leaves the lock abandoned, and so free.
    const DWORD wait = ::WaitForSingleObject(mutex_.get(), 240000);
    held_ = wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
    return held_;
  }
  void Release() {
    if (held_) ::ReleaseMutex(mutex_.get());
    held_ = false;
  }
  bool Held() const { return held_; }

 private:
  UniqueHandle mutex_;
  bool held_ = false;
};

// Saves LogLevel, LogMaxSizeKB and DebugOutputLogging when made, lets the test set or clear them,
// and puts every one back (and takes away the keys it had to create) when it goes. Hold the
// LoggingLock for as long as this object lives.
class LoggingValues {
 public:
  static constexpr const wchar_t* kNames[] = {L"LogLevel", L"LogMaxSizeKB", L"DebugOutputLogging"};

  LoggingValues() {
    // The logger reads the key in the process's own view; so does this.
    for (const wchar_t* path : {L"SOFTWARE\\Quorvel", L"SOFTWARE\\Quorvel\\BREL", kKey}) {
      UniqueHKey key;
      if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, key.put()) != ERROR_SUCCESS)
        createdKeys_.emplace_back(path);
    }
    for (const wchar_t* name : kNames) {
      DWORD value = 0;
      DWORD size = sizeof(value);
      const LSTATUS status =
          ::RegGetValueW(HKEY_LOCAL_MACHINE, kKey, name, RRF_RT_REG_DWORD, nullptr, &value, &size);
      if (status == ERROR_SUCCESS)
        saved_.push_back({name, value});
      else if (status == ERROR_FILE_NOT_FOUND)
        saved_.push_back({name, std::nullopt});
      else
        savedOk_ = false;  // another type, or unreadable: nothing is touched later
    }
  }
  LoggingValues(const LoggingValues&) = delete;
  LoggingValues& operator=(const LoggingValues&) = delete;
  ~LoggingValues() {
    if (!savedOk_) return;
    for (const SavedValue& saved : saved_) {
      if (saved.value) {
        const DWORD value = *saved.value;
        ::RegSetKeyValueW(HKEY_LOCAL_MACHINE, kKey, saved.name, REG_DWORD, &value, sizeof(value));
      } else {
        ::RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kKey, saved.name);
      }
    }
    // Deepest first; a key that gained other sub-keys or values meanwhile stays.
    for (auto it = createdKeys_.rbegin(); it != createdKeys_.rend(); ++it) {
      UniqueHKey key;
      DWORD subKeys = 0, values = 0;
      if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, it->c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS &&
          ::RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values,
                             nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
          subKeys == 0 && values == 0) {
        key.reset();
        ::RegDeleteKeyExW(HKEY_LOCAL_MACHINE, it->c_str(), 0, 0);
      }
    }
  }

  // Whether every value could be read (a value of another type cannot be put back, so then
  // Set and Clear refuse).
  bool Saved() const { return savedOk_; }
  bool Set(const wchar_t* name, DWORD value) {
    return savedOk_ && ::RegSetKeyValueW(HKEY_LOCAL_MACHINE, kKey, name, REG_DWORD, &value, sizeof(value)) ==
                           ERROR_SUCCESS;
  }
  bool Clear(const wchar_t* name) {
    if (!savedOk_) return false;
    const LSTATUS status = ::RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kKey, name);
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
  }
  // Clears all three: the logger then goes by its initialisation level and its defaults.
  bool ClearAll() {
    bool cleared = true;
    for (const wchar_t* name : kNames) cleared = Clear(name) && cleared;
    return cleared;
  }
  // The value as the logger would read it now.
  static std::optional<DWORD> Read(const wchar_t* name) {
    DWORD value = 0;
    DWORD size = sizeof(value);
    if (::RegGetValueW(HKEY_LOCAL_MACHINE, kKey, name, RRF_RT_REG_DWORD, nullptr, &value, &size) !=
        ERROR_SUCCESS)
      return std::nullopt;
    return value;
  }

 private:
  static constexpr const wchar_t* kKey = QvBrelLogging::Platform::kLoggingKey;
  struct SavedValue {
    const wchar_t* name;
    std::optional<DWORD> value;
  };
  std::vector<SavedValue> saved_;
  std::vector<std::wstring> createdKeys_;
  bool savedOk_ = true;
};

}  // namespace QvTest
