// Test helper: the current state of each named service, in one program run (a Wine start per
// service would cost a machine's start a second or more).
//   service_states <service> [<service> ...]
// Prints "<name> <state>" per service, the SERVICE_* state number, 0 for a service that cannot be
// opened or queried. Exit codes: 0 printed, 1 the service manager cannot be opened, 3 bad command line.
#include <windows.h>

#include <cstdio>

#include "base/UniqueHandle.h"

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: service_states <service> [<service> ...]\n");
    return 3;
  }
  UniqueServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (!manager) {
    std::fprintf(stderr, "service manager: %lu\n", ::GetLastError());
    return 1;
  }
  for (int i = 1; i < argc; ++i) {
    DWORD state = 0;
    UniqueServiceHandle service(::OpenServiceW(manager.get(), argv[i], SERVICE_QUERY_STATUS));
    SERVICE_STATUS status{};
    if (service && ::QueryServiceStatus(service.get(), &status)) {
      state = status.dwCurrentState;
    }
    std::printf("%ls %lu\n", argv[i], state);
  }
  return 0;
}
