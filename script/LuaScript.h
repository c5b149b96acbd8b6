// One Lua state per script: standard libraries, module paths beside the script, the script API,
// and loading and running the script's chunk with its errors logged.
#pragma once

#include <memory>
#include <string>

#include "script/Lua.h"

// Publishes the script API's modules into a new state. The host's owner hands it in: most modules
// live in the layers above the host, which the host must not name.
using ScriptApi = void (*)(lua_State* state);

class LuaScript {
 public:
  // `path` is the script file in UTF-8, the encoding of every string of the script API; the file is
  // read through the wide-character API (at most 16 MiB) and loaded under "@" + path. A non-empty
  // `source` is loaded instead of the file, under `path` as the chunk name. `api` publishes the
  // script API into every state made. No state exists until Initialize.
  LuaScript(std::string path, ScriptApi api, std::string source = {});
  LuaScript(const LuaScript&) = delete;
  LuaScript& operator=(const LuaScript&) = delete;
  virtual ~LuaScript();

  // Creates the state, then loads and runs the chunk once. False (logged, stack dumped) when the
  // state cannot be made, the chunk does not load, or its main chunk raises.
  virtual bool Initialize();
  virtual bool IsValid() const;
  // Loads `text` under `chunkName` and runs it; nothing is logged. On failure the error value is
  // left on the top of the stack (GetTopString reads it).
  virtual bool RunChunk(const std::string& text, const std::string& chunkName);
  // The top of the stack as text: strings as they are, numbers in Lua's form; otherwise empty.
  virtual std::string GetTopString();
  // New state with the standard libraries, package paths, CurrentScriptDir and the script API.
  // os.exit raises instead of ending the process; require reads Lua modules through the
  // wide-character API from the templates of package.path (UTF-8, like CurrentScriptDir);
  // package.cpath is in the ANSI code page, for Lua's own DLL loader.
  virtual bool InitializeLuaState();

 protected:
  lua_State* State() const { return state_.get(); }
  const std::string& Path() const { return path_; }
  // Loads the chunk (memory or file) and runs it; the Lua status of the failing step, 0 on success.
  int LoadAndRun();

 private:
  struct StateCloser {
    void operator()(lua_State* state) const { lua_close(state); }
  };

  std::string path_;
  ScriptApi api_;
  std::string source_;
  std::unique_ptr<lua_State, StateCloser> state_;
};
