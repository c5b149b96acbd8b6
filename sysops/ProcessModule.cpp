// The Process script module: termination by executable path and starting programs.
#include "sysops/ProcessModule.h"

#include <psapi.h>
#include <tlhelp32.h>
#include <wchar.h>

#include <memory>
#include <optional>
#include <vector>

#include "base/PathText.h"
#include "base/WildcardMask.h"
#include "base/ChangeJournal.h"
#include "base/LastErrorKeeper.h"
#include "core/RunDeadline.h"
#include "logging/QvBrelLogging.h"
#include "script/LuaApi.h"
#include "sysops/ProcessOutput.h"
#include "sysops/QvPrivilege.h"
#include "sysops/QvService.h"

namespace {

using Lua::PushBoolean;

constexpr DWORD kTerminateWaitMs = 10000;
constexpr DWORD kDefaultWaitMs = 30000;
constexpr DWORD kDefaultFlags = DETACHED_PROCESS;

std::wstring FileNameOf(const std::wstring& path) {
  std::wstring folder;
  std::wstring name;
  QvPath::Split(path, folder, name);
  return name;
}

// The image the system names for a process; empty when it cannot be asked.
std::wstring ImageName(DWORD processId) {
  UniqueHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
  if (!process) return {};
  std::wstring name(1024, L'\0');
  DWORD size = static_cast<DWORD>(name.size());
  if (!::QueryFullProcessImageNameW(process.get(), 0, name.data(), &size)) return {};
  name.resize(size);
  return name;
}

// The path of a process's first module (its executable as loaded), read from the other process's
// loader list with the rights a module snapshot needs; empty when it cannot be read (system and
// protected processes). A module snapshot gives the same first entry but reads the whole list:
// under Wine some hundred reads of the other process's memory, 5 to 15 ms, against about 1 ms.
std::wstring FirstModulePath(DWORD processId) {
  UniqueHandle process(::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId));
  if (!process) return {};
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length =
        ::K32GetModuleFileNameExW(process.get(), nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size() - 1) {
      path.resize(length);
      return path;
    }
    if (path.size() >= 32768) return {};
    path.resize(path.size() * 2);
  }
}

// The executable of a process from its first module; empty for processes that cannot be read and
// for those whose image name `candidate` rejects. The image name costs one question, so the module
// is read only for processes that may match. (The image name is the long form: a program started
// through an 8.3 path is matched by its long path only.) A process that has only just started has
// no loader list yet: its image name, which already matched, stands for the module, so a program
// (or a service) starting while the run looks is not passed over.
template <typename Candidate>
std::wstring ExecutablePath(DWORD processId, Candidate&& candidate) {
  const std::wstring image = ImageName(processId);
  if (!image.empty() && !candidate(image)) return {};
  std::wstring module = FirstModulePath(processId);
  if (module.empty() && !image.empty()) {
    QV_BREL_LOG(QV_DEBUG, L"Modules of process [%lu] cannot be read yet; matching its image '%s'", processId,
                image.c_str());
    return image;
  }
  return module;
}

// Waits for all of them within one time-out (capped by the run's deadline), at most
// MAXIMUM_WAIT_OBJECTS handles per wait.
void WaitForAll(const std::vector<UniqueHandle>& processes, DWORD timeoutMs) {
  const ULONGLONG deadline = ::GetTickCount64() + RunDeadline::Instance().Cap(timeoutMs);
  for (size_t first = 0; first < processes.size(); first += MAXIMUM_WAIT_OBJECTS) {
    std::vector<HANDLE> batch;
    for (size_t i = first; i < processes.size() && batch.size() < MAXIMUM_WAIT_OBJECTS; ++i)
      batch.push_back(processes[i].get());
    const ULONGLONG now = ::GetTickCount64();
    const DWORD left = now < deadline ? static_cast<DWORD>(deadline - now) : 0;
    ::WaitForMultipleObjects(static_cast<DWORD>(batch.size()), batch.data(), TRUE, left);
  }
}

// Display name of a code page in the start message.
std::wstring CodePageName(UINT codePage) {
  switch (codePage) {
    case CP_ACP:
      return L"CP_ACP";
    case CP_OEMCP:
      return L"CP_OEMCP";
    case CP_THREAD_ACP:
      return L"CP_THREAD_ACP";
    case CP_UTF8:
      return L"CP_UTF8";
    default:
      return std::to_wstring(codePage);
  }
}

DWORD Low32(lua_Integer value) {
  return static_cast<DWORD>(static_cast<unsigned long long>(value) & 0xFFFFFFFFu);
}

// The optional arguments end at the first absent or nil one: every later one takes its default.
std::wstring OptionalText(Lua::ArgCursor& cursor) {
  const std::optional<std::string_view> value = cursor.OptString();
  return value ? Lua::ToWide(*value) : std::wstring();
}
DWORD OptionalDword(Lua::ArgCursor& cursor, DWORD fallback) {
  const std::optional<lua_Integer> value = cursor.OptInteger();
  return value ? Low32(*value) : fallback;
}

