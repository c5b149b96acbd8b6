// Service control through one opened service handle.
#include "sysops/QvService.h"

#include <cwctype>
#include <map>
#include <memory>
#include <mutex>

#include "base/ChangeJournal.h"
#include "core/Poll.h"
#include "sysops/QvServiceSeam.h"

namespace QvServiceSeam {
Waits waits;
EnumDependentsCall enumDependents = ::EnumDependentServicesW;
}  // namespace QvServiceSeam

namespace {

struct HeapFreer {
  void operator()(void* block) const { ::HeapFree(::GetProcessHeap(), 0, block); }
};

// One connection to the service control manager per access kind, kept for the process: each new one
// costs a pipe connection and an RPC bind, and a removal opens services some fifty times. A failed
// open is not kept, so the next service tries again.
SC_HANDLE SharedManager(bool readOnly, DWORD* error) {
  static std::mutex mutex;
  static UniqueServiceHandle managers[2];
  const std::lock_guard lock(mutex);
  UniqueServiceHandle& manager = managers[readOnly ? 0 : 1];
  if (!manager) {
    manager.reset(
        ::OpenSCManagerW(nullptr, SERVICES_ACTIVE_DATABASEW, readOnly ? GENERIC_READ : GENERIC_ALL));
    if (!manager) *error = ::GetLastError();
  }
  return manager.get();
}

// Service names compare without case.
std::wstring KeptName(const std::wstring& name) {
  std::wstring lower;
  for (wchar_t c : name) lower.push_back(static_cast<wchar_t>(std::towlower(c)));
  return lower;
}

std::mutex keptMutex;
std::map<std::wstring, UniqueServiceHandle>& Kept() {
  static std::map<std::wstring, UniqueServiceHandle> kept;
  return kept;
}

}  // namespace

QvService::QvService(const std::wstring& name, bool readOnly) : name_(name), fullAccess_(!readOnly) {
  if (fullAccess_) {
    const std::lock_guard lock(keptMutex);
    auto kept = Kept().find(KeptName(name));
    if (kept != Kept().end()) {
      handle_ = std::move(kept->second);
      Kept().erase(kept);
      return;
    }
  }
  const SC_HANDLE manager = SharedManager(readOnly, &lastError_);
  if (manager == nullptr) return;
  handle_.reset(::OpenServiceW(manager, name.c_str(), readOnly ? GENERIC_READ : GENERIC_ALL));
  if (!handle_) lastError_ = ::GetLastError();
}

int QvService::GetState() {
  SERVICE_STATUS_PROCESS status = {};
  DWORD needed = 0;
  if (!::QueryServiceStatusEx(handle_.get(), SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status),
                              sizeof(status), &needed)) {
    lastError_ = ::GetLastError();
    return -1;
  }
  return static_cast<int>(status.dwCurrentState);
}

bool QvService::Start(const std::vector<std::wstring>& arguments, DWORD timeoutMs) {
  std::vector<LPCWSTR> pointers;
  for (const std::wstring& argument : arguments) pointers.push_back(argument.c_str());
  if (!::StartServiceW(handle_.get(), static_cast<DWORD>(pointers.size()),
                       pointers.empty() ? nullptr : pointers.data())) {
    lastError_ = ::GetLastError();
    return lastError_ == ERROR_SERVICE_ALREADY_RUNNING;
  }
  // A failed query counts as state -1 and the polling goes on; a service back at stopped has given
  // up its start, so there is nothing left to wait for.
  int state = -1;
  QvPoll::Until(timeoutMs, QvServiceSeam::waits.startPollMs, [&] {
    state = GetState();
    return state == SERVICE_RUNNING || state == SERVICE_STOPPED;
  });
  return state == SERVICE_RUNNING;
}

bool QvService::SendStop(int* state) {
  SERVICE_STATUS status = {};
  if (!::ControlService(handle_.get(), SERVICE_CONTROL_STOP, &status)) {
    lastError_ = ::GetLastError();
    return false;
  }
  *state = static_cast<int>(status.dwCurrentState);
  return true;
}

bool QvService::Stop(DWORD timeoutMs) {
  const ULONGLONG started = ::GetTickCount64();
  const auto left = [&] {
    const ULONGLONG spent = ::GetTickCount64() - started;
    return spent < timeoutMs ? static_cast<DWORD>(timeoutMs - spent) : 0;
  };
  int state = GetState();
  if (state == SERVICE_STOPPED) return true;
  if (state != SERVICE_STOP_PENDING) {
    if (!StopDependents()) return false;
    if (!SendStop(&state)) {
      // A service still starting (one the system started at boot, say) accepts no stop yet: it is
      // given the rest of the time to finish starting, then asked again.
      const bool starting =
          state == SERVICE_START_PENDING &&
          (lastError_ == ERROR_INVALID_SERVICE_CONTROL || lastError_ == ERROR_SERVICE_CANNOT_ACCEPT_CTRL);
      if (!starting) return false;
      const DWORD refusal = lastError_;
      QvPoll::Until(left(), QvServiceSeam::waits.stopPollMs, [&] {
        state = GetState();
        return state != SERVICE_START_PENDING;
      });
      if (state == SERVICE_STOPPED) return true;
      if (state == SERVICE_START_PENDING) {
        lastError_ = refusal;
        return false;
      }
      if (state != SERVICE_STOP_PENDING && !SendStop(&state)) return false;
    }
  }
  if (state == SERVICE_STOPPED) return true;
  return QvPoll::Until(left(), QvServiceSeam::waits.stopPollMs,
                       [this] { return GetState() == SERVICE_STOPPED; });
}

bool QvService::StopDependents() {
  DWORD needed = 0;
  DWORD count = 0;
  if (QvServiceSeam::enumDependents(handle_.get(), SERVICE_ACTIVE, nullptr, 0, &needed, &count)) return true;
  const DWORD error = ::GetLastError();
  if (error != ERROR_MORE_DATA) {
    lastError_ = error;
    return false;
  }
  std::unique_ptr<void, HeapFreer> buffer(::HeapAlloc(::GetProcessHeap(), HEAP_ZERO_MEMORY, needed));
  if (!buffer) {
    lastError_ = ERROR_NOT_ENOUGH_MEMORY;
    return false;
  }
  auto* dependents = static_cast<ENUM_SERVICE_STATUSW*>(buffer.get());
  if (!QvServiceSeam::enumDependents(handle_.get(), SERVICE_ACTIVE, dependents, needed, &needed, &count)) {
    lastError_ = ::GetLastError();
    return false;
  }
  for (DWORD i = 0; i < count; ++i) {
    QvService dependent(dependents[i].lpServiceName, false);
    const bool stopped = dependent.Stop(QvServiceSeam::waits.stopTimeoutMs);
    // Another service stopped on the way: a change of its own in the journal.
    ChangeJournal::Instance().RecordOutcome(L"service.stop", dependents[i].lpServiceName, stopped,
                                            dependent.LastError());
    if (!stopped) {
      lastError_ = dependent.LastError();
      return false;
    }
  }
  return true;
}

void QvService::KeepForNext() {
  if (!fullAccess_ || !handle_) return;
  const std::lock_guard lock(keptMutex);
  Kept()[KeptName(name_)] = std::move(handle_);
}

void QvService::ReleaseKept() {
  const std::lock_guard lock(keptMutex);
  Kept().clear();
}

bool QvService::Delete() {
  if (::DeleteService(handle_.get())) return true;
  lastError_ = ::GetLastError();
  return false;
}
