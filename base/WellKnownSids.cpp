// Well-known SIDs built from their authority and relative ids.
#include "base/WellKnownSids.h"

namespace QvSids {

UniqueAllocatedSid CreateAdministratorsSid() {
  SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
  UniqueAllocatedSid sid;
  if (!::AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0,
                                  0, 0, 0, 0, sid.put()))
    return {};
  return sid;
}

UniqueAllocatedSid CreateSystemSid() {
  SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
  UniqueAllocatedSid sid;
  if (!::AllocateAndInitializeSid(&ntAuthority, 1, SECURITY_LOCAL_SYSTEM_RID, 0, 0, 0, 0, 0, 0, 0, sid.put()))
    return {};
  return sid;
}

bool IsAdministratorsMember() {
  const UniqueAllocatedSid administrators = CreateAdministratorsSid();
  BOOL member = FALSE;
  return administrators && ::CheckTokenMembership(nullptr, administrators.get(), &member) && member;
}

}  // namespace QvSids