int Terminate(lua_State* state, Lua::Process::MatchRule rule) {
  Lua::ArgCursor args(state);
  return PushBoolean(state, Lua::Process::TerminateProcesses(Lua::ToWide(args.String()), rule));
}

}  // namespace

namespace Lua::Process {

UINT GetCodePageValue(UINT codePage) {
  CPINFOEXW info = {};
  if (!::GetCPInfoExW(codePage, 0, &info)) {
    QV_BREL_LOG(QV_ERROR, L"Failed GetCPInfoExW: %lu", ::GetLastError());
    return 0;
  }
  return info.CodePage;
}

bool Matches(MatchRule rule, const std::wstring& exePath, const std::wstring& argument) {
  switch (rule) {
    case MatchRule::AllFromPath: {
      if (argument.empty()) return false;
      std::wstring prefix = argument;
      if (prefix.back() != L'\\') prefix += L'\\';
      return exePath.size() > prefix.size() &&
             ::_wcsnicmp(exePath.c_str(), prefix.c_str(), prefix.size()) == 0;
    }
    case MatchRule::ByPath:
      return ::_wcsicmp(exePath.c_str(), argument.c_str()) == 0;
    case MatchRule::ByName:
      return ::_wcsicmp(FileNameOf(exePath).c_str(), argument.c_str()) == 0;
    case MatchRule::ByNameMask:
      return QvText::MatchesMask(argument, FileNameOf(exePath));
  }
  return false;
}

bool TerminateProcesses(const std::wstring& argument, MatchRule rule) {
  UniqueFileHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) {
    QV_BREL_LOG(QV_ERROR, L"Failed to create tool help snapshot : %ul", ::GetLastError());
    return false;
  }
  QvPrivilege debug(L"SeDebugPrivilege");
  if (!debug.IsEnabled()) QV_BREL_LOG(QV_WARNING, L"Failed to get debug privilege");
  const DWORD self = ::GetCurrentProcessId();
  std::vector<UniqueHandle> terminated;
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof(entry);
  for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more;
       more = ::Process32NextW(snapshot.get(), &entry)) {
    if (entry.th32ProcessID == self) continue;
    const std::wstring path = ExecutablePath(
        entry.th32ProcessID, [&](const std::wstring& image) { return Matches(rule, image, argument); });
    if (path.empty() || !Matches(rule, path, argument)) continue;
    const std::wstring target = std::to_wstring(entry.th32ProcessID) + L" " + path;
    ChangeJournal& journal = ChangeJournal::Instance();
    if (journal.Planning()) {
      journal.Record(L"process.terminate", target, ChangeResult::Planned);
      continue;
    }
    QV_BREL_LOG(QV_INFO, L"Terminating process [%lu] '%s'", entry.th32ProcessID, path.c_str());
    UniqueHandle process(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.th32ProcessID));
    if (!process) {
      const DWORD error = ::GetLastError();
      journal.Record(L"process.terminate", target, ChangeResult::Failed, error);
      QV_BREL_LOG(QV_WARNING, L"Failed to open process: %lu", error);
      continue;
    }
    if (!::TerminateProcess(process.get(), 0)) {
      const DWORD error = ::GetLastError();
      journal.Record(L"process.terminate", target, ChangeResult::Failed, error);
      QV_BREL_LOG(QV_ERROR, L"Failed to terminate: %lu", error);
      continue;
    }
    journal.Record(L"process.terminate", target, ChangeResult::Done);
    terminated.push_back(std::move(process));
  }
  if (!terminated.empty()) WaitForAll(terminated, kTerminateWaitMs);
  return true;
}

UniqueHandle LaunchProcess(const std::wstring& path, const std::wstring* arguments, DWORD flags,
                           const std::wstring* workingDirectory, const STARTUPINFOW* startup) {
  std::wstring commandLine = L"\"" + path + L"\"";
  if (arguments != nullptr) commandLine += L" " + *arguments;
  ChangeJournal& journal = ChangeJournal::Instance();
  // The plan starts no program: it counts as failed, so the script's fall-backs show in the plan.
  if (journal.Planning()) {
    journal.Record(L"process.start", commandLine, ChangeResult::Planned);
    ::SetLastError(ERROR_CANCELLED);
    return {};
  }
  QvService::ReleaseKept();  // the program may delete a service this run has open
  STARTUPINFOW info = {};
  info.cb = sizeof(info);
  if (startup != nullptr) info = *startup;
  const BOOL inherit = (info.dwFlags & STARTF_USESTDHANDLES) != 0;
  PROCESS_INFORMATION created = {};
  const bool started =
      ::CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, inherit, flags, nullptr,
                       workingDirectory != nullptr ? workingDirectory->c_str() : nullptr, &info,
                       &created) != FALSE;
  {
    const LastErrorKeeper keep;
    journal.RecordOutcome(L"process.start", commandLine, started, ::GetLastError());
  }
  if (!started) return {};
  UniqueHandle thread(created.hThread);
  return UniqueHandle(created.hProcess);
}

