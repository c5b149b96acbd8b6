// Benchmark helper: removes one tree with the tool's recursive wipe and prints the time it took.
//   wipe_tree <folder>
// Prints "<milliseconds>" on success. Exit codes: 0 removed, 1 bad arguments, 2 something was left.
#include <windows.h>

#include <cstdio>

#include "base/PathGuard.h"
#include "sysops/FileOps.h"

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) return 1;
  LARGE_INTEGER frequency, start, end;
  ::QueryPerformanceFrequency(&frequency);
  ::QueryPerformanceCounter(&start);
  // The guard is part of what a script's removal costs.
  QvPath::PathGuard guard;
  const bool removed = guard.Acquire(argv[1]) && FileOpsInternal::TryWipeRecursive(guard.Path());
  ::QueryPerformanceCounter(&end);
  const double milliseconds =
      1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
  std::printf("%.1f\n", milliseconds);
  return removed && ::GetFileAttributesW(argv[1]) == INVALID_FILE_ATTRIBUTES ? 0 : 2;
}
