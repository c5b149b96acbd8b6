// The Service script module: a thin layer over QvService.
#include "sysops/ServiceModule.h"

#include <windows.h>

#include <optional>
#include <string>

#include "base/ChangeJournal.h"
#include "base/Win32Registry.h"
#include "logging/QvBrelLogging.h"
#include "script/LuaApi.h"
#include "sysops/QvService.h"
#include "sysops/QvServiceSeam.h"
#include "sysops/UndoMaterial.h"
#include "sysops/registry/RegOps.h"

namespace {

using Lua::PushBoolean;

std::wstring ReadName(lua_State* state) {
  Lua::ArgCursor args(state);
  return Lua::ToWide(args.String());
}

ChangeJournal& Journal() { return ChangeJournal::Instance(); }

}  // namespace

namespace Lua::Service {

int State(lua_State* state) {
  const std::wstring name = ReadName(state);
  QvService service(name, true);
  int current = -1;
  if (service.IsValid()) {
    current = service.GetState();
    if (current == -1)
      QV_BREL_LOG(QV_ERROR, L"Service '%s' getting state failed: %lu", name.c_str(), service.LastError());
  }
  lua_pushinteger(state, current);
  return 1;
}

int Start(lua_State* state) {
  const std::wstring name = ReadName(state);
  QvService service(name, false);
  if (!service.IsValid()) {
    QV_BREL_LOG(QV_ERROR, L"Service '%s' is not valid", name.c_str());
    return PushBoolean(state, false);
  }
  if (Journal().Planning()) {
    Journal().Record(L"service.start", name, ChangeResult::Planned);
    return PushBoolean(state, true);
  }
  const bool started = service.Start({}, QvServiceSeam::waits.startTimeoutMs);
  Journal().RecordOutcome(L"service.start", name, started, service.LastError());
  if (!started) QV_BREL_LOG(QV_ERROR, L"Service '%s' start failed: %lu", name.c_str(), service.LastError());
  return PushBoolean(state, started);
}

int Stop(lua_State* state) {
  const std::wstring name = ReadName(state);
  QvService service(name, false);
  // A service that cannot be opened has nothing to stop.
  if (!service.IsValid()) return PushBoolean(state, true);
  // A stop is mostly followed by the service's clean-up: it opens the same service again.
  if (Journal().Planning()) {
    if (service.GetState() != SERVICE_STOPPED) Journal().Record(L"service.stop", name, ChangeResult::Planned);
    service.KeepForNext();
    return PushBoolean(state, true);
  }
  const bool wasStopped = service.GetState() == SERVICE_STOPPED;
  const bool stopped = service.Stop(QvServiceSeam::waits.stopTimeoutMs);
  if (!wasStopped) Journal().RecordOutcome(L"service.stop", name, stopped, service.LastError());
  if (!stopped) QV_BREL_LOG(QV_ERROR, L"Service '%s' stop failed: %lu", name.c_str(), service.LastError());
  service.KeepForNext();
  return PushBoolean(state, stopped);
}

std::wstring ServiceKey(const std::wstring& name) { return L"SYSTEM\\CurrentControlSet\\Services\\" + name; }

// The system removes the service's key with the service: it is exported first, as every
// registry deletion is.
bool ExportServiceKey(const std::wstring& name) {
  const std::optional<RegOps::CheckedBranch> branch =
      RegOps::BranchGuard::ForRemoval(HKEY_LOCAL_MACHINE, 0, ServiceKey(name));
  return !branch || UndoMaterial::Instance().BeforeBranchDeletion(*branch);
}

int Cleanup(lua_State* state) {
  const std::wstring name = ReadName(state);
  // The handle stays open until after the key is gone: the system removes a service marked for
  // deletion when its last handle closes.
  QvService service(name, false);
  bool result = true;
  if (service.IsValid() && Journal().Planning()) {
    Journal().Record(L"service.delete", name, ChangeResult::Planned);
  } else if (service.IsValid() && !ExportServiceKey(name)) {
    Journal().Record(L"service.delete", name, ChangeResult::Failed, ERROR_CANCELLED);
    return PushBoolean(state, false);
  } else if (service.IsValid()) {
    const bool deleted = service.Delete();
    Journal().RecordOutcome(L"service.delete", name, deleted, service.LastError());
    if (!deleted) {
      QV_BREL_LOG(QV_ERROR, L"Service '%s' delete failed: %lu", name.c_str(), service.LastError());
      result = false;
    }
  } else if (service.LastError() != ERROR_SERVICE_DOES_NOT_EXIST) {
    QV_BREL_LOG(QV_ERROR, L"Failed to open service '%s': %lu", name.c_str(), service.LastError());
  }
  if (!name.empty()) {
    const std::wstring key = ServiceKey(name);
    // The key alone: sub-keys that stay mean the service did not go (logged as a failure).
    const std::optional<RegOps::CheckedBranch> branch =
        RegOps::BranchGuard::ForRemoval(HKEY_LOCAL_MACHINE, 0, key);
    const DWORD error = branch ? RegOps::DeleteSingleKey(*branch) : ERROR_INVALID_PARAMETER;
    if (!branch) {
      result = false;
    } else if (error != ERROR_SUCCESS && RegResultOf(static_cast<LSTATUS>(error)) != RegResult::NotFound) {
      QV_BREL_LOG(QV_ERROR, L"Failed to remove '%s': %d", key.c_str(),
                  static_cast<int>(RegResultOf(static_cast<LSTATUS>(error))));
      result = false;
    }
  }
  return PushBoolean(state, result);
}

void Register(lua_State* state) {
  RegisterConstant(state, "SERVICE_INVALID_VALUE", -1);
  RegisterConstant(state, "SERVICE_STOPPED", SERVICE_STOPPED);
  RegisterConstant(state, "SERVICE_START_PENDING", SERVICE_START_PENDING);
  RegisterConstant(state, "SERVICE_STOP_PENDING", SERVICE_STOP_PENDING);
  RegisterConstant(state, "SERVICE_RUNNING", SERVICE_RUNNING);
  RegisterConstant(state, "SERVICE_CONTINUE_PENDING", SERVICE_CONTINUE_PENDING);
  RegisterConstant(state, "SERVICE_PAUSE_PENDING", SERVICE_PAUSE_PENDING);
  RegisterConstant(state, "SERVICE_PAUSED", SERVICE_PAUSED);
  static constexpr luaL_Reg functions[] = {
      {"State", State}, {"Start", Start}, {"Stop", Stop}, {"Cleanup", Cleanup}, {nullptr, nullptr}};
  RegisterModule(state, "Service", functions);
}

}  // namespace Lua::Service