bool StartProcessWithArgumentsAndWaitForCompletion(const std::wstring& path, const std::wstring& arguments,
                                                   DWORD timeoutMs, DWORD flags,
                                                   const std::wstring& workingDirectory,
                                                   const std::wstring& logName, UINT codePage) {
  const UINT effective = GetCodePageValue(codePage);
  QV_BREL_LOG(
      QV_INFO,
      L"Create process:'%s' with args:'%s', mode:0x%x, wait timeout(msecs):%lu, working dir:%s, log name:%s, "
      L"output code page:%s (%lu)",
      path.c_str(), arguments.c_str(), flags, timeoutMs, workingDirectory.c_str(), logName.c_str(),
      CodePageName(codePage).c_str(), effective);
  std::unique_ptr<ProcessOutputRedirector> redirector;
  if (logName.empty())
    redirector = std::make_unique<DummyProcessOutputRedirector>();
  else
    redirector = std::make_unique<ProcessOutputLogger>(logName, codePage);
  if (!redirector->Init()) return false;
  UniqueHandle process =
      LaunchProcess(path, arguments.empty() ? nullptr : &arguments, flags,
                    workingDirectory.empty() ? nullptr : &workingDirectory, redirector->GetStartupInfo());
  if (!process) {
    QV_BREL_LOG(QV_ERROR, L"Failed to create process : %lu", ::GetLastError());
    return false;
  }
  redirector->Run();
  // Cut short by the run's deadline, the wait ends as its own time-out does (same message).
  const DWORD wait = ::WaitForSingleObject(process.get(), RunDeadline::Instance().Cap(timeoutMs));
  redirector->Stop(wait != WAIT_OBJECT_0);
  if (wait == WAIT_TIMEOUT) {
    QV_BREL_LOG(QV_ERROR, L"Process wait timeout %lu ms elapsed", timeoutMs);
    return false;
  }
  if (wait == WAIT_FAILED) {
    QV_BREL_LOG(QV_ERROR, L"Process wait failed, error: %lu", ::GetLastError());
    return false;
  }
  DWORD exitCode = 0;
  if (!::GetExitCodeProcess(process.get(), &exitCode)) {
    QV_BREL_LOG(QV_ERROR, L"Couldn't read exit code : %lu", ::GetLastError());
    return false;
  }
  QV_BREL_LOG(QV_INFO, L"Process completed, exit code : %lu (as int:%d)", exitCode,
              static_cast<int>(exitCode));
  return exitCode == 0;
}

bool StartProcessWithArguments(const std::wstring& path, const std::wstring& arguments, DWORD flags,
                               const std::wstring& workingDirectory) {
  QV_BREL_LOG(QV_INFO, L"Create process:'%s' with args:'%s', mode:0x%x, working dir:%s", path.c_str(),
              arguments.c_str(), flags, workingDirectory.c_str());
  UniqueHandle process = LaunchProcess(path, arguments.empty() ? nullptr : &arguments, flags,
                                       workingDirectory.empty() ? nullptr : &workingDirectory, nullptr);
  if (!process) {
    QV_BREL_LOG(QV_ERROR, L"Failed to create process : %lu", ::GetLastError());
    return false;
  }
  return true;
}

int TerminateAllFromPath(lua_State* state) {
  Lua::ArgCursor args(state);
  const std::wstring folder = Lua::ToWide(args.String());
  // The folder names what goes: text Windows would rewrite ("..", "Prog.", "/") is refused rather
  // than matched. A relative or empty folder matches no program, as before.
  std::wstring component;
  const QvPath::PathProblem problem = QvPath::CheckCanonical(folder, &component);
  if (problem != QvPath::PathProblem::None && problem != QvPath::PathProblem::NotAbsolute) {
    QV_BREL_LOG(QV_WARNING, L"Refusing '%s': %s", folder.c_str(),
                QvPath::DescribeProblem(problem, component).c_str());
    return PushBoolean(state, false);
  }
  return PushBoolean(state, Lua::Process::TerminateProcesses(folder, MatchRule::AllFromPath));
}
int TerminateByPath(lua_State* state) { return Terminate(state, MatchRule::ByPath); }
int TerminateByName(lua_State* state) { return Terminate(state, MatchRule::ByName); }
int TerminateByNameMask(lua_State* state) { return Terminate(state, MatchRule::ByNameMask); }

