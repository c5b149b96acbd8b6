// The script API's `Atom` module: global atoms as named markers shared between processes. Never logs.
#pragma once

#include "script/Lua.h"

namespace Lua::Atom {

// (name) -> true, or false and the error code.
int GlobalAdd(lua_State* state);
// (name) -> whether the atom exists.
int GlobalExists(lua_State* state);
// (name) -> false for a missing atom; otherwise drops one reference: true, or false and the error code.
int GlobalDelete(lua_State* state);

void Register(lua_State* state);

}  // namespace Lua::Atom
