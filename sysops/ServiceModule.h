// The script API's service module `Service` and its state constants SERVICE_INVALID_VALUE ..
// SERVICE_PAUSED.
#pragma once

#include "script/Lua.h"

namespace Lua::Service {

// Each takes one service name and returns one value; failures give false (or -1 from State) with a
// logged error, only a missing or non-string name raises.
int State(lua_State* state);
int Start(lua_State* state);
int Stop(lua_State* state);
int Cleanup(lua_State* state);

void Register(lua_State* state);

}  // namespace Lua::Service
