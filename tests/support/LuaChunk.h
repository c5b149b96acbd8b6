// A Lua state with the whole script API for tests of the script modules: chunks run in it and
// their results come back as one comparable text.
#pragma once

#include <string>

#include "app/ScriptApi.h"
#include "base/Utf8.h"
#include "script/LuaApi.h"

namespace QvTest {

class LuaChunk {
 public:
  LuaChunk() {
    if (state_ == nullptr) return;
    luaL_openlibs(state_);
    Lua::RegisterScriptApi(state_);
  }
  LuaChunk(const LuaChunk&) = delete;
  LuaChunk& operator=(const LuaChunk&) = delete;
  ~LuaChunk() {
    if (state_ != nullptr) lua_close(state_);
  }

  bool Valid() const { return state_ != nullptr; }
  lua_State* State() const { return state_; }

  // Sets a global string (UTF-8 of `value`).
  void SetGlobal(const char* name, const std::wstring& value) {
    lua_pushstring(state_, QvText::ToUtf8(value).c_str());
    lua_setglobal(state_, name);
  }

  // Runs `chunk` ("return ..." for results) and describes what it gave: "n:<count>" and each result
  // as type:value (tables as {a,b}), or "error: <message>".
  std::string Run(const std::string& chunk) {
    const int top = lua_gettop(state_);
    if (luaL_loadbuffer(state_, chunk.data(), chunk.size(), "=chunk") != LUA_OK ||
        lua_pcall(state_, 0, LUA_MULTRET, 0) != LUA_OK) {
      std::string error = std::string("error: ") + lua_tostring(state_, -1);
      lua_settop(state_, top);
      return error;
    }
    std::string text = "n:" + std::to_string(lua_gettop(state_) - top);
    for (int i = top + 1; i <= lua_gettop(state_); ++i) {
      text += " ";
      if (lua_istable(state_, i)) {
        text += "{";
        for (lua_Integer k = 1; lua_rawgeti(state_, i, k) != LUA_TNIL; ++k) {
          text += (k > 1 ? "," : "") + std::string(lua_tostring(state_, -1));
          lua_pop(state_, 1);
        }
        lua_pop(state_, 1);
        text += "}";
      } else {
        text += std::string(luaL_typename(state_, i)) + ":" + luaL_tolstring(state_, i, nullptr);
        lua_pop(state_, 1);
      }
    }
    lua_settop(state_, top);
    return text;
  }

 private:
  lua_State* state_ = luaL_newstate();
};

}  // namespace QvTest
