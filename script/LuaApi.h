// Shared machinery of the script API: publishing modules and constants, reading arguments and
// pushing results (UTF-8 on the Lua side, UTF-16 on ours), the calling script's name, the stack dump.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "script/Lua.h"

namespace Lua {

// Every module of the script API is a namespace Lua::<Module> with a `void Register(lua_State*)`
// that registers the module's constants first and then its table. The list, in publishing order, is
// the application's (app/ScriptApi.h); it hands it to each script host it makes.

// Stores a fresh table of the null-terminated natives (no upvalues) as the global `name`.
void RegisterModule(lua_State* state, const char* name, const luaL_Reg* functions);
// Stores a plain global integer: scripts write HKLM, not Reg.HKLM.
void RegisterConstant(lua_State* state, const char* name, lua_Integer value);

// Argument readers raise the standard Lua argument errors ("bad argument #1 to 'Info' (string
// expected, got no value)"). Lua raises as a C++ exception, so a native may raise at any point and
// the owners it holds are destroyed on the way out; a native never catches it.
// A string argument accepts numbers (converted in place); the view lives while the argument does.
std::string_view CheckString(lua_State* state, int arg);
// A number with an integer value (or a string convertible to one).
lua_Integer CheckInteger(lua_State* state, int arg);

// Walks a native's positional arguments from the first: every read takes the next position.
// Required reads raise the standard argument errors ("bad argument #2 to 'Find' (number expected,
// got nil)"); an optional read gives nothing for an absent or nil argument and raises like the
// required one for any other value of the wrong type. Strings accept numbers (converted in place, the
// view living while the argument does); integers accept numbers with an integer value and strings
// convertible to one. Raising unwinds like the readers above.
class ArgCursor {
 public:
  // How optional arguments relate: each on its own, or a list the first absent or nil one ends, so
  // every later optional read gives nothing (its default) whatever that position holds.
  enum class Optionals { Independent, EndAtFirstAbsent };

  explicit ArgCursor(lua_State* state, Optionals optionals = Optionals::Independent)
      : state_(state), optionals_(optionals) {}

  std::string_view String() { return ReadString(next_++); }
  lua_Integer Integer() { return ReadInteger(next_++); }
  std::optional<std::string_view> OptString();
  std::optional<lua_Integer> OptInteger();
  // The position the next read takes.
  int Position() const { return next_; }

 private:
  std::string_view ReadString(int arg);
  lua_Integer ReadInteger(int arg);
  // The position of the next optional read; nothing once an absent or nil one ended the list.
  std::optional<int> NextOptional();

  lua_State* state_;
  Optionals optionals_;
  bool optionalsEnded_ = false;
  int next_ = 1;
};

// UTF-8 from Lua to UTF-16; invalid input gives an empty string.
std::wstring ToWide(std::string_view utf8);
// Pushes a boolean result; the native's count of results (1), so `return PushBoolean(...)`.
int PushBoolean(lua_State* state, bool value);
// Pushes UTF-16 text as a UTF-8 string (empty when it cannot be converted).
void PushString(lua_State* state, std::wstring_view text);
// Pushes a table with the items at the keys 1..n.
void PushStringList(lua_State* state, const std::vector<std::wstring>& items);

// File name of the script whose Lua function called the running native: the calling function's
// source (UTF-8, the file chunk's "@<path>") after its last backslash; empty when no Lua function
// made the call.
std::wstring CallingScriptName(lua_State* state);

// The stack from index 1 to the top, each entry followed by two blanks: strings quoted (line breaks
// escaped as "\r" and "\n"), numbers
// with "%f", booleans as true/false, anything else as its type name.
std::string FormatStack(lua_State* state);
// Logs FormatStack at error level under "*** LUA STACK: ***".
void LogStack(lua_State* state);

}  // namespace Lua
