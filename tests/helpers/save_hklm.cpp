// Test helper: saves HKEY_LOCAL_MACHINE, both views, to a file while the session runs. Wine writes
// the file in the format of the prefix's system.reg, which it writes only when its server ends:
// a snapshot of a running machine then needs no restart of its session.
//   save_hklm <new file>
// Exit codes: 0 saved, 1 the backup privilege could not be enabled, 2 the key could not be saved
// (the file exists, or is refused), 3 bad command line.
#include <windows.h>

#include <cstdio>

#include "sysops/QvPrivilege.h"

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: save_hklm <new file>\n");
    return 3;
  }
  QvPrivilege backup(SE_BACKUP_NAME);
  if (!backup.IsEnabled()) {
    std::fprintf(stderr, "backup privilege: not enabled\n");
    return 1;
  }
  const LSTATUS status = ::RegSaveKeyW(HKEY_LOCAL_MACHINE, argv[1], nullptr);
  if (status != ERROR_SUCCESS) {
    std::fprintf(stderr, "save: %ld\n", status);
    return 2;
  }
  return 0;
}