int StartProcessAndWaitForCompletion(lua_State* state) {
  ArgCursor cursor(state, ArgCursor::Optionals::EndAtFirstAbsent);
  const std::wstring path = ToWide(cursor.String());
  const std::wstring arguments = OptionalText(cursor);
  const DWORD timeoutMs = OptionalDword(cursor, kDefaultWaitMs);
  const DWORD flags = OptionalDword(cursor, kDefaultFlags);
  const std::wstring workingDirectory = OptionalText(cursor);
  const std::wstring logName = OptionalText(cursor);
  const UINT codePage = OptionalDword(cursor, CP_UTF8);
  return PushBoolean(state, StartProcessWithArgumentsAndWaitForCompletion(
                                path, arguments, timeoutMs, flags, workingDirectory, logName, codePage));
}

int StartProcess(lua_State* state) {
  ArgCursor cursor(state, ArgCursor::Optionals::EndAtFirstAbsent);
  const std::wstring path = ToWide(cursor.String());
  const std::wstring arguments = OptionalText(cursor);
  const DWORD flags = OptionalDword(cursor, kDefaultFlags);
  const std::wstring workingDirectory = OptionalText(cursor);
  return PushBoolean(state, StartProcessWithArguments(path, arguments, flags, workingDirectory));
}

void Register(lua_State* state) {
  static constexpr struct {
    const char* name;
    lua_Integer value;
  } constants[] = {
      {"CreationFlags_DEBUG_PROCESS", 0x1},
      {"CreationFlags_DEBUG_ONLY_THIS_PROCESS", 0x2},
      {"CreationFlags_CREATE_SUSPENDED", 0x4},
      {"CreationFlags_DETACHED_PROCESS", 0x8},
      {"CreationFlags_CREATE_NEW_CONSOLE", 0x10},
      {"CreationFlags_NORMAL_PRIORITY_CLASS", 0x20},
      {"CreationFlags_IDLE_PRIORITY_CLASS", 0x40},
      {"CreationFlags_HIGH_PRIORITY_CLASS", 0x80},
      {"CreationFlags_REALTIME_PRIORITY_CLASS", 0x100},
      {"CreationFlags_CREATE_NEW_PROCESS_GROUP", 0x200},
      {"CreationFlags_CREATE_UNICODE_ENVIRONMENT", 0x400},
      {"CreationFlags_CREATE_SEPARATE_WOW_VDM", 0x800},
      {"CreationFlags_CREATE_SHARED_WOW_VDM", 0x1000},
      {"CreationFlags_CREATE_FORCEDOS", 0x2000},
      {"CreationFlags_BELOW_NORMAL_PRIORITY_CLASS", 0x4000},
      {"CreationFlags_ABOVE_NORMAL_PRIORITY_CLASS", 0x8000},
      {"CreationFlags_INHERIT_PARENT_AFFINITY", 0x10000},
      {"CreationFlags_INHERIT_CALLER_PRIORITY", 0x20000},
      {"CreationFlags_CREATE_PROTECTED_PROCESS", 0x40000},
      {"CreationFlags_EXTENDED_STARTUPINFO_PRESENT", 0x80000},
      {"CreationFlags_PROCESS_MODE_BACKGROUND_BEGIN", 0x100000},
      {"CreationFlags_PROCESS_MODE_BACKGROUND_END", 0x200000},
      {"CreationFlags_CREATE_BREAKAWAY_FROM_JOB", 0x1000000},
      {"CreationFlags_CREATE_PRESERVE_CODE_AUTHZ_LEVEL", 0x2000000},
      {"CreationFlags_CREATE_DEFAULT_ERROR_MODE", 0x4000000},
      {"CreationFlags_CREATE_NO_WINDOW", 0x8000000},
      {"CreationFlags_PROFILE_USER", 0x10000000},
      {"CreationFlags_PROFILE_KERNEL", 0x20000000},
      {"CreationFlags_PROFILE_SERVER", 0x40000000},
      // 0x80000000 as the signed 32-bit value scripts have always seen.
      {"CreationFlags_CREATE_IGNORE_SYSTEM_DEFAULT", -2147483648LL},
      {"CP_UTF8", CP_UTF8},
      {"CP_ACP", CP_ACP},
      {"CP_OEMCP", CP_OEMCP},
  };
  for (const auto& constant : constants) RegisterConstant(state, constant.name, constant.value);
  static constexpr luaL_Reg functions[] = {
      {"TerminateAllFromPath", TerminateAllFromPath},
      {"TerminateByPath", TerminateByPath},
      {"TerminateByName", TerminateByName},
      {"TerminateByNameMask", TerminateByNameMask},
      {"StartProcessAndWaitForCompletion", StartProcessAndWaitForCompletion},
      {"StartProcess", StartProcess},
      {nullptr, nullptr}};
  RegisterModule(state, "Process", functions);
}

}  // namespace Lua::Process
