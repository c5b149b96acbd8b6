// The script API's registry module `Reg` and its constants HKLM, HKCR, HKU, KEY_WOW64_32KEY and
// KEY_WOW64_64KEY.
#pragma once

#include "script/Lua.h"

namespace Lua::Reg {

// Each native returns exactly one value; registry failures give false, 0, "" or an empty table
// (logged by RegOps), only arguments of the wrong type raise.
int BranchExists(lua_State* state);
int KeyExists(lua_State* state);
int GetNumber(lua_State* state);
int SetNumber(lua_State* state);
int GetString(lua_State* state);
int SetString(lua_State* state);
int GetMultiString(lua_State* state);
int DeleteBranch(lua_State* state);
int DeleteBranchByMask(lua_State* state);
int DeleteKey(lua_State* state);
int DeleteBranchIfEmpty(lua_State* state);
int IsBranchEmpty(lua_State* state);
int GetSubKeys(lua_State* state);
int GetValueNames(lua_State* state);

void Register(lua_State* state);

}  // namespace Lua::Reg
