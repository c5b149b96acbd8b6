// Test helper: writes given output to its standard output in given chunks, with given pauses, and
// exits with a given code.
//   print_chunks                     prints its own command line and exits 0
//   print_chunks <exit code> [step...]
// Steps, in order: w:<hex bytes> one WriteFile of those bytes; p:<ms> a pause; g:<ms> starts a
// grandchild (this program pausing <ms>) that inherits the standard output and is not waited for.
// The exit code may be decimal or 0x-hex (0xFFFFFFFF).
#include <windows.h>

#include <string>

#include "base/UniqueHandle.h"

namespace {

void Write(HANDLE output, const std::string& bytes) {
  DWORD written = 0;
  ::WriteFile(output, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

std::string FromHex(const std::wstring& hex) {
  std::string bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 2)
    bytes.push_back(static_cast<char>(std::wcstoul(hex.substr(i, 2).c_str(), nullptr, 16)));
  return bytes;
}

bool StartGrandchild(HANDLE output, const std::wstring& pauseMs) {
  wchar_t self[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring commandLine = L"\"" + std::wstring(self) + L"\" 0 p:" + pauseMs;
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = output;
  startup.hStdError = output;
  PROCESS_INFORMATION created = {};
  if (!::CreateProcessW(self, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                        &created))
    return false;
  UniqueHandle process(created.hProcess);
  UniqueHandle thread(created.hThread);
  return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const HANDLE output = ::GetStdHandle(STD_OUTPUT_HANDLE);
  if (argc < 2) {
    std::wstring line = ::GetCommandLineW();
    Write(output, std::string(line.begin(), line.end()) + "\n");
    return 0;
  }
  const DWORD exitCode = std::wcstoul(argv[1], nullptr, 0);
  for (int i = 2; i < argc; ++i) {
    const std::wstring step = argv[i];
    const std::wstring value = step.size() > 2 ? step.substr(2) : std::wstring();
    if (step.starts_with(L"w:")) Write(output, FromHex(value));
    if (step.starts_with(L"p:")) ::Sleep(std::wcstoul(value.c_str(), nullptr, 10));
    if (step.starts_with(L"g:") && !StartGrandchild(output, value)) return 3;
  }
  return static_cast<int>(exitCode);
}
