// The Reg script module: argument reading and the calls into the registry layer.
#include "sysops/registry/RegModule.h"

#include <windows.h>

#include <optional>
#include <string>

#include "base/Win32Registry.h"
#include "script/LuaApi.h"
#include "sysops/registry/RegOps.h"

namespace {

using Lua::PushBoolean;

// The root and view of one call, read in argument order.
struct Target {
  HKEY root;
  std::wstring branch;
};

HKEY RootOf(lua_Integer value) {
  switch (value) {
    case 1:
      return HKEY_CLASSES_ROOT;
    case 2:
      return HKEY_USERS;
    default:
      return HKEY_LOCAL_MACHINE;
  }
}

Target ReadTarget(Lua::ArgCursor& args) {
  const HKEY root = RootOf(args.Integer());
  return Target{root, Lua::ToWide(args.String())};
}

// The optional view flags after the last required argument; absent or nil is the process's own view.
REGSAM ReadFlags(Lua::ArgCursor& args) { return static_cast<REGSAM>(args.OptInteger().value_or(0)); }

int PushList(lua_State* state, const std::vector<std::wstring>& items) {
  Lua::PushStringList(state, items);
  return 1;
}

}  // namespace

namespace Lua::Reg {

int BranchExists(lua_State* state) {
  ArgCursor args(state);
  const Target target = ReadTarget(args);
  Win32Registry registry(target.root, ReadFlags(args));
  return PushBoolean(state, registry.KeyExists(target.branch));
}

int KeyExists(lua_State* state) {
  ArgCursor args(state);
  const Target target = ReadTarget(args);
  const std::wstring key = ToWide(args.String());
  Win32Registry registry(target.root, ReadFlags(args));
  // A REG_NONE value reads as type 0 and so counts as absent.
  return PushBoolean(state, registry.GetValueType(target.branch, key) != REG_NONE);
}

int GetNumber(lua_State* state) {
  ArgCursor args(state);
  const Target target = ReadTarget(args);
  const std::wstring key = ToWide(args.String());
  const REGSAM flags = ReadFlags(args);
  lua_pushinteger(state, static_cast<lua_Integer>(RegOps::GetDWORD(target.root, flags, target.branch, key)));
  return 1;
}

int SetNumber(lua_State* state) {
  ArgCursor args(state);
  const DWORD value = static_cast<DWORD>(args.Integer() & 0xFFFFFFFF);
  const Target target = ReadTarget(args);
  const std::wstring key = ToWide(args.String());
  const REGSAM flags = ReadFlags(args);
  return PushBoolean(state, RegOps::SetDWORD(target.root, flags, target.branch, key, value));
}

int GetString(lua_State* state) {
  ArgCursor args(state);
  const Target target = ReadTarget(args);
  const std::wstring key = ToWide(args.String());
  const REGSAM flags = ReadFlags(args);
  PushString(state, RegOps::GetString(target.root, flags, target.branch, key));
  return 1;
}

int SetString(lua_State* state) {
  ArgCursor args(state);
  const std::wstring text = ToWide(args.String());
  const Target target = ReadTarget(args);
  const std::wstring key = ToWide(args.String());
  const REGSAM flags = ReadFlags(args);
  return PushBoolean(state, RegOps::SetString(target.root, flags, target.branch, key, text));
}

int GetMultiString(lua_State* state) {
  ArgCursor args(state);
  const Target target = ReadTarget(args);
  const std::wstring key = ToWide(args.String());
  const REGSAM flags = ReadFlags(args);
  return PushList(state, RegOps::GetMultiString(target.root, flags, target.branch, key));
}

int DeleteBranch(lua_State* state) {
  ArgCursor args(state);
  const Target target = ReadTarget(args);
  const REGSAM flags = ReadFlags(args);
  return PushBoolean(state, RegOps::WipeBranch(target.root, flags, target.branch));
}

int DeleteBranchByMask(lua_State* state) {
  ArgCursor args(state);
  const Target target = ReadTarget(args);
  const std::wstring mask = ToWide(args.String());
  const REGSAM flags = ReadFlags(args);
  return PushBoolean(state, RegOps::DeleteBranchByMask(target.root, flags, target.branch, mask));
}

int DeleteKey(lua_State* state) {
  ArgCursor args(state);
  const Target target = ReadTarget(args);
  const std::wstring key = ToWide(args.String());
  const REGSAM flags = ReadFlags(args);
  return PushBoolean(state, RegOps::DeleteKey(target.root, flags, target.branch, key));
}

int DeleteBranchIfEmpty(lua_State* state) {
  ArgCursor args(state);
  const Target target = ReadTarget(args);
  const REGSAM flags = ReadFlags(args);
  // Checked once: the emptiness and the removal concern the same key, taken as itself.
  const std::optional<RegOps::CheckedBranch> branch =
      RegOps::BranchGuard::ForRemoval(target.root, flags, target.branch);
  return PushBoolean(state, branch && RegOps::IsBranchEmpty(*branch) && RegOps::RemoveBranch(*branch));
}

int IsBranchEmpty(lua_State* state) {
  ArgCursor args(state);
  const Target target = ReadTarget(args);
  const REGSAM flags = ReadFlags(args);
  return PushBoolean(state, RegOps::IsBranchEmpty(target.root, flags, target.branch));
}

int GetSubKeys(lua_State* state) {
  ArgCursor args(state);
  const Target target = ReadTarget(args);
  const REGSAM flags = ReadFlags(args);
  return PushList(state, RegOps::GetSubkeys(target.root, flags, target.branch));
}

int GetValueNames(lua_State* state) {
  ArgCursor args(state);
  const Target target = ReadTarget(args);
  const REGSAM flags = ReadFlags(args);
  return PushList(state, RegOps::GetValueKeys(target.root, flags, target.branch));
}

void Register(lua_State* state) {
  RegisterConstant(state, "HKLM", 0);
  RegisterConstant(state, "HKCR", 1);
  RegisterConstant(state, "HKU", 2);
  RegisterConstant(state, "KEY_WOW64_32KEY", KEY_WOW64_32KEY);
  RegisterConstant(state, "KEY_WOW64_64KEY", KEY_WOW64_64KEY);
  static constexpr luaL_Reg functions[] = {{"BranchExists", BranchExists},
                                           {"KeyExists", KeyExists},
                                           {"GetNumber", GetNumber},
                                           {"SetNumber", SetNumber},
                                           {"GetString", GetString},
                                           {"SetString", SetString},
                                           {"GetMultiString", GetMultiString},
                                           {"DeleteBranch", DeleteBranch},
                                           {"DeleteBranchByMask", DeleteBranchByMask},
                                           {"DeleteKey", DeleteKey},
                                           {"DeleteBranchIfEmpty", DeleteBranchIfEmpty},
                                           {"IsBranchEmpty", IsBranchEmpty},
                                           {"GetSubKeys", GetSubKeys},
                                           {"GetValueNames", GetValueNames},
                                           {nullptr, nullptr}};
  RegisterModule(state, "Reg", functions);
}

}  // namespace Lua::Reg
