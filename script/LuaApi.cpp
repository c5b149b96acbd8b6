// Registration, argument and result helpers shared by every module of the script API.
#include "script/LuaApi.h"

#include <cstdio>
#include <cstdlib>

#include "base/LineBreaks.h"
#include "base/Utf8.h"
#include "logging/QvBrelLogging.h"

namespace Lua {

void RegisterModule(lua_State* state, const char* name, const luaL_Reg* functions) {
  lua_newtable(state);
  luaL_setfuncs(state, functions, 0);
  lua_setglobal(state, name);
}

void RegisterConstant(lua_State* state, const char* name, lua_Integer value) {
  lua_pushinteger(state, value);
  lua_setglobal(state, name);
}

std::string_view CheckString(lua_State* state, int arg) {
  size_t length = 0;
  const char* text = luaL_checklstring(state, arg, &length);
  return {text, length};
}

lua_Integer CheckInteger(lua_State* state, int arg) { return luaL_checkinteger(state, arg); }

namespace {
// Raises "bad argument #<arg> to '<function>' (<expected> expected, got <type>)".
[[noreturn]] void RaiseTypeError(lua_State* state, int arg, const char* expected) {
  luaL_argerror(state, arg,
                lua_pushfstring(state, "%s expected, got %s", expected, luaL_typename(state, arg)));
  // luaL_argerror does not return; this keeps the compiler from assuming otherwise.
  std::abort();
}
}  // namespace

std::string_view ArgCursor::ReadString(int arg) {
  size_t length = 0;
  const char* text = lua_tolstring(state_, arg, &length);
  if (text == nullptr) RaiseTypeError(state_, arg, lua_typename(state_, LUA_TSTRING));
  return {text, length};
}

lua_Integer ArgCursor::ReadInteger(int arg) {
  int isInteger = 0;
  const lua_Integer value = lua_tointegerx(state_, arg, &isInteger);
  if (isInteger) return value;
  if (lua_isnumber(state_, arg)) luaL_argerror(state_, arg, "number has no integer representation");
  RaiseTypeError(state_, arg, lua_typename(state_, LUA_TNUMBER));
}

std::optional<int> ArgCursor::NextOptional() {
  if (optionalsEnded_) return std::nullopt;
  const int arg = next_++;
  if (!lua_isnoneornil(state_, arg)) return arg;
  optionalsEnded_ = optionals_ == Optionals::EndAtFirstAbsent;
  return std::nullopt;
}

std::optional<std::string_view> ArgCursor::OptString() {
  const std::optional<int> arg = NextOptional();
  if (!arg) return std::nullopt;
  return ReadString(*arg);
}

std::optional<lua_Integer> ArgCursor::OptInteger() {
  const std::optional<int> arg = NextOptional();
  if (!arg) return std::nullopt;
  return ReadInteger(*arg);
}

int PushBoolean(lua_State* state, bool value) {
  lua_pushboolean(state, value ? 1 : 0);
  return 1;
}

std::wstring ToWide(std::string_view utf8) { return QvText::FromUtf8(utf8); }

void PushString(lua_State* state, std::wstring_view text) {
  const std::string utf8 = QvText::ToUtf8(text);
  lua_pushlstring(state, utf8.data(), utf8.size());
}

void PushStringList(lua_State* state, const std::vector<std::wstring>& items) {
  lua_createtable(state, static_cast<int>(items.size()), 0);
  lua_Integer index = 0;
  for (const std::wstring& item : items) {
    PushString(state, item);
    lua_rawseti(state, -2, ++index);
  }
}

std::wstring CallingScriptName(lua_State* state) {
  lua_Debug caller{};
  // Level 0 is the running native, level 1 the function that called it.
  if (!lua_getstack(state, 1, &caller) || !lua_getinfo(state, "S", &caller) || caller.source == nullptr)
    return {};
  // The source of a file chunk is "@<path>" in UTF-8; the at sign goes with the directory.
  const std::wstring source = QvText::FromUtf8(caller.source);
  const size_t slash = source.rfind(L'\\');
  return slash == std::wstring::npos ? source : source.substr(slash + 1);
}

std::string FormatStack(lua_State* state) {
  std::string text;
  const int top = lua_gettop(state);
  for (int index = 1; index <= top; ++index) {
    switch (lua_type(state, index)) {
      case LUA_TSTRING: {
        size_t length = 0;
        const char* value = lua_tolstring(state, index, &length);
        // Script text: its line breaks must not start records of their own.
        text.append("'").append(QvText::EscapeLineBreaks({value, length})).append("'");
        break;
      }
      case LUA_TNUMBER: {
        const double value = lua_tonumber(state, index);
        const int length = std::snprintf(nullptr, 0, "%f", value);
        std::string number(static_cast<size_t>(length > 0 ? length : 0), '\0');
        if (length > 0) std::snprintf(number.data(), number.size() + 1, "%f", value);
        text.append(number);
        break;
      }
      case LUA_TBOOLEAN:
        text.append(lua_toboolean(state, index) ? "true" : "false");
        break;
      default:
        text.append(luaL_typename(state, index));
        break;
    }
    text.append("  ");
  }
  return text;
}

void LogStack(lua_State* state) {
  const std::string text = FormatStack(state);
  QvBrelLogging::LogMessage(QV_ERROR, "*** LUA STACK: ***\r\n%hs", text.c_str());
}

}  // namespace Lua
