// Access repair: take ownership for the Administrators group and grant it full access, through a
// handle on the entry itself.
#include "sysops/FileAccess.h"

#include <windows.h>
#include <aclapi.h>

#include "base/HandleInfo.h"
#include "base/UniqueHandle.h"
#include "base/WellKnownSids.h"
#include "logging/QvBrelLogging.h"
#include "sysops/FileAccessSeam.h"
#include "sysops/QvPrivilege.h"

namespace FileAccessSeam {
GetSecurityInfoCall getSecurityInfo = ::GetSecurityInfo;
SetSecurityInfoCall setSecurityInfo = ::SetSecurityInfo;
}  // namespace FileAccessSeam

namespace {

constexpr DWORD kRepairAccess = READ_CONTROL | WRITE_DAC | WRITE_OWNER | FILE_READ_ATTRIBUTES;
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

HANDLE OpenEntry(const QvPath::CheckedPath& path, DWORD access) {
  return ::CreateFileW(path.c_str(), access, kShareAll, nullptr, OPEN_EXISTING,
                       FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

// Why the entry behind `handle` must keep its security, or empty when it may be repaired.
std::wstring LinkReason(const QvPath::CheckedPath& path, HANDLE handle) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(handle, &info))
    return L"its links cannot be read, error: " + std::to_wstring(::GetLastError());
  // The name's own attributes too: Wine opens a unix folder link's target and shows the link only there.
  const DWORD named = ::GetFileAttributesW(path.c_str());
  if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
      (named != INVALID_FILE_ATTRIBUTES && (named & FILE_ATTRIBUTE_REPARSE_POINT)))
    return L"it is a link";
  if (info.nNumberOfLinks > 1) return L"it has " + std::to_wstring(info.nNumberOfLinks) + L" names";
  return {};
}

}  // namespace

namespace FileAccess {

bool AddFullAccessForAdmins(const QvPath::CheckedPath& path) {
  const std::wstring display = path.Display();
  QV_BREL_LOG(QV_DEBUG, L"Granting access for '%s'", display.c_str());
  UniqueAllocatedSid admins = QvSids::CreateAdministratorsSid();
  if (!admins) {
    const DWORD error = ::GetLastError();
    QV_BREL_LOG(QV_WARNING, L"Failed to add full access for '%ls', error. %lu", display.c_str(), error);
    return false;
  }

  UniqueFileHandle entry;
  DWORD openError = ERROR_SUCCESS;
  {
    // Ownership lets the DACL be rewritten even when the current DACL grants nothing.
    QvPrivilege takeOwnership(SE_TAKE_OWNERSHIP_NAME);
    entry.reset(OpenEntry(path, kRepairAccess));
    if (!entry && ::GetLastError() == ERROR_ACCESS_DENIED) {
      // Not the owner and not granted read control: take ownership first, which the privilege
      // allows, and open again as the owner.
      UniqueFileHandle owner(OpenEntry(path, WRITE_OWNER | FILE_READ_ATTRIBUTES));
      if (owner && LinkReason(path, owner.get()).empty())
        FileAccessSeam::setSecurityInfo(owner.get(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, admins.get(),
                                        nullptr, nullptr, nullptr);
      owner.reset();
      entry.reset(OpenEntry(path, kRepairAccess));
    }
    // Read before the privilege is given back, which sets the last error anew.
    if (!entry) openError = ::GetLastError();
  }
  if (!entry) {
    QV_BREL_LOG(QV_WARNING, L"Failed to add full access for '%ls', error. %lu", display.c_str(), openError);
    return false;
  }
  const std::wstring reason = LinkReason(path, entry.get());
  if (!reason.empty()) {
    QV_BREL_LOG(QV_WARNING, L"Not repairing the access of '%s': %s", display.c_str(), reason.c_str());
    return false;
  }
  const DWORD ownerResult = FileAccessSeam::setSecurityInfo(
      entry.get(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, admins.get(), nullptr, nullptr, nullptr);
  if (ownerResult != ERROR_SUCCESS)
    QV_BREL_LOG(QV_WARNING, L"Failed setting ownership for '%s' for admins, error: %lu", display.c_str(),
                ownerResult);

  PACL currentDacl = nullptr;
  UniqueLocalMem descriptor;
  DWORD result = FileAccessSeam::getSecurityInfo(entry.get(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
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
      result = FileAccessSeam::setSecurityInfo(entry.get(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION,
                                               nullptr, nullptr, static_cast<PACL>(newDacl.get()), nullptr);
  }
  if (result != ERROR_SUCCESS) {
    QV_BREL_LOG(QV_WARNING, L"Failed to add full access for '%ls', error. %lu", display.c_str(), result);
    return false;
  }
  return true;
}

}  // namespace FileAccess
