// Test helper: keeps its Wine session's desktop up while it runs. Wine closes a desktop a moment
// after the last program on it has ended, and the next window program starts it again (a desktop
// process start, waited on for at most 10 s). A scenario file's session holds its desktop with this
// from start to end, so its window programs never wait on that start.
//   hold_desktop
// Prints "ready" once a window could be made on the desktop, then waits until it is ended.
// Exit codes: 1 no window could be made on the desktop.
#include <windows.h>

#include <cstdio>

int wmain() {
  // A hidden top-level window: made only once the desktop answers, and never shown.
  HWND window = ::CreateWindowExW(0, L"STATIC", L"hold_desktop", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                  ::GetModuleHandleW(nullptr), nullptr);
  if (window == nullptr) {
    std::fprintf(stderr, "window: %lu\n", ::GetLastError());
    return 1;
  }
  std::printf("ready\n");
  std::fflush(stdout);
  MSG message;
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) ::DispatchMessageW(&message);
  ::DestroyWindow(window);
  return 0;
}
