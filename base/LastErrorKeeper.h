// Keeps the thread's last error across clean-up code, so callers can still log or return it.
#pragma once

#include <windows.h>

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
