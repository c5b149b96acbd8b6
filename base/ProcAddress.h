// GetProcAddress with the function type the export really has, and the last error kept across
// clean-up code.
#pragma once

#include <windows.h>

namespace QvProc {

// Null when the module is null or lacks the export (by name, or by ordinal through MAKEINTRESOURCEA).
template <typename Fn>
Fn Get(HMODULE module, const char* name) {
  return module ? reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(module, name))) : nullptr;
}

}  // namespace QvProc

// Saves the thread's last-error value and puts it back when the scope ends.
class LastErrorKeeper {
 public:
  LastErrorKeeper() : error_(::GetLastError()) {}
  LastErrorKeeper(const LastErrorKeeper&) = delete;
  LastErrorKeeper& operator=(const LastErrorKeeper&) = delete;
  ~LastErrorKeeper() { ::SetLastError(error_); }

 private:
  DWORD error_;
};
