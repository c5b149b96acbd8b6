// Privilege guard: enable on the thread token (impersonating self when the thread has none),
// restore from the previous state the system reported.
#include "sysops/QvPrivilege.h"

#include <windows.h>

#include "base/UniqueHandle.h"

struct QvPrivilege::State {
  TOKEN_PRIVILEGES previous{};  // room for exactly one entry
  bool enabled = false;
  bool impersonating = false;
};

namespace {

UniqueHandle OpenThreadTokenForAdjust(bool& impersonating) {
  UniqueHandle token;
  constexpr DWORD access = TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY;
  if (::OpenThreadToken(::GetCurrentThread(), access, FALSE, token.put())) return token;
  if (::GetLastError() != ERROR_NO_TOKEN) return {};
  if (!::ImpersonateSelf(SecurityImpersonation)) return {};
  impersonating = true;
  if (!::OpenThreadToken(::GetCurrentThread(), access, FALSE, token.put())) return {};
  return token;
}

}  // namespace

QvPrivilege::QvPrivilege(const wchar_t* name) : state_(std::make_unique<State>()) {
  UniqueHandle token = OpenThreadTokenForAdjust(state_->impersonating);
  if (!token) return;
  LUID luid{};
  if (name == nullptr || !::LookupPrivilegeValueW(nullptr, name, &luid)) return;
  TOKEN_PRIVILEGES wanted{};
  wanted.PrivilegeCount = 1;
  wanted.Privileges[0].Luid = luid;
  wanted.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  DWORD returned = 0;
  ::SetLastError(ERROR_SUCCESS);
  // Success with ERROR_NOT_ALL_ASSIGNED means the account does not hold the privilege.
  const BOOL adjusted = ::AdjustTokenPrivileges(token.get(), FALSE, &wanted, sizeof(state_->previous),
                                                &state_->previous, &returned);
  state_->enabled = adjusted && ::GetLastError() == ERROR_SUCCESS;
}

QvPrivilege::~QvPrivilege() {
  if (state_->previous.PrivilegeCount != 0) {
    bool startedNow = false;
    UniqueHandle token = OpenThreadTokenForAdjust(startedNow);
    if (token) ::AdjustTokenPrivileges(token.get(), FALSE, &state_->previous, 0, nullptr, nullptr);
    // Only when someone ended the thread's impersonation meanwhile; never leave a new one behind.
    token.reset();
    if (startedNow && !::RevertToSelf()) ::RaiseException(0x80000003, EXCEPTION_NONCONTINUABLE, 0, nullptr);
    state_->previous = {};
    state_->enabled = false;
  }
  // A thread left impersonating would run later work with the wrong token: stop instead.
  if (state_->impersonating && !::RevertToSelf())
    ::RaiseException(0x80000003, EXCEPTION_NONCONTINUABLE, 0, nullptr);
}

bool QvPrivilege::IsEnabled() const { return state_->enabled; }
