// Script modules that talk to the host itself: Log, Meta and System.
#include "script/HostModules.h"

#include <windows.h>

#include <string>
#include <string_view>

#include "base/LineBreaks.h"
#include "core/Status.h"
#include "logging/QvBrelLogging.h"
#include "script/LuaApi.h"

namespace {

// Script text joins a record with its line breaks escaped: one call, one record. The chunk name
// is script text too (load's second argument).
std::wstring RecordText(std::string_view message) { return Lua::ToWide(QvText::EscapeLineBreaks(message)); }
std::wstring ScriptName(lua_State* state) { return QvText::EscapeLineBreaks(Lua::CallingScriptName(state)); }

int LogScriptMessage(lua_State* state, int level) {
  const std::string_view message = Lua::CheckString(state, 1);
  const std::wstring text = RecordText(message);
  const std::wstring script = ScriptName(state);
  QvBrelLogging::LogMessage(level, L"[%s] %s", script.c_str(), text.c_str());
  return 0;
}

}  // namespace

namespace Lua::Log {

int Debug(lua_State* state) { return LogScriptMessage(state, QV_DEBUG); }
int Info(lua_State* state) { return LogScriptMessage(state, QV_INFO); }
int Warning(lua_State* state) { return LogScriptMessage(state, QV_WARNING); }
int Error(lua_State* state) { return LogScriptMessage(state, QV_ERROR); }

void Register(lua_State* state) {
  static constexpr luaL_Reg functions[] = {
      {"Debug", Debug}, {"Info", Info}, {"Warning", Warning}, {"Error", Error}, {nullptr, nullptr}};
  RegisterModule(state, "Log", functions);
}

}  // namespace Lua::Log

namespace Lua::Meta {

int SetFailed(lua_State* state) {
  const std::string_view message = ArgCursor(state).OptString().value_or(std::string_view());
  Status::Instance().SetFailed();
  const std::wstring text = RecordText(message);
  const std::wstring script = ScriptName(state);
  QvBrelLogging::LogMessage(QV_FATAL, L"[%s] %s", script.c_str(), text.c_str());
  return 0;
}

int SetRebootNeeded(lua_State* state) {
  const std::string_view message = ArgCursor(state).OptString().value_or(std::string_view());
  Status::Instance().SetRebootNeeded(L"LUA script request");
  const std::wstring text = RecordText(message);
  const std::wstring script = ScriptName(state);
  QvBrelLogging::LogMessage(QV_INFO, L"[%s] Reboot needed: %s", script.c_str(), text.c_str());
  return 0;
}

void Register(lua_State* state) {
  static constexpr luaL_Reg functions[] = {
      {"SetFailed", SetFailed}, {"SetRebootNeeded", SetRebootNeeded}, {nullptr, nullptr}};
  RegisterModule(state, "Meta", functions);
}

}  // namespace Lua::Meta

namespace Lua::System {

int IsWindowsServer(lua_State* state) {
  OSVERSIONINFOEXW version{};
  static_assert(sizeof(version) == 284);
  version.dwOSVersionInfoSize = sizeof(version);
  version.wProductType = VER_NT_WORKSTATION;
  const DWORDLONG condition = ::VerSetConditionMask(0, VER_PRODUCT_TYPE, VER_EQUAL);
  // Servers and domain controllers both fail the workstation test.
  const bool workstation = ::VerifyVersionInfoW(&version, VER_PRODUCT_TYPE, condition) != FALSE;
  lua_pushboolean(state, !workstation);
  return 1;
}

void Register(lua_State* state) {
  static constexpr luaL_Reg functions[] = {{"IsWindowsServer", IsWindowsServer}, {nullptr, nullptr}};
  RegisterModule(state, "System", functions);
}

}  // namespace Lua::System
