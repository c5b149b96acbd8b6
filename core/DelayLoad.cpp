// Delay-load resolver: configured directory, own directory, registry path, system directory.
#include "core/DelayLoad.h"

#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <vector>

#include "base/ProcAddress.h"
#include "base/PathText.h"
#include "base/UniqueHandle.h"
#include "base/Utf8.h"
#include "base/Win32Registry.h"

namespace {

struct ResolverState {
  std::mutex mutex;
  uint32_t flags = BrelDelayLoad::SearchOwnDirectory;
  std::wstring component;
  std::wstring directory;
  std::map<std::string, HMODULE> loaded;  // stays loaded for the life of the process
};

ResolverState& State() {
  static ResolverState state;
  return state;
}

std::wstring OwnDirectory() {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD length = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return {};
    if (length < buffer.size()) {
      std::wstring path(buffer.data(), length);
      const size_t slash = path.rfind(L'\\');
      return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
    }
    buffer.resize(buffer.size() * 2);
  }
}

std::wstring SystemDirectory() {
  wchar_t buffer[MAX_PATH];
  const UINT length = ::GetSystemDirectoryW(buffer, MAX_PATH);
  return length == 0 || length >= MAX_PATH ? std::wstring() : std::wstring(buffer, length);
}

// The full path stored under HKLM\SOFTWARE\Quorvel\NS\<component>\BREL\DelayLoad, native view first.
std::wstring RegistryPath(const std::wstring& component, const std::wstring& library) {
  const std::wstring key = L"SOFTWARE\\Quorvel\\NS\\" + component + L"\\BREL\\DelayLoad";
  for (const REGSAM view : {REGSAM(0), REGSAM(KEY_WOW64_32KEY)}) {
    Win32Registry registry(HKEY_LOCAL_MACHINE, view);
    std::vector<BYTE> bytes;
    DWORD type = REG_NONE;
    if (!registry.GetValue(key, library, bytes, type)) continue;
    if (type != REG_SZ && type != REG_EXPAND_SZ && type != REG_MULTI_SZ) continue;
    std::vector<wchar_t> data(bytes.size() / sizeof(wchar_t) + 1, L'\0');
    if (data.size() > 1) std::memcpy(data.data(), bytes.data(), (data.size() - 1) * sizeof(wchar_t));
    std::wstring path(data.data());  // a multi-string's first entry
    if (type == REG_EXPAND_SZ) {
      const DWORD needed = ::ExpandEnvironmentStringsW(path.c_str(), nullptr, 0);
      std::vector<wchar_t> expanded(needed + 1);
      if (needed != 0 && ::ExpandEnvironmentStringsW(path.c_str(), expanded.data(), needed + 1) != 0)
        path = expanded.data();
    }
    if (!path.empty()) return path;
  }
  return {};
}

HMODULE TryLoad(const std::wstring& path) {
  if (path.empty()) return nullptr;
  return ::LoadLibraryExW(path.c_str(), nullptr,
                          LOAD_LIBRARY_SEARCH_SYSTEM32 | LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR);
}

using DependencyHook = void(WINAPI*)(const BrelDelayLoad::Configuration*);

// A copy of the configuration, so libraries load (and their hooks run) without the resolver's lock.
struct Settings {
  uint32_t flags;
  std::wstring component;
  std::wstring directory;
};

HMODULE Resolve(const Settings& state, const std::wstring& name) {
  const BrelDelayLoad::Configuration configuration{
      sizeof(BrelDelayLoad::Configuration), state.flags,
      state.component.empty() ? nullptr : state.component.c_str(),
      state.directory.empty() ? nullptr : state.directory.c_str()};
  std::vector<std::wstring> candidates;
  if (!state.directory.empty()) candidates.push_back(QvPath::Join(state.directory, name));
  if (state.flags & BrelDelayLoad::SearchOwnDirectory)
    candidates.push_back(QvPath::Join(OwnDirectory(), name));
  if (!state.component.empty()) candidates.push_back(RegistryPath(state.component, name));

  DWORD firstError = ERROR_SUCCESS;
  HMODULE module = nullptr;
  for (const std::wstring& candidate : candidates) {
    module = TryLoad(candidate);
    if (module != nullptr) break;
    if (firstError == ERROR_SUCCESS && !candidate.empty()) firstError = ::GetLastError();
  }
  if (module == nullptr) {
    const std::wstring system = SystemDirectory();
    module = system.empty() ? nullptr : TryLoad(QvPath::Join(system, name));
    if (module == nullptr && ::GetLastError() == ERROR_MOD_NOT_FOUND && firstError != ERROR_SUCCESS)
      ::SetLastError(firstError);
  }
  if (module == nullptr) return nullptr;
  if (auto hook = reinterpret_cast<DependencyHook>(
          reinterpret_cast<void*>(::GetProcAddress(module, "BrelDelayLoadDependencies"))))
    hook(&configuration);
  return module;
}

}  // namespace

namespace BrelDelayLoad {

void SetFlags(uint32_t flags) {
  std::lock_guard lock(State().mutex);
  State().flags = flags;
}

void ClearFlags(uint32_t flags) {
  std::lock_guard lock(State().mutex);
  State().flags &= ~flags;
}

uint32_t GetFlags() {
  std::lock_guard lock(State().mutex);
  return State().flags;
}

void SetComponent(const std::wstring& component) {
  std::lock_guard lock(State().mutex);
  State().component = component;
}

void SetDirectory(const std::wstring& directory) {
  std::lock_guard lock(State().mutex);
  State().directory = directory;
}

HMODULE BrelDelayLoadDependencies(const char* libraryName) {
  if (libraryName == nullptr || *libraryName == '\0') {
    ::SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const std::optional<std::wstring> converted = QvText::FromAnsiExact(libraryName);
  if (!converted) return nullptr;
  const std::wstring& name = *converted;
  Settings settings;
  {
    ResolverState& state = State();
    std::lock_guard lock(state.mutex);
    settings = Settings{state.flags, state.component, state.directory};
  }
  return Resolve(settings, name);
}

FARPROC GetFunction(const char* libraryName, const char* function) {
  HMODULE module = nullptr;
  {
    std::lock_guard lock(State().mutex);
    auto found = State().loaded.find(libraryName);
    if (found != State().loaded.end()) module = found->second;
  }
  if (module == nullptr) {
    module = BrelDelayLoadDependencies(libraryName);
    if (module == nullptr) return nullptr;
    std::lock_guard lock(State().mutex);
    auto [entry, inserted] = State().loaded.emplace(libraryName, module);
    // Another thread won the race: keep one reference only.
    if (!inserted) {
      ::FreeLibrary(module);
      module = entry->second;
    }
  }
  return QvProc::Get<FARPROC>(module, function);
}

}  // namespace BrelDelayLoad
