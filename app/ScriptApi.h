// The script API as the tool publishes it: every module, in order, for each script host to take.
#pragma once

#include "script/Lua.h"

namespace Lua {

// Registers every module of the script API into `state` in publishing order (Reg, Msi, Log,
// FileSystem, Process, Service, Win32Driver, Atom, Path, Meta, System). Matches script's ScriptApi,
// so the application hands it to every LuaScript it makes.
void RegisterScriptApi(lua_State* state);

}  // namespace Lua
