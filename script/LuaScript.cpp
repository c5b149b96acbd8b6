// Lua state ownership, set-up and chunk loading for one script.
#include "script/LuaScript.h"

#include <windows.h>

#include <string_view>
#include <utility>

#include "base/LineBreaks.h"
#include "base/UniqueHandle.h"
#include "base/Utf8.h"
#include "core/RunDeadline.h"
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

// Scripts are a few KiB; a file this large is not a script, and reading it would only cost memory.
constexpr LONGLONG kMaxScriptBytes = 16 * 1024 * 1024;

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

// A script file read whole. Not `opened` means there is no readable file at the path (the module
// searcher then tries its next template); `error` words a failure as Lua's own loader does.
struct ScriptFile {
  bool opened = false;
  bool read = false;
  std::string text;
  std::string error;
};

// Through the wide-character API: an ANSI name cannot reach a file outside the ANSI code page.
ScriptFile ReadScriptFile(const std::string& path) {
  ScriptFile file;
  const std::wstring widePath = QvText::FromUtf8(path);
  UniqueFileHandle handle(::CreateFileW(widePath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (widePath.empty() || !handle) {
    file.error = "cannot open " + path + " (error " + std::to_string(::GetLastError()) + ")";
    return file;
  }
  file.opened = true;
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(handle.get(), &size)) {
    file.error = "cannot read " + path + " (error " + std::to_string(::GetLastError()) + ")";
    return file;
  }
  if (size.QuadPart > kMaxScriptBytes) {
    file.error = "cannot read " + path + ": larger than " + std::to_string(kMaxScriptBytes) + " bytes";
    return file;
  }
  file.text.resize(static_cast<size_t>(size.QuadPart));
  size_t total = 0;
  while (total < file.text.size()) {
    DWORD chunk = 0;
    if (!::ReadFile(handle.get(), file.text.data() + total, static_cast<DWORD>(file.text.size() - total),
                    &chunk, nullptr)) {
      file.error = "cannot read " + path + " (error " + std::to_string(::GetLastError()) + ")";
      return file;
    }
    if (chunk == 0) break;  // the file shrank meanwhile
    total += chunk;
  }
  file.text.resize(total);
  file.read = true;
  return file;
}

// Loads a file's text as Lua's own file loader does: a UTF-8 byte-order mark and a first line
// starting with '#' are skipped, the line break kept so that line numbers still count from the top.
// The chunk is named "@" + the UTF-8 path, which Lua's messages and the calling script's name show.
int LoadFileText(lua_State* state, std::string_view text, const std::string& path) {
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  if (text.starts_with('#')) {
    const size_t lineEnd = text.find('\n');
    text.remove_prefix(lineEnd == std::string_view::npos ? text.size() : lineEnd);
  }
  const std::string chunkName = "@" + path;
  return luaL_loadbufferx(state, text.data(), text.size(), chunkName.c_str(), nullptr);
}

// Leaves the loaded chunk, or the error message, on the stack; the Lua status.
int LoadFile(lua_State* state, const std::string& path) {
  const ScriptFile file = ReadScriptFile(path);
  if (file.read) return LoadFileText(state, file.text, path);
  lua_pushlstring(state, file.error.data(), file.error.size());
  return LUA_ERRFILE;
}

// Lua's file searcher, with files read by ReadScriptFile: the templates of package.path (UTF-8),
// '?' replaced by the module name with dots as backslashes. Leaves the loader and its file name (2),
// the list of files tried (1), or an error message to raise (-1). Raises nothing itself.
int FindModule(lua_State* state, const char* name, std::string_view templates) {
  std::string fileName = name;
  for (char& c : fileName)
    if (c == '.') c = '\\';
  std::string tried;
  while (!templates.empty()) {
    const size_t end = templates.find(';');
    std::string candidate(templates.substr(0, end));
    templates.remove_prefix(end == std::string_view::npos ? templates.size() : end + 1);
    if (candidate.empty()) continue;
    for (size_t mark = candidate.find('?'); mark != std::string::npos;
         mark = candidate.find('?', mark + fileName.size()))
      candidate.replace(mark, 1, fileName);
    const ScriptFile file = ReadScriptFile(candidate);
    if (!file.opened) {
      tried.append("\n\tno file '").append(candidate).append("'");
      continue;
    }
    if (file.read && LoadFileText(state, file.text, candidate) == LUA_OK) {
      lua_pushlstring(state, candidate.data(), candidate.size());
      return 2;
    }
    std::string reason = file.error;
    if (file.read) {
      const char* message = lua_tostring(state, -1);
      reason = message != nullptr ? message : "";
      lua_pop(state, 1);
    }
    lua_pushfstring(state, "error loading module '%s' from file '%s':\n\t%s", name, candidate.c_str(),
                    reason.c_str());
    return -1;
  }
  lua_pushlstring(state, tried.data(), tried.size());
  return 1;
}

// package.searchers[2]; upvalue 1 is the package table.
int SearchLuaModule(lua_State* state) {
  const char* name = luaL_checkstring(state, 1);
  lua_getfield(state, lua_upvalueindex(1), "path");
  size_t length = 0;
  const char* templates = lua_tolstring(state, -1, &length);
  if (templates == nullptr) return luaL_error(state, "'package.path' must be a string");
  const int results = FindModule(state, name, std::string_view(templates, length));
  return results >= 0 ? results : lua_error(state);
}

// os.exit would end the whole tool with the script's code (0 even after Meta.SetFailed, 3 reading as
// a missing administrator right) and skip the removal of the working directory. As an error, it
// ends the script's call like any other error: logged and the run marked failed.
int RefuseExit(lua_State* state) {
  return luaL_error(state, "os.exit is not available to uninstall scripts");
}

// Instructions between two looks at the run deadline. A look is one tick-count read and costs
// nothing measurable at any spacing from 1000 to 1000000; a loop still ends within a millisecond or
// so of the deadline. What a count hook does cost is Lua's own per-instruction count (a busy
// arithmetic loop runs about 1.5 times slower, whatever the spacing), so only a run with a deadline
// sets one.
constexpr int kDeadlineHookInstructions = 10000;

// Ends the running script call once the run deadline has passed. From then on it fires at every
// instruction, so a script that catches the error with pcall meets it again at its next step.
void DeadlineHook(lua_State* state, lua_Debug*) {
  const RunDeadline& deadline = RunDeadline::Instance();
  if (!deadline.Passed()) return;
  lua_sethook(state, DeadlineHook, LUA_MASKCOUNT, 1);
  // Level 0 is the interrupted function, so the message names the script line that was running.
  luaL_where(state, 0);
  lua_pushfstring(state, "Run deadline of %d minutes reached", static_cast<int>(deadline.Minutes()));
  lua_concat(state, 2);
  lua_error(state);
}

void InstallHostFunctions(lua_State* state) {
  lua_getglobal(state, LUA_OSLIBNAME);
  lua_pushcfunction(state, RefuseExit);
  lua_setfield(state, -2, "exit");
  lua_pop(state, 1);

  lua_getglobal(state, LUA_LOADLIBNAME);
  lua_getfield(state, -1, "searchers");
  lua_pushvalue(state, -2);
  lua_pushcclosure(state, SearchLuaModule, 1);
  lua_rawseti(state, -2, 2);
  lua_pop(state, 2);
}

}  // namespace

LuaScript::LuaScript(std::string path, ScriptApi api, std::string source)
    : path_(std::move(path)), api_(api), source_(std::move(source)) {}

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
  InstallHostFunctions(state);
  // Only a run with a deadline pays for the hook (coroutines inherit it from the state).
  if (RunDeadline::Instance().IsSet())
    lua_sethook(state, DeadlineHook, LUA_MASKCOUNT, kDeadlineHookInstructions);
  // require finds modules beside the script and nowhere else. The script API takes UTF-8, so the
  // folder and package.path are UTF-8; package.cpath stays ANSI, for Lua's own DLL loader.
  const std::string directory = DirectoryOf(path_);
  SetPackageField(state, "path", directory + "\\?.lua");
  SetPackageField(state, "cpath", QvText::ToAnsi(QvText::FromUtf8(directory)) + "\\?.dll");
  lua_pushlstring(state, directory.data(), directory.size());
  lua_setglobal(state, "CurrentScriptDir");
  if (api_ != nullptr) api_(state);
  return true;
}

int LuaScript::LoadAndRun() {
  lua_State* state = state_.get();
  const int loaded = source_.empty()
                         ? LoadFile(state, path_)
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
