// Test helper: starts logging into the component named by its first argument, installs the tool's
// crash handlers and then crashes as its second argument says:
//   crash_probe <component> throw|abort|null|overflow|thread-throw|thread-null|none
#include <windows.h>

#include <cstdlib>
#include <stdexcept>
#include <string>
#include <thread>

#include "app/CrashHandlers.h"
#include "logging/QvBrelLogging.h"

namespace {

// Opaque to the optimiser, so the store below really reaches address 0.
int* volatile nowhere = nullptr;

// Recurses until the stack runs out; the depth limit only keeps the compiler from calling it endless.
int Recurse(int depth) {
  volatile char frame[4096];
  frame[0] = static_cast<char>(depth);
  return depth == -1 ? 0 : Recurse(depth + 1) + frame[0];
}

void Crash(const std::wstring& how) {
  if (how == L"overflow") Recurse(0);
  if (how == L"throw") throw std::runtime_error("probe failure");
  if (how == L"abort") std::abort();
  if (how == L"null") *nowhere = 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) return 2;
  QvBrelLogging::LogInit(argv[1], argv[1], QvBrelLogging::LevelInfo, 0);
  InstallCrashHandlers();
  const std::wstring how = argv[2];
  if (how.starts_with(L"thread-")) {
    std::thread worker(Crash, how.substr(7));
    worker.join();
  } else {
    Crash(how);
  }
  QvBrelLogging::LogUninit();
  return 0;
}
