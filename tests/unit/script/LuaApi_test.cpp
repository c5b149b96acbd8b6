// The shared machinery of natives: the argument cursor (positions, optional trailing arguments,
// errors that read as lauxlib's own), the calling script's name and the stack dump.
#include "script/LuaApi.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "tests/support/ScratchDir.h"
#include "tests/unit/script/ScriptProbe.h"

namespace {

using QvTest::ScratchDir;
using QvTest::ScriptProbe;

// Reads (string, integer, optional integer, optional string) and returns them as "s|i|oi|os", "-"
// for an optional argument not given.
int Cursor(lua_State* state) {
  Lua::ArgCursor args(state);
  const std::string_view text = args.String();
  const lua_Integer number = args.Integer();
  const std::optional<lua_Integer> count = args.OptInteger();
  const std::optional<std::string_view> mask = args.OptString();
  lua_pushfstring(state, "%s|%I|%s|%s", std::string(text).c_str(), number,
                  count ? std::to_string(*count).c_str() : "-", mask ? std::string(*mask).c_str() : "-");
  return 1;
}

// The same reads through lauxlib, for the messages to compare with.
int Lauxlib(lua_State* state) {
  luaL_checkstring(state, 1);
  luaL_checkinteger(state, 2);
  if (!lua_isnoneornil(state, 3)) luaL_checkinteger(state, 3);
  if (!lua_isnoneornil(state, 4)) luaL_checkstring(state, 4);
  return 0;
}

struct StateCloser {
  void operator()(lua_State* state) const { lua_close(state); }
};

// What `f(<arguments>)` returned, or the error it raised, with "f" standing for either native.
std::string Call(lua_State* state, const char* native, const std::string& arguments) {
  const std::string chunk = std::string("return ") + native + "(" + arguments + ")";
  if (luaL_loadbuffer(state, chunk.data(), chunk.size(), "=chunk") != LUA_OK ||
      lua_pcall(state, 0, 1, 0) != LUA_OK) {
    std::string error = lua_tostring(state, -1);
    lua_pop(state, 1);
    return "error: " + error;
  }
  std::string result = lua_isstring(state, -1) ? lua_tostring(state, -1) : "<none>";
  lua_pop(state, 1);
  return result;
}

TEST(ArgCursorTest, ReadsPositionsAndRaisesTheStandardErrors) {
  const std::unique_ptr<lua_State, StateCloser> state(luaL_newstate());
  lua_register(state.get(), "f", Cursor);
  lua_register(state.get(), "lauxlib", Lauxlib);
  const struct {
    const char* arguments;
    const char* result;  // an error names the native "f"
  } cases[] = {
      {"'a', 1", "a|1|-|-"},
      {"5, '7'", "5|7|-|-"},  // a number as text, text as a number
      {"'a', 2.0, nil, nil", "a|2|-|-"},
      {"'a', 1, 3", "a|1|3|-"},
      {"'a', 1, nil, '*.log'", "a|1|-|*.log"},
      {"'a', 1, '4', 5", "a|1|4|5"},
      {"", "error: chunk:1: bad argument #1 to 'f' (string expected, got no value)"},
      {"{}, 1", "error: chunk:1: bad argument #1 to 'f' (string expected, got table)"},
      {"'a'", "error: chunk:1: bad argument #2 to 'f' (number expected, got no value)"},
      {"'a', nil", "error: chunk:1: bad argument #2 to 'f' (number expected, got nil)"},
      {"'a', 1.5", "error: chunk:1: bad argument #2 to 'f' (number has no integer representation)"},
      {"'a', 'x'", "error: chunk:1: bad argument #2 to 'f' (number expected, got string)"},
      {"'a', 1, true", "error: chunk:1: bad argument #3 to 'f' (number expected, got boolean)"},
      {"'a', 1, '2.5'", "error: chunk:1: bad argument #3 to 'f' (number has no integer representation)"},
      {"'a', 1, nil, {}", "error: chunk:1: bad argument #4 to 'f' (string expected, got table)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments);
    EXPECT_EQ(Call(state.get(), "f", c.arguments), c.result);
    const std::string expected = c.result;
    if (expected.starts_with("error: ")) {
      std::string fromLauxlib = Call(state.get(), "lauxlib", c.arguments);
      const std::size_t name = fromLauxlib.find("'lauxlib'");
      if (name != std::string::npos) fromLauxlib.replace(name, 9, "'f'");
      EXPECT_EQ(fromLauxlib, expected);
    }
  }
  EXPECT_EQ(lua_gettop(state.get()), 0);
}

int WhoCalls(lua_State* state) {
  Lua::PushString(state, Lua::CallingScriptName(state));
  return 1;
}

TEST(ScriptName, ComesFromTheCallingLuaFunction) {
  ScratchDir dir;
  ASSERT_TRUE(dir.Created());
  ASSERT_TRUE(dir.Write(L"lib_names.lua", "return {who = function() return WhoCalls() end}\n"));
  ASSERT_TRUE(dir.Write(L"omnivo.lua",
                        "function Main() return WhoCalls() end\n"
                        "function FromLib() return require('lib_names').who() end\n"));
  ScriptProbe script(dir.AnsiPath() + "\\omnivo.lua");
  ASSERT_TRUE(script.Initialize());
  script.SetNative("WhoCalls", WhoCalls);
  ASSERT_TRUE(script.RunChunk("fromMain, fromLib = Main(), FromLib()", "=names")) << script.GetTopString();
  EXPECT_EQ(script.Global("fromMain"), "omnivo.lua");
  EXPECT_EQ(script.Global("fromLib"), "lib_names.lua");

  // A chunk from memory is named by its path; a name without a folder stays whole.
  ScriptProbe memory("C:\\somewhere\\memory.lua", "fromMemory = WhoCalls()");
  ASSERT_TRUE(memory.InitializeLuaState());
  memory.SetNative("WhoCalls", WhoCalls);
  ASSERT_EQ(memory.LoadAndRun(), LUA_OK);
  EXPECT_EQ(memory.Global("fromMemory"), "memory.lua");
  ASSERT_TRUE(memory.RunChunk("plain = WhoCalls()", "=plain"));
  EXPECT_EQ(memory.Global("plain"), "=plain");

  // Called straight from the host there is no calling Lua function.
  lua_State* state = memory.LuaState();
  lua_pushcfunction(state, WhoCalls);
  ASSERT_EQ(lua_pcall(state, 0, 1, 0), LUA_OK);
  EXPECT_STREQ(lua_tostring(state, -1), "");
  lua_pop(state, 1);
}

TEST(LuaStack, EachEntryIsFollowedByTwoBlanks) {
  lua_State* state = luaL_newstate();
  ASSERT_NE(state, nullptr);
  EXPECT_EQ(Lua::FormatStack(state), "");
  lua_pushstring(state, "a");
  lua_pushinteger(state, 1);
  lua_pushboolean(state, 1);
  lua_newtable(state);
  EXPECT_EQ(Lua::FormatStack(state), "'a'  1.000000  true  table  ");
  lua_settop(state, 0);
  lua_pushnumber(state, -2.5);
  lua_pushboolean(state, 0);
  lua_pushnil(state);
  lua_pushcfunction(state, [](lua_State*) { return 0; });
  lua_pushstring(state, "it's");
  EXPECT_EQ(Lua::FormatStack(state), "-2.500000  false  nil  function  'it's'  ");
  // Formatting leaves the values as they were.
  EXPECT_EQ(lua_type(state, 1), LUA_TNUMBER);
  lua_close(state);
}

}  // namespace
