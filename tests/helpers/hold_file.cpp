// Test helper: keeps a file open without delete sharing until released.
//   hold_file <path> <ready event name> <release event name>
// Signals the ready event once the file is open, then waits (at most five minutes) for the release
// event. Exit codes: 0 released, 1 bad arguments or events, 2 the file could not be opened, 3 timed out.
#include <windows.h>

#include "base/UniqueHandle.h"

int wmain(int argc, wchar_t** argv) {
  if (argc != 4) return 1;
  UniqueHandle ready(::OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[2]));
  UniqueHandle release(::OpenEventW(SYNCHRONIZE, FALSE, argv[3]));
  if (!ready || !release) return 1;
  UniqueFileHandle file(::CreateFileW(argv[1], GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return 2;
  ::SetEvent(ready.get());
  return ::WaitForSingleObject(release.get(), 5 * 60 * 1000) == WAIT_OBJECT_0 ? 0 : 3;
}
