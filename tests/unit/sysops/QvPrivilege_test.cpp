// The privilege guard against real thread tokens: enabling, restoring, refusals, nesting.
#include "sysops/QvPrivilege.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <optional>
#include <thread>
#include <vector>

#include "base/UniqueHandle.h"

namespace {

bool ThreadHasToken() {
  UniqueHandle token;
  return ::OpenThreadToken(::GetCurrentThread(), TOKEN_QUERY, TRUE, token.put()) != FALSE;
}

// The thread's token, else the process token.
UniqueHandle EffectiveToken(DWORD access) {
  UniqueHandle token;
  if (::OpenThreadToken(::GetCurrentThread(), access, TRUE, token.put())) return token;
  ::OpenProcessToken(::GetCurrentProcess(), access, token.put());
  return token;
}

// Every privilege of the effective token with its attributes.
std::vector<LUID_AND_ATTRIBUTES> Privileges() {
  UniqueHandle token = EffectiveToken(TOKEN_QUERY);
  DWORD size = 0;
  ::GetTokenInformation(token.get(), TokenPrivileges, nullptr, 0, &size);
  std::vector<BYTE> buffer(size);
  if (size == 0 || !::GetTokenInformation(token.get(), TokenPrivileges, buffer.data(), size, &size))
    return {};
  const auto* privileges = reinterpret_cast<const TOKEN_PRIVILEGES*>(buffer.data());
  return {privileges->Privileges, privileges->Privileges + privileges->PrivilegeCount};
}

// Enabled state of a privilege in the effective token; nothing when the token does not hold it.
std::optional<bool> IsEnabledNow(const wchar_t* name) {
  LUID luid{};
  if (!::LookupPrivilegeValueW(nullptr, name, &luid)) return std::nullopt;
  for (const LUID_AND_ATTRIBUTES& entry : Privileges())
    if (entry.Luid.LowPart == luid.LowPart && entry.Luid.HighPart == luid.HighPart)
      return (entry.Attributes & SE_PRIVILEGE_ENABLED) != 0;
  return std::nullopt;
}

bool SetOnThreadToken(const wchar_t* name, bool enable) {
  UniqueHandle token;
  LUID luid{};
  if (!::OpenThreadToken(::GetCurrentThread(), TOKEN_ADJUST_PRIVILEGES, TRUE, token.put()) ||
      !::LookupPrivilegeValueW(nullptr, name, &luid))
    return false;
  TOKEN_PRIVILEGES wanted{1, {{luid, enable ? static_cast<DWORD>(SE_PRIVILEGE_ENABLED) : 0}}};
  return ::AdjustTokenPrivileges(token.get(), FALSE, &wanted, 0, nullptr, nullptr) && ::GetLastError() == 0;
}

bool SameAttributes(const std::vector<LUID_AND_ATTRIBUTES>& a, const std::vector<LUID_AND_ATTRIBUTES>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (a[i].Luid.LowPart != b[i].Luid.LowPart || a[i].Attributes != b[i].Attributes) return false;
  return true;
}

// Each case runs on a fresh thread, which starts without a token of its own.
template <typename F>
void OnFreshThread(F body) {
  std::thread thread([&] {
    ASSERT_FALSE(ThreadHasToken());
    body();
  });
  thread.join();
}

constexpr wchar_t kShutdown[] = L"SeShutdownPrivilege";

TEST(QvPrivilege, EnablesForTheGuardsLifetimeOnly) {
  OnFreshThread([] {
    // The thread impersonates itself first, so the guard works on a token it did not create.
    ASSERT_TRUE(::ImpersonateSelf(SecurityImpersonation));
    ASSERT_EQ(IsEnabledNow(kShutdown), std::optional<bool>(false));
    {
      QvPrivilege guard(kShutdown);
      EXPECT_TRUE(guard.IsEnabled());
      EXPECT_EQ(IsEnabledNow(kShutdown), std::optional<bool>(true));
    }
    EXPECT_EQ(IsEnabledNow(kShutdown), std::optional<bool>(false));
    EXPECT_TRUE(ThreadHasToken());  // not the guard's impersonation to end
    ASSERT_TRUE(::RevertToSelf());
  });
}

TEST(QvPrivilege, LeavesAnAlreadyEnabledPrivilegeEnabled) {
  OnFreshThread([] {
    ASSERT_TRUE(::ImpersonateSelf(SecurityImpersonation));
    ASSERT_TRUE(SetOnThreadToken(kShutdown, true));
    {
      QvPrivilege guard(kShutdown);
      EXPECT_TRUE(guard.IsEnabled());
    }
    EXPECT_EQ(IsEnabledNow(kShutdown), std::optional<bool>(true));
    ASSERT_TRUE(::RevertToSelf());
  });
}

TEST(QvPrivilege, APrivilegeTheAccountLacksChangesNothing) {
  OnFreshThread([] {
    ASSERT_TRUE(::ImpersonateSelf(SecurityImpersonation));
    // Not in the token: enabling reports ERROR_NOT_ALL_ASSIGNED.
    if (IsEnabledNow(L"SeCreateTokenPrivilege").has_value())
      GTEST_SKIP() << "the account holds SeCreateTokenPrivilege";
    const std::vector<LUID_AND_ATTRIBUTES> before = Privileges();
    {
      QvPrivilege guard(L"SeCreateTokenPrivilege");
      EXPECT_FALSE(guard.IsEnabled());
      EXPECT_TRUE(SameAttributes(Privileges(), before));
    }
    EXPECT_TRUE(SameAttributes(Privileges(), before));
    ASSERT_TRUE(::RevertToSelf());
  });
}

TEST(QvPrivilege, NamesThatAreNoPrivilegeAreNotEnabled) {
  OnFreshThread([] {
    const std::vector<LUID_AND_ATTRIBUTES> before = Privileges();
    for (const wchar_t* name : {L"SeNoSuchPrivilege", L"", static_cast<const wchar_t*>(nullptr)}) {
      QvPrivilege guard(name);
      EXPECT_FALSE(guard.IsEnabled());
    }
    EXPECT_TRUE(SameAttributes(Privileges(), before));
    EXPECT_FALSE(ThreadHasToken());
  });
}

TEST(QvPrivilege, NestedGuardsOnAThreadWithoutTokenEndTheImpersonationOnce) {
  OnFreshThread([] {
    const std::optional<bool> processShutdown = IsEnabledNow(kShutdown);
    {
      QvPrivilege outer(L"SeTakeOwnershipPrivilege");
      EXPECT_TRUE(outer.IsEnabled());
      EXPECT_TRUE(ThreadHasToken());  // the outer guard started impersonating
      {
        QvPrivilege inner(kShutdown);
        EXPECT_TRUE(inner.IsEnabled());
        EXPECT_EQ(IsEnabledNow(L"SeTakeOwnershipPrivilege"), std::optional<bool>(true));
      }
      // The inner guard did not start an impersonation, so it must not have ended it.
      EXPECT_TRUE(ThreadHasToken());
      EXPECT_EQ(IsEnabledNow(L"SeTakeOwnershipPrivilege"), std::optional<bool>(true));
      EXPECT_EQ(IsEnabledNow(kShutdown), std::optional<bool>(false));
    }
    EXPECT_FALSE(ThreadHasToken());
    // The process token was never touched.
    EXPECT_EQ(IsEnabledNow(kShutdown), processShutdown);
  });
}

}  // namespace
