// The script API's file module `FileSystem` and its constants SpecialPath_* and ListDir_*.
#pragma once

#include <windows.h>

#include "script/Lua.h"

// The script names CopyFile and DeleteFile are windows.h macros for the W functions; without them
// every file including this one sees the same native names.
#undef CopyFile
#undef DeleteFile

namespace Lua::FileSystem {

// Each native returns exactly one value; failures give false, "" or an empty table, only
// arguments of the wrong type raise. Every function that changes the disk refuses (warning, false)
// a path that is not absolute or that has a link on the way above its last component.
int Exists(lua_State* state);
int IsFile(lua_State* state);
int IsDirectory(lua_State* state);
int CopyFile(lua_State* state);
int MkDir(lua_State* state);
int GetSpecialPath(lua_State* state);
int RemoveRecursive(lua_State* state);
int HasPendingFileOperation(lua_State* state);
int DeleteFile(lua_State* state);
int DeleteFileAndParent(lua_State* state);
int RemoveDirectoryIfEmpty(lua_State* state);
int RemoveDirectoryRecursiveAndParentIfEmpty(lua_State* state);
int MakePath(lua_State* state);
int SplitPath(lua_State* state);
int ContainsFiles(lua_State* state);
int ListDirectory(lua_State* state);

void Register(lua_State* state);

}  // namespace Lua::FileSystem
