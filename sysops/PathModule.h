// The script API's `Path` module: takes a product's own entries out of the list of file renames and
// deletions the system performs at the next restart (PendingFileRenameOperations).
#pragma once

#include "script/Lua.h"

namespace Lua::Path {

// (prefix) -> the number of pending operations removed, or nothing when the list cannot be read or
// written back. An empty prefix removes nothing (0).
int RemoveFromPendingOperation(lua_State* state);

void Register(lua_State* state);

}  // namespace Lua::Path
