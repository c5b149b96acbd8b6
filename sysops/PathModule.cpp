// The Path module over the restart schedule under Session Manager.
#include "sysops/PathModule.h"

#include <windows.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/ChangeJournal.h"
#include "base/PathText.h"
#include "base/RestartSchedule.h"
#include "logging/QvBrelLogging.h"
#include "script/LuaApi.h"
#include "sysops/registry/Win32RegistryForTools.h"

namespace {

using QvRestartSchedule::Pair;

// The schedule as (source, target) pairs, or nothing when it cannot be read or does not split
// into pairs (then nothing may be written back).
std::optional<std::vector<Pair>> GetAllPendingPairs(Win32RegistryForTools& registry) {
  std::vector<BYTE> data;
  if (!registry.GetValueRaw(QvRestartSchedule::kSessionManagerKey, QvRestartSchedule::kPendingValue, data)) {
    QV_BREL_LOG(QV_DEBUG, L"Error reading '%s'. Error %lu", QvRestartSchedule::kPendingValue,
                ::GetLastError());
    return std::nullopt;
  }
  std::optional<std::vector<Pair>> pairs = QvRestartSchedule::SplitPairs(
      std::wstring_view(reinterpret_cast<const wchar_t*>(data.data()), data.size() / sizeof(wchar_t)));
  if (!pairs)
    QV_BREL_LOG(QV_DEBUG, L"Error reading '%s'. Error %lu", QvRestartSchedule::kPendingValue,
                static_cast<DWORD>(ERROR_INVALID_DATA));
  return pairs;
}

// The pairs under `prefix` taken out, each logged; the number removed.
lua_Integer RemoveByPrefix(std::vector<Pair>& pairs, const std::wstring& prefix,
                           std::vector<std::wstring>& taken) {
  QV_BREL_LOG(QV_DEBUG, L"Got %lu values in PendingOperation. Prefix: '%s'",
              static_cast<unsigned long>(pairs.size()), prefix.c_str());
  for (const Pair& pair : pairs)
    QV_BREL_LOG(QV_DEBUG, L"Path in PendingOperation '%s'->'%s'", pair.first.c_str(), pair.second.c_str());
  const std::vector<Pair> removed = QvRestartSchedule::RemoveByPrefix(pairs, prefix);
  for (const Pair& pair : removed) {
    QV_BREL_LOG(QV_DEBUG, L"Removing path from PendingOperation '%s'->'%s'", pair.first.c_str(),
                pair.second.c_str());
    taken.push_back(pair.first);
  }
  return static_cast<lua_Integer>(removed.size());
}

std::vector<BYTE> ToBytes(const std::wstring& text) {
  const auto* bytes = reinterpret_cast<const BYTE*>(text.data());
  return std::vector<BYTE>(bytes, bytes + text.size() * sizeof(wchar_t));
}

}  // namespace

namespace Lua::Path {

int RemoveFromPendingOperation(lua_State* state) {
  ArgCursor args(state);
  const std::wstring prefix = ToWide(args.String());
  QV_BREL_LOG(QV_DEBUG, L"Got prefix to remove: '%s'", prefix.c_str());
  // An empty prefix would match every entry, those of the system and of other software included.
  if (prefix.empty()) {
    QV_BREL_LOG(QV_WARNING, L"Empty prefix: no pending operation removed");
    lua_pushinteger(state, 0);
    return 1;
  }
  // The system keeps full, canonical paths: a prefix that is not one could only match by accident.
  std::wstring component;
  const std::wstring_view dosPath =
      std::wstring_view(prefix).starts_with(L"\\??\\") ? std::wstring_view(prefix).substr(4) : prefix;
  const QvPath::PathProblem problem = QvPath::CheckCanonical(dosPath, &component);
  if (problem != QvPath::PathProblem::None) {
    QV_BREL_LOG(QV_WARNING, L"Refusing prefix '%s': %s", prefix.c_str(),
                QvPath::DescribeProblem(problem, component).c_str());
    lua_pushinteger(state, 0);
    return 1;
  }
  Win32RegistryForTools registry(HKEY_LOCAL_MACHINE);
  std::optional<std::vector<Pair>> pairs = GetAllPendingPairs(registry);
  if (!pairs) return 0;
  std::vector<std::wstring> taken;
  const lua_Integer removed = RemoveByPrefix(*pairs, prefix, taken);
  ChangeJournal& journal = ChangeJournal::Instance();
  if (journal.Planning()) {
    for (const std::wstring& source : taken) journal.Record(L"pending.remove", source, ChangeResult::Planned);
    lua_pushinteger(state, removed);
    return 1;
  }
  const bool written =
      registry.SetValueRaw(QvRestartSchedule::kSessionManagerKey, QvRestartSchedule::kPendingValue,
                           ToBytes(QvRestartSchedule::JoinPairs(*pairs)));
  const DWORD error = ::GetLastError();
  for (const std::wstring& source : taken) journal.RecordOutcome(L"pending.remove", source, written, error);
  if (!written) return 0;
  lua_pushinteger(state, removed);
  return 1;
}

void Register(lua_State* state) {
  static constexpr luaL_Reg functions[] = {{"RemoveFromPendingOperation", RemoveFromPendingOperation},
                                           {nullptr, nullptr}};
  RegisterModule(state, "Path", functions);
}

}  // namespace Lua::Path
