// Test helper: runs a command line with a restricted token in which BUILTIN\Administrators is a
// deny-only group, waits, and exits with the child's exit code (prints it as well).
#include <windows.h>

#include <cstdio>
#include <string>

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return 250;
  std::wstring commandLine;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) commandLine += L' ';
    commandLine += L'"';
    commandLine += argv[i];
    commandLine += L'"';
  }
  HANDLE processToken = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ALL_ACCESS, &processToken)) return 251;
  SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
  PSID administrators = nullptr;
  if (!::AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0,
                                  0, 0, 0, 0, &administrators))
    return 252;
  SID_AND_ATTRIBUTES disable{administrators, 0};
  HANDLE restricted = nullptr;
  if (!::CreateRestrictedToken(processToken, 0, 1, &disable, 0, nullptr, 0, nullptr, &restricted)) return 253;
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (!::CreateProcessAsUserW(restricted, nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                              nullptr, &startup, &process))
    return 254;
  ::WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 255;
  ::GetExitCodeProcess(process.hProcess, &code);
  std::printf("exit code: %lu\n", code);
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  ::CloseHandle(restricted);
  ::FreeSid(administrators);
  ::CloseHandle(processToken);
  return static_cast<int>(code);
}
