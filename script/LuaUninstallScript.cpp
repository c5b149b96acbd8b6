// Calls into the contract functions of an uninstall script, with errors logged and counted.
#include "script/LuaUninstallScript.h"

#include <utility>

#include "base/LineBreaks.h"
#include "core/Status.h"
#include "logging/QvBrelLogging.h"
#include "script/LuaApi.h"

LuaUninstallScript::LuaUninstallScript(std::string path, ScriptApi api, std::string source)
    : LuaScript(std::move(path), api, std::move(source)) {}

LuaUninstallScript::~LuaUninstallScript() = default;

bool LuaUninstallScript::IsFunction(const char* name) {
  lua_State* state = State();
  if (state == nullptr) return false;
  // A raw lookup: a script that gives the globals a raising __index (a "strict" module) must not
  // raise here, outside protected mode, where Lua's panic would end the process.
  lua_rawgeti(state, LUA_REGISTRYINDEX, LUA_RIDX_GLOBALS);
  lua_pushstring(state, name);
  const bool function = lua_rawget(state, -2) == LUA_TFUNCTION;
  lua_pop(state, 2);
  return function;
}

bool LuaUninstallScript::CallLuaFunction(const char* name) {
  lua_State* state = State();
  if (!IsFunction(name)) {
    QV_BREL_LOG(QV_ERROR, L"Could not find lua function '%S'", name);
    return false;
  }
  lua_getglobal(state, name);
  const int status = lua_pcall(state, 0, 1, 0);
  if (status == LUA_OK) return true;
  Status::Instance().SetFailed();
  const std::string error = QvText::EscapeLineBreaks(GetTopString());
  QV_BREL_LOG(QV_ERROR, "Error %d calling '%hs'. Error: %hs", status, name, error.c_str());
  Lua::LogStack(state);
  lua_pop(state, 1);
  return false;
}

bool LuaUninstallScript::Initialize() {
  const bool result = LuaScript::Initialize();
  if (IsValid() && IsFunction("GetPriority") && CallLuaFunction("GetPriority")) {
    lua_State* state = State();
    // Only an integer subtype counts: 20.0, "10" and nil leave the default.
    if (lua_isinteger(state, -1)) priority_ = static_cast<int32_t>(lua_tointeger(state, -1));
    lua_pop(state, 1);
  }
  return result;
}

bool LuaUninstallScript::IsValidScript() {
  // Every required function is probed, even after one is found missing.
  const bool hasId = IsFunction("GetProductId");
  const bool hasDetect = IsFunction("DetectProduct");
  const bool hasCleanup = IsFunction("CleanupProduct");
  const bool valid = hasId && hasDetect && hasCleanup;
  if (!valid)
    QV_BREL_LOG(QV_DEBUG, "'%hs' is not a valid uninstall script, treating it as library", Path().c_str());
  return valid;
}

std::wstring LuaUninstallScript::CallForString(const char* name) {
  if (!CallLuaFunction(name)) return {};
  lua_State* state = State();
  std::wstring result;
  const int type = lua_type(state, -1);
  if (type == LUA_TSTRING || type == LUA_TNUMBER) {
    size_t length = 0;
    const char* text = lua_tolstring(state, -1, &length);
    result = Lua::ToWide({text, length});
  }
  lua_pop(state, 1);
  return result;
}

bool LuaUninstallScript::CallForBoolean(const char* name) {
  if (!CallLuaFunction(name)) return false;
  lua_State* state = State();
  const bool result = lua_isboolean(state, -1) && lua_toboolean(state, -1);
  lua_pop(state, 1);
  return result;
}

std::wstring LuaUninstallScript::GetProductId() { return CallForString("GetProductId"); }

std::wstring LuaUninstallScript::GetSubProductIdDetected() {
  return IsFunction("GetSubProductIdDetected") ? CallForString("GetSubProductIdDetected") : std::wstring();
}

bool LuaUninstallScript::DetectProduct() { return CallForBoolean("DetectProduct"); }

bool LuaUninstallScript::CleanupProduct() { return CallForBoolean("CleanupProduct"); }

std::wstring LuaUninstallScript::GetProductDisplayName() {
  return IsFunction("GetProductDisplayName") ? CallForString("GetProductDisplayName") : std::wstring();
}

int LuaUninstallScript::GetPriority() { return priority_; }
