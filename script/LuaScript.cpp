// Lua state ownership, set-up and chunk loading for one script.
#include "script/LuaScript.h"

#include <utility>

#include "base/LineBreaks.h"
#include "logging/QvBrelLogging.h"
#include "script/LuaApi.h"

namespace {

// The standard libraries, in the order they are opened. (No bit32: it is not part of the API.)
constexpr luaL_Reg kStandardLibraries[] = {
    {"_G", luaopen_base},
    {LUA_LOADLIBNAME, luaopen_package},
    {LUA_COLIBNAME, luaopen_coroutine},
    {LUA_TABLIBNAME, luaopen_table},
    {LUA_IOLIBNAME, luaopen_io},
    {LUA_OSLIBNAME, luaopen_os},
    {LUA_STRLIBNAME, luaopen_string},
    {LUA_MATHLIBNAME, luaopen_math},
    {LUA_UTF8LIBNAME, luaopen_utf8},
    {LUA_DBLIBNAME, luaopen_debug},
};

std::string DirectoryOf(const std::string& path) {
  const size_t slash = path.rfind('\\');
  return slash == std::string::npos ? path : path.substr(0, slash);
}

void SetPackageField(lua_State* state, const char* field, const std::string& value) {
  lua_getglobal(state, LUA_LOADLIBNAME);
  lua_pushlstring(state, value.data(), value.size());
  lua_setfield(state, -2, field);
  lua_pop(state, 1);
}

// os.exit would end the whole tool with the script's code (0 even after Meta.SetFailed, 3 reading as
// a missing administrator right) and skip the removal of the working directory. As an error, it
// ends the script's call like any other error: logged and the run marked failed.
int RefuseExit(lua_State* state) {
  return luaL_error(state, "os.exit is not available to uninstall scripts");
}

}  // namespace

LuaScript::LuaScript(std::string path, std::string source)
    : path_(std::move(path)), source_(std::move(source)) {}

LuaScript::~LuaScript() = default;

bool LuaScript::InitializeLuaState() {
  // luaL_newstate: the standard allocator (realloc/free) and the standard panic handler.
  state_.reset(luaL_newstate());
  if (!state_) {
    QV_BREL_LOG(QV_ERROR, L"Failed to initialize lua");
    return false;
  }
  lua_State* state = state_.get();
  for (const luaL_Reg& library : kStandardLibraries) {
    luaL_requiref(state, library.name, library.func, 1);
    lua_pop(state, 1);
  }
  lua_getglobal(state, LUA_OSLIBNAME);
  lua_pushcfunction(state, RefuseExit);
  lua_setfield(state, -2, "exit");
  lua_pop(state, 1);
  // require finds modules beside the script and nowhere else.
  const std::string directory = DirectoryOf(path_);
  SetPackageField(state, "path", directory + "\\?.lua");
  SetPackageField(state, "cpath", directory + "\\?.dll");
  lua_pushlstring(state, directory.data(), directory.size());
  lua_setglobal(state, "CurrentScriptDir");
  Lua::RegisterScriptApi(state);
  return true;
}

int LuaScript::LoadAndRun() {
  lua_State* state = state_.get();
  const int loaded = source_.empty()
                         ? luaL_loadfilex(state, path_.c_str(), nullptr)
                         : luaL_loadbufferx(state, source_.data(), source_.size(), path_.c_str(), nullptr);
  if (loaded != LUA_OK) return loaded;
  return lua_pcall(state, 0, 0, 0);
}

bool LuaScript::Initialize() {
  if (!InitializeLuaState()) {
    QV_BREL_LOG(QV_ERROR, L"Lua state is not valid");
    return false;
  }
  const int status = LoadAndRun();
  if (status == LUA_OK) return true;
  const std::string error = QvText::EscapeLineBreaks(GetTopString());
  QV_BREL_LOG(QV_ERROR, "Load '%hs' failed with %d. Error: %hs", path_.c_str(), status, error.c_str());
  Lua::LogStack(state_.get());
  return false;
}

bool LuaScript::IsValid() const { return state_ != nullptr; }

bool LuaScript::RunChunk(const std::string& text, const std::string& chunkName) {
  lua_State* state = state_.get();
  if (state == nullptr) return false;
  if (luaL_loadbufferx(state, text.data(), text.size(), chunkName.c_str(), nullptr) != LUA_OK) return false;
  return lua_pcall(state, 0, 0, 0) == LUA_OK;
}

std::string LuaScript::GetTopString() {
  lua_State* state = state_.get();
  if (state == nullptr || lua_gettop(state) == 0) return {};
  size_t length = 0;
  // Converts a number in place, as lua_tolstring does; other types give null.
  const char* text = lua_tolstring(state, -1, &length);
  return text == nullptr ? std::string() : std::string(text, length);
}
