// Test helper: runs a command line with a restricted token in which BUILTIN\Administrators is a
// deny-only group, waits, and exits with the child's exit code (prints it as well).
#include <windows.h>

#include <cstdio>
#include <string>

#include "base/UniqueHandle.h"

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return 250;
  std::wstring commandLine;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) commandLine += L' ';
    commandLine += L'"';
    commandLine += argv[i];
    commandLine += L'"';
  }
  UniqueHandle processToken;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ALL_ACCESS, processToken.put())) return 251;
  SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
  UniqueAllocatedSid administrators;
  if (!::AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0,
                                  0, 0, 0, 0, administrators.put()))
    return 252;
  SID_AND_ATTRIBUTES disable{administrators.get(), 0};
  UniqueHandle restricted;
  if (!::CreateRestrictedToken(processToken.get(), 0, 1, &disable, 0, nullptr, 0, nullptr, restricted.put()))
    return 253;
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (!::CreateProcessAsUserW(restricted.get(), nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0,
                              nullptr, nullptr, &startup, &process))
    return 254;
  UniqueHandle thread(process.hThread);
  UniqueHandle child(process.hProcess);
  ::WaitForSingleObject(child.get(), INFINITE);
  DWORD code = 255;
  ::GetExitCodeProcess(child.get(), &code);
  std::printf("exit code: %lu\n", code);
  return static_cast<int>(code);
}
