// The script API's process module `Process` (terminating processes by executable path, starting
// programs with an optional wait and output capture) and its constants: the CreationFlags_ family,
// CP_UTF8, CP_ACP and CP_OEMCP.
#pragma once

#include <windows.h>

#include <string>

#include "base/UniqueHandle.h"
#include "script/Lua.h"

namespace Lua::Process {

enum class MatchRule { AllFromPath, ByPath, ByName, ByNameMask };

// Whether a process whose executable is `exePath` falls under `rule` with the script's `argument`:
// below the folder, the same path, the same file name (all ignoring case), or a file name matching
// the mask (case-sensitive).
bool Matches(MatchRule rule, const std::wstring& exePath, const std::wstring& argument);

// Terminates every matching process but this one (the tool may run from the folder a script
// clears) and waits up to 10 s in all for them to end. True when the processes could be listed.
bool TerminateProcesses(const std::wstring& argument, MatchRule rule);

// Creates the process with the application name given (never searched for) and the command line
// "\"path\" arguments" ("\"path\"" without arguments); handles are inherited only when `startup`
// asks for standard handles. Empty on failure, with the error left for GetLastError.
UniqueHandle LaunchProcess(const std::wstring& path, const std::wstring* arguments, DWORD flags,
                           const std::wstring* workingDirectory, const STARTUPINFOW* startup);

int TerminateAllFromPath(lua_State* state);
int TerminateByPath(lua_State* state);
int TerminateByName(lua_State* state);
int TerminateByNameMask(lua_State* state);
int StartProcessAndWaitForCompletion(lua_State* state);
int StartProcess(lua_State* state);

void Register(lua_State* state);

}  // namespace Lua::Process
