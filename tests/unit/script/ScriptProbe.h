// Test access to a script's Lua state: globals, stack size, and natives registered by the test.
#pragma once

#include <string>

#include "app/ScriptApi.h"
#include "script/LuaUninstallScript.h"

namespace QvTest {

template <typename Base>
class Probe : public Base {
 public:
  // Every probe runs with the tool's whole script API.
  explicit Probe(std::string path, std::string source = {})
      : Base(std::move(path), Lua::RegisterScriptApi, std::move(source)) {}
  using Base::LoadAndRun;

  lua_State* LuaState() const { return this->State(); }
  int StackSize() const { return lua_gettop(this->State()); }

  // The global as Lua text (tostring), or "<none>" when the state does not exist.
  std::string Global(const char* name) {
    lua_State* state = this->State();
    if (state == nullptr) return "<none>";
    lua_getglobal(state, "tostring");
    lua_getglobal(state, name);
    lua_call(state, 1, 1);
    std::string text = lua_tostring(state, -1);
    lua_pop(state, 1);
    return text;
  }

  void SetNative(const char* name, lua_CFunction function) { lua_register(this->State(), name, function); }
};

using ScriptProbe = Probe<LuaScript>;
using ContractProbe = Probe<LuaUninstallScript>;

}  // namespace QvTest
