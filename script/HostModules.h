// The Log, Meta and System modules: script log records under the script's name, the run's outcome
// flags, and the server-edition query.
#pragma once

#include "script/Lua.h"

namespace Lua::Log {
// Log.Debug/Info/Warning/Error(message): one untagged record "[script] message"; a missing or
// non-string message raises the argument error.
int Debug(lua_State* state);
int Info(lua_State* state);
int Warning(lua_State* state);
int Error(lua_State* state);
void Register(lua_State* state);
}  // namespace Lua::Log

namespace Lua::Meta {
// Meta.SetFailed([message]): marks the run failed and logs the message at fatal level.
int SetFailed(lua_State* state);
// Meta.SetRebootNeeded([message]): marks that a restart is needed and logs the message.
int SetRebootNeeded(lua_State* state);
void Register(lua_State* state);
}  // namespace Lua::Meta

namespace Lua::System {
// System.IsWindowsServer() -> true unless the system is a workstation edition.
int IsWindowsServer(lua_State* state);
void Register(lua_State* state);
}  // namespace Lua::System
