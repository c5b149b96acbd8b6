// Registry, token, known-folder and SDDL helpers of the logging library.
#include "logging/LogPlatform.h"

#include "base/WellKnownSids.h"
#include "base/Win32Registry.h"

#include <aclapi.h>
#include <sddl.h>
#include <shlobj.h>

#include <vector>

namespace QvBrelLogging::Platform {

namespace {

UniqueHandle OpenProcessTokenForQuery() {
  UniqueHandle token;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.put())) return {};
  return token;
}

// The variable-length token information block of `infoClass`, or empty.
std::vector<BYTE> QueryToken(HANDLE token, TOKEN_INFORMATION_CLASS infoClass) {
  DWORD size = 0;
  ::GetTokenInformation(token, infoClass, nullptr, 0, &size);
  if (size == 0) return {};
  std::vector<BYTE> buffer(size);
  if (!::GetTokenInformation(token, infoClass, buffer.data(), size, &size)) return {};
  return buffer;
}

}  // namespace

bool ReadLoggingDword(const wchar_t* name, DWORD& value) {
  Win32Registry registry(HKEY_LOCAL_MACHINE, 0);
  DWORD data = 0;
  // REG_NONE reads as 0 through GetDWORD; only a real DWORD configures the logger.
  if (registry.GetValueType(kLoggingKey, name) != REG_DWORD || !registry.GetDWORD(kLoggingKey, name, data))
    return false;
  value = data;
  return true;
}

bool IsElevated() { return QvSids::IsAdministratorsMember(); }

bool IsLowIntegrity() {
  const UniqueHandle token = OpenProcessTokenForQuery();
  if (!token) return false;
  const std::vector<BYTE> buffer = QueryToken(token.get(), TokenIntegrityLevel);
  if (buffer.size() < sizeof(TOKEN_MANDATORY_LABEL)) return false;
  const auto* label = reinterpret_cast<const TOKEN_MANDATORY_LABEL*>(buffer.data());
  PSID sid = label->Label.Sid;
  if (sid == nullptr || !::IsValidSid(sid)) return false;
  const UCHAR count = *::GetSidSubAuthorityCount(sid);
  if (count == 0) return false;
  return *::GetSidSubAuthority(sid, count - 1) == SECURITY_MANDATORY_LOW_RID;
}

std::wstring GetKnownFolder(const GUID& folderId) {
  using GetKnownFolderPathFn = HRESULT(WINAPI*)(REFKNOWNFOLDERID, DWORD, HANDLE, PWSTR*);
  using TaskMemFreeFn = void(WINAPI*)(LPVOID);
  // Only the system directory's copy: the log location must not be decided by a planted DLL.
  const UniqueModule shell32 = QvProc::LoadSystemLibrary(L"shell32.dll");
  if (!shell32) return {};
  const auto getPath = QvProc::Get<GetKnownFolderPathFn>(shell32.get(), "SHGetKnownFolderPath");
  const auto taskMemFree = QvProc::Get<TaskMemFreeFn>(::GetModuleHandleW(L"ole32.dll"), "CoTaskMemFree");
  if (getPath == nullptr) return {};
  PWSTR path = nullptr;
  const HRESULT result = getPath(folderId, KF_FLAG_CREATE, nullptr, &path);
  std::wstring folder;
  if (SUCCEEDED(result) && path != nullptr) folder = path;
  if (path != nullptr && taskMemFree != nullptr) taskMemFree(path);
  return folder;
}

std::wstring GetUserSidString() {
  const UniqueHandle token = OpenProcessTokenForQuery();
  if (!token) return {};
  const std::vector<BYTE> buffer = QueryToken(token.get(), TokenUser);
  if (buffer.size() < sizeof(TOKEN_USER)) return {};
  const auto* user = reinterpret_cast<const TOKEN_USER*>(buffer.data());
  LPWSTR text = nullptr;
  if (!::ConvertSidToStringSidW(user->User.Sid, &text)) return {};
  const UniqueLocalMem owner(text);
  return text;
}

std::wstring GetOwnerSidString(HANDLE object) {
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (::GetSecurityInfo(object, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr,
                        &descriptor) != ERROR_SUCCESS)
    return {};
  const UniqueLocalMem descriptorOwner(descriptor);
  LPWSTR text = nullptr;
  if (owner == nullptr || !::ConvertSidToStringSidW(owner, &text)) return {};
  const UniqueLocalMem textOwner(text);
  return text;
}

}  // namespace QvBrelLogging::Platform
