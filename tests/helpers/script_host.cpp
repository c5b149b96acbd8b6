// Test host for the shipped Lua scripts: loads one script file the way the tool does (its own state,
// the whole script API, `require` beside the file) and runs a chunk in that state against the
// machine it runs on, without the rest of the tool (no archive, no detection of every product).
//   script_host <script.lua> <chunk>
// The chunk sees the script's globals (a library's table, a product's contract functions). Each
// value the chunk returns is printed on its own line with tostring; a table prints its array part,
// one line per element. Exit codes: 0 done, 1 the script did not load, 2 the chunk failed (its error
// on the standard error), 3 bad command line.
// Nothing is logged: the host starts no logger, so it leaves no log folder on the machine.
#include <windows.h>

#include <cstdio>
#include <string>

#include "app/ScriptApi.h"
#include "base/Utf8.h"
#include "script/Lua.h"
#include "script/LuaUninstallScript.h"

namespace {

class HostedScript : public LuaUninstallScript {
 public:
  using LuaUninstallScript::LuaUninstallScript;

  // Runs `chunk` and prints its results; false (error printed) when it does not load or raises.
  bool RunAndPrint(const std::string& chunk) {
    lua_State* state = State();
    const int top = lua_gettop(state);
    if (luaL_loadbufferx(state, chunk.data(), chunk.size(), "=chunk", nullptr) != LUA_OK ||
        lua_pcall(state, 0, LUA_MULTRET, 0) != LUA_OK) {
      std::fprintf(stderr, "%s\n", GetTopString().c_str());
      lua_settop(state, top);
      return false;
    }
    for (int i = top + 1; i <= lua_gettop(state); ++i) {
      if (lua_istable(state, i)) {
        for (lua_Integer k = 1; lua_rawgeti(state, i, k) != LUA_TNIL; ++k) {
          std::printf("%s\n", luaL_tolstring(state, -1, nullptr));
          lua_pop(state, 2);
        }
        lua_pop(state, 1);
      } else {
        std::printf("%s\n", luaL_tolstring(state, i, nullptr));
        lua_pop(state, 1);
      }
    }
    lua_settop(state, top);
    return true;
  }
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: script_host <script.lua> <chunk>\n");
    return 3;
  }
  HostedScript script(QvText::ToUtf8(argv[1]), Lua::RegisterScriptApi);
  if (!script.Initialize()) {
    std::fprintf(stderr, "the script did not load\n");
    return 1;
  }
  const bool done = script.RunAndPrint(QvText::ToUtf8(argv[2]));
  std::fflush(stdout);
  return done ? 0 : 2;
}
