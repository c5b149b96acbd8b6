// The Path module over the restart schedule under Session Manager.
#include "sysops/PathModule.h"

#include <windows.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "logging/QvBrelLogging.h"
#include "script/LuaApi.h"
#include "sysops/registry/Win32RegistryForTools.h"

namespace {

constexpr wchar_t kSessionManager[] = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";
constexpr wchar_t kPendingValue[] = L"PendingFileRenameOperations";
// Where a source's first match may start besides 0: right after an NT prefix such as "\??\".
constexpr size_t kNtPrefixLength = 4;

// Source and target; the target is empty for a deletion.
using PendingPair = std::pair<std::wstring, std::wstring>;

// The schedule as (source, target) pairs in stored order. The data is split at every NUL, empty
// strings and the piece after the last NUL included, so the terminating NULs become trailing pairs
// of empty strings that are written back unchanged. Nothing when the value cannot be read or does
// not split into pairs.
std::optional<std::vector<PendingPair>> GetAllPendingPairs(Win32RegistryForTools& registry) {
  std::vector<BYTE> data;
  if (!registry.GetValueRaw(kSessionManager, kPendingValue, data)) {
    QV_BREL_LOG(QV_DEBUG, L"Error reading '%s'. Error %lu", kPendingValue, ::GetLastError());
    return std::nullopt;
  }
  const std::wstring_view text(reinterpret_cast<const wchar_t*>(data.data()), data.size() / sizeof(wchar_t));
  std::vector<std::wstring> strings;
  for (size_t begin = 0;;) {
    const size_t end = text.find(L'\0', begin);
    strings.emplace_back(
        text.substr(begin, end == std::wstring_view::npos ? std::wstring_view::npos : end - begin));
    if (end == std::wstring_view::npos) break;
    begin = end + 1;
  }
  if (strings.size() % 2 != 0) {
    QV_BREL_LOG(QV_DEBUG, L"Error reading '%s'. Error %lu", kPendingValue,
                static_cast<DWORD>(ERROR_INVALID_DATA));
    return std::nullopt;
  }
  std::vector<PendingPair> pairs;
  for (size_t i = 0; i < strings.size(); i += 2)
    pairs.emplace_back(std::move(strings[i]), std::move(strings[i + 1]));
  return pairs;
}

// The prefix names a folder or file, not the start of a name: "C:\P" matches "C:\P" and
// "C:\P\a.dll" but not "C:\Program\a.dll", which belongs to other software.
bool EndsAtPathBoundary(const std::wstring& source, size_t end, const std::wstring& prefix) {
  return end == source.size() || source[end] == L'\\' || prefix.back() == L'\\';
}

// Removes the pairs whose source holds `prefix` first at character 0 or right after an NT prefix
// (case-sensitive); the number removed.
lua_Integer RemoveByPrefix(std::vector<PendingPair>& pairs, const std::wstring& prefix) {
  QV_BREL_LOG(QV_DEBUG, L"Got %lu values in PendingOperation. Prefix: '%s'",
              static_cast<unsigned long>(pairs.size()), prefix.c_str());
  lua_Integer removed = 0;
  std::vector<PendingPair> kept;
  for (PendingPair& pair : pairs) {
    QV_BREL_LOG(QV_DEBUG, L"Path in PendingOperation '%s'->'%s'", pair.first.c_str(), pair.second.c_str());
    const size_t at = pair.first.size() < prefix.size() ? std::wstring::npos : pair.first.find(prefix);
    if ((at == 0 || at == kNtPrefixLength) && EndsAtPathBoundary(pair.first, at + prefix.size(), prefix)) {
      QV_BREL_LOG(QV_DEBUG, L"Removing path from PendingOperation '%s'->'%s'", pair.first.c_str(),
                  pair.second.c_str());
      ++removed;
    } else {
      kept.push_back(std::move(pair));
    }
  }
  pairs = std::move(kept);
  return removed;
}

// Every string, one NUL between neighbours and none after the last: the trailing empty pairs put
// the terminating NULs back.
std::vector<BYTE> Join(const std::vector<PendingPair>& pairs) {
  std::wstring text;
  bool first = true;
  for (const PendingPair& pair : pairs)
    for (const std::wstring* part : {&pair.first, &pair.second}) {
      if (!first) text.push_back(L'\0');
      first = false;
      text.append(*part);
    }
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
  Win32RegistryForTools registry(HKEY_LOCAL_MACHINE);
  std::optional<std::vector<PendingPair>> pairs = GetAllPendingPairs(registry);
  if (!pairs) return 0;
  const lua_Integer removed = RemoveByPrefix(*pairs, prefix);
  if (!registry.SetValueRaw(kSessionManager, kPendingValue, Join(*pairs))) return 0;
  lua_pushinteger(state, removed);
  return 1;
}

void Register(lua_State* state) {
  static constexpr luaL_Reg functions[] = {{"RemoveFromPendingOperation", RemoveFromPendingOperation},
                                           {nullptr, nullptr}};
  RegisterModule(state, "Path", functions);
}

}  // namespace Lua::Path
