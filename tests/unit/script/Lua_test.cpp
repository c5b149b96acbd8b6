// Lua errors leaving a native: whatever the native owns is released, the error object arrives intact,
// and an error caught inside the native leaves its owners alone.
#include "script/Lua.h"

#include <gtest/gtest.h>

#include <string>

#include "base/UniqueHandle.h"
#include "script/LuaApi.h"
#include "tests/unit/script/ScriptProbe.h"

namespace {

using QvTest::ScriptProbe;

bool EventExists(const std::wstring& name) {
  UniqueHandle event(::OpenEventW(SYNCHRONIZE, FALSE, name.c_str()));
  return event.valid() || ::GetLastError() != ERROR_FILE_NOT_FOUND;
}

// HoldAndRaise(name, how[, arg]): creates the named event into an owner, then raises the way `how`
// says; every way ends in an error while the event is held.
int HoldAndRaise(lua_State* state) {
  const std::wstring name = Lua::ToWide(Lua::CheckString(state, 1));
  UniqueHandle event(::CreateEventW(nullptr, TRUE, FALSE, name.c_str()));
  if (!event || ::GetLastError() == ERROR_ALREADY_EXISTS) return luaL_error(state, "event not created");
  const std::string how(Lua::CheckString(state, 2));
  if (how == "argument") Lua::CheckInteger(state, 3);
  if (how == "call") {
    lua_pushvalue(state, 3);
    lua_call(state, 0, 0);
  }
  if (how == "pcall") {
    lua_pushvalue(state, 3);
    // Caught here, below the owner: the event must still be open afterwards.
    if (lua_pcall(state, 0, 0, 0) == LUA_OK || !EventExists(name))
      return luaL_error(state, "inner error lost");
  }
  return luaL_error(state, "holding %s", how.c_str());
}

TEST(LuaErrors, ReleaseWhatTheRaisingNativeOwns) {
  ScriptProbe script("C:\\qv\\owners.lua", "x = 1");
  ASSERT_TRUE(script.Initialize());
  script.SetNative("HoldAndRaise", HoldAndRaise);
  struct Case {
    const char* chunk;
    const char* error;
  };
  const Case cases[] = {
      {"HoldAndRaise(name, 'error')", "chunk:1: holding error"},
      {"HoldAndRaise(name, 'argument', 'x')",
       "chunk:1: bad argument #3 to 'HoldAndRaise' (number expected, got string)"},
      {"HoldAndRaise(name, 'call', function() error('inner') end)", "chunk:1: inner"},
      // Through two natives at once.
      {"HoldAndRaise(name, 'call', function() HoldAndRaise(name .. '-inner', 'error') end)",
       "chunk:1: holding error"},
      {"HoldAndRaise(name, 'pcall', function() error('inner') end)", "chunk:1: holding pcall"},
      // A coroutine catches on its own thread.
      {"local ok, e = coroutine.resume(coroutine.create(HoldAndRaise), name, 'error') error(e, 0)",
       "holding error"},
  };
  int row = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.chunk);
    const std::string name =
        "Local\\QvLuaOwner-" + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(++row);
    lua_pushlstring(script.LuaState(), name.data(), name.size());
    lua_setglobal(script.LuaState(), "name");
    ASSERT_FALSE(EventExists(Lua::ToWide(name)));

    EXPECT_FALSE(script.RunChunk(c.chunk, "=chunk"));
    EXPECT_EQ(script.GetTopString(), c.error);
    lua_settop(script.LuaState(), 0);
    EXPECT_FALSE(EventExists(Lua::ToWide(name)));
    EXPECT_FALSE(EventExists(Lua::ToWide(name + "-inner")));
  }
  // The state outlives the errors.
  EXPECT_TRUE(script.RunChunk("x = 2", "=chunk"));
  EXPECT_EQ(script.Global("x"), "2");
}

}  // namespace
