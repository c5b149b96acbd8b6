// Test machinery: a child program started with the current user's look set for it: the light or
// dark theme (AppsUseLightTheme) and the DPI (LogPixels, 0 removes the value). A process reads its
// DPI when it starts, so the values are set first, the child runs with this process's standard
// handles, and the values are put back when it has ended. Users of the same values wait for each
// other (SavedUserValue's lock).
#pragma once

#include <windows.h>

#include <string>

#include "base/UniqueHandle.h"
#include "tests/support/SavedUserValue.h"

namespace QvTest {

// The child's exit code; 3 when the values could not be set or the child not started.
inline int RunWithUserLook(bool dark, int dpi, std::wstring commandLine) {
  SavedUserValue lightTheme(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize",
                            L"AppsUseLightTheme");
  SavedUserValue logPixels(L"Control Panel\\Desktop", L"LogPixels");
  if (!lightTheme.SetDword(dark ? 0 : 1)) return 3;
  if (dpi > 0 ? !logPixels.SetDword(static_cast<DWORD>(dpi)) : !logPixels.Remove()) return 3;
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = ::GetStdHandle(STD_OUTPUT_HANDLE);
  startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION info{};
  if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                        &info))
    return 3;
  const UniqueHandle process(info.hProcess);
  const UniqueHandle thread(info.hThread);
  ::WaitForSingleObject(process.get(), INFINITE);
  DWORD code = 1;
  ::GetExitCodeProcess(process.get(), &code);
  return static_cast<int>(code);
}

}  // namespace QvTest
