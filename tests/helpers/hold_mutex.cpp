// Test helper: creates a named mutex, prints "ready", and holds it until a line arrives on stdin;
// then checks the mutex is still usable and exits 0 (1 when it was disturbed).
#include <windows.h>

#include <cstdio>

#include "base/UniqueHandle.h"

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return 2;
  UniqueHandle mutex(::CreateMutexW(nullptr, TRUE, argv[1]));
  if (!mutex) return 3;
  std::printf("ready\n");
  std::fflush(stdout);
  char line[16];
  std::fgets(line, sizeof(line), stdin);
  const DWORD wait = ::WaitForSingleObject(mutex.get(), 0);  // owned by us: recursion succeeds
  const bool ok = wait == WAIT_OBJECT_0 && ::ReleaseMutex(mutex.get()) && ::ReleaseMutex(mutex.get());
  return ok ? 0 : 1;
}
