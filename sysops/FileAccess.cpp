// Access repair: take ownership for the Administrators group and grant it full access.
#include "sysops/FileAccess.h"

#include <windows.h>
#include <aclapi.h>

#include "base/WellKnownSids.h"
#include "logging/QvBrelLogging.h"
#include "sysops/QvPath.h"
#include "sysops/QvPrivilege.h"

namespace FileAccess {

bool AddFullAccessForAdmins(const std::wstring& path) {
  QV_BREL_LOG(QV_DEBUG, L"Granting access for '%s'", path.c_str());
  std::wstring systemPath = QvPath::ToSystemPath(path);
  UniqueAllocatedSid admins = QvSids::CreateAdministratorsSid();
  if (!admins) {
    const DWORD error = ::GetLastError();
    QV_BREL_LOG(QV_WARNING, L"Failed to add full access for '%ls', error. %lu", path.c_str(), error);
    return false;
  }

  {
    // Ownership lets the DACL be rewritten even when the current DACL grants nothing.
    QvPrivilege takeOwnership(SE_TAKE_OWNERSHIP_NAME);
    const DWORD ownerResult =
        ::SetNamedSecurityInfoW(systemPath.data(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, admins.get(),
                                nullptr, nullptr, nullptr);
    if (ownerResult != ERROR_SUCCESS)
      QV_BREL_LOG(QV_WARNING, L"Failed setting ownership for '%s' for admins, error: %lu", path.c_str(),
                  ownerResult);
  }

  PACL currentDacl = nullptr;
  UniqueLocalMem descriptor;
  DWORD result = ::GetNamedSecurityInfoW(systemPath.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                                         nullptr, nullptr, &currentDacl, nullptr,
                                         reinterpret_cast<PSECURITY_DESCRIPTOR*>(descriptor.put()));
  if (result == ERROR_SUCCESS) {
    EXPLICIT_ACCESSW access{};
    access.grfAccessPermissions = FILE_ALL_ACCESS;
    access.grfAccessMode = SET_ACCESS;
    access.grfInheritance = NO_INHERITANCE;
    access.Trustee.TrusteeForm = TRUSTEE_IS_SID;
    access.Trustee.TrusteeType = TRUSTEE_IS_GROUP;
    access.Trustee.ptstrName = static_cast<LPWSTR>(admins.get());
    UniqueLocalMem newDacl;
    result = ::SetEntriesInAclW(1, &access, currentDacl, reinterpret_cast<PACL*>(newDacl.put()));
    if (result == ERROR_SUCCESS)
      result = ::SetNamedSecurityInfoW(systemPath.data(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                       nullptr, static_cast<PACL>(newDacl.get()), nullptr);
  }
  if (result != ERROR_SUCCESS) {
    QV_BREL_LOG(QV_WARNING, L"Failed to add full access for '%ls', error. %lu", path.c_str(), result);
    return false;
  }
  return true;
}

}  // namespace FileAccess
