// Test and benchmark helper: removes one branch below HKEY_LOCAL_MACHINE with the tool's forced
// wipe and prints the time it took.
//   reg_wipe <branch> [32|64] [undo]   (32: the 32-bit registry view; undo: the branch is exported
//                                       first, as in a run, into the undo folder of the log folder
//                                       "RegWipeBench")
// Prints "<milliseconds>". Exit codes: 0 removed, 1 bad arguments, 2 the wipe failed or left the
// branch behind.
#include <windows.h>

#include <cstdio>
#include <string>

#include "base/Win32Registry.h"
#include "logging/QvBrelLogging.h"
#include "sysops/UndoMaterial.h"
#include "sysops/registry/RegOps.h"

int wmain(int argc, wchar_t** argv) {
  if (argc < 2 || argc > 4) return 1;
  const REGSAM view = argc >= 3 && std::wstring(argv[2]) == L"32" ? KEY_WOW64_32KEY : 0;
  const bool undo = argc == 4 && std::wstring(argv[3]) == L"undo";
  if (undo) {
    QvBrelLogging::LogInit(L"RegWipeBench", L"RegWipeBench", QvBrelLogging::LevelInfo, 0);
    FILETIME now{};
    ::GetSystemTimeAsFileTime(&now);
    UndoMaterial::Instance().Begin(now, false);
  }
  LARGE_INTEGER frequency, start, end;
  ::QueryPerformanceFrequency(&frequency);
  ::QueryPerformanceCounter(&start);
  const bool removed = RegOps::WipeBranch(HKEY_LOCAL_MACHINE, view, argv[1]);
  UndoMaterial::Instance().End();
  ::QueryPerformanceCounter(&end);
  const double milliseconds =
      1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
  std::printf("%.1f\n", milliseconds);
  Win32Registry registry(HKEY_LOCAL_MACHINE, view);
  return removed && !registry.KeyExists(argv[1]) && registry.GetLastResult() == RegResult::NotFound ? 0 : 2;
}
