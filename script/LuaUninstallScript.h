// The uninstall contract: the global functions a product script defines and how the host calls them.
#pragma once

#include <cstdint>
#include <string>

#include "script/LuaScript.h"

class LuaUninstallScript : public LuaScript {
 public:
  static constexpr int32_t kDefaultPriority = 50;

  LuaUninstallScript(std::string path, ScriptApi api, std::string source = {});
  ~LuaUninstallScript() override;

  // LuaScript::Initialize, then the priority from GetPriority when the script defines it (only an
  // integer result counts). The result is that of LuaScript::Initialize.
  bool Initialize() override;

  // True when GetProductId, DetectProduct and CleanupProduct are all functions; otherwise the
  // script is a library (logged at debug level).
  virtual bool IsValidScript();
  // String answers: a string or number result as UTF-16; empty on any failure (logged).
  virtual std::wstring GetProductId();
  virtual std::wstring GetSubProductIdDetected();
  // Boolean answers: true only for the boolean true; a raising call marks the run failed.
  virtual bool DetectProduct();
  virtual bool CleanupProduct();
  virtual std::wstring GetProductDisplayName();
  virtual int GetPriority();

  // Calls the global function `name` without arguments. True leaves its one result on the top of
  // the stack for the caller to remove; a raising call marks the run failed, is logged with the
  // stack dump and leaves nothing.
  bool CallLuaFunction(const char* name);

 private:
  bool IsFunction(const char* name);
  std::wstring CallForString(const char* name);
  bool CallForBoolean(const char* name);

  int32_t priority_ = kDefaultPriority;
};
