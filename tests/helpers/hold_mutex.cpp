// Test helper: creates a named mutex, prints "ready", and holds it until a line arrives on stdin;
// then checks the mutex is still usable and exits 0 (1 when it was disturbed).
//   hold_mutex [--system-only] <name>
// --system-only gives the mutex a descriptor that lets only SYSTEM open it, as an instance running
// as SYSTEM would hold it.
#include <windows.h>

#include <cstdio>
#include <string>

#include "base/SecurityAttributes.h"
#include "base/UniqueHandle.h"

int wmain(int argc, wchar_t** argv) {
  const bool systemOnly = argc > 2 && std::wstring(argv[1]) == L"--system-only";
  if (argc < 2 + (systemOnly ? 1 : 0)) return 2;
  SecurityAttributes security = SecurityAttributes::FromSddl(systemOnly ? L"D:P(A;;GA;;;SY)" : nullptr);
  UniqueHandle mutex(::CreateMutexW(security.Get(), TRUE, argv[argc - 1]));
  if (!mutex || (systemOnly && security.IsEmpty())) return 3;
  std::printf("ready\n");
  std::fflush(stdout);
  char line[16];
  std::fgets(line, sizeof(line), stdin);
  const DWORD wait = ::WaitForSingleObject(mutex.get(), 0);  // owned by us: recursion succeeds
  const bool ok = wait == WAIT_OBJECT_0 && ::ReleaseMutex(mutex.get()) && ::ReleaseMutex(mutex.get());
  return ok ? 0 : 1;
}
