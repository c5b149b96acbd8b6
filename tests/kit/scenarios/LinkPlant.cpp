// File-system links made with the real API, and the folder-link scenario they share.
#include "tests/kit/scenarios/LinkPlant.h"

#include <windows.h>
#include <winioctl.h>

#include <vector>

#include "base/UniqueHandle.h"
#include "tests/kit/scenarios/Plant.h"
#include "tests/support/PendingRenames.h"

namespace QvKit {

namespace {

// The mount-point form of the reparse data (the user-mode headers do not declare it).
struct MountPointHeader {
  DWORD reparseTag;
  WORD reparseDataLength;
  WORD reserved;
  WORD substituteNameOffset;
  WORD substituteNameLength;
  WORD printNameOffset;
  WORD printNameLength;
};

std::wstring Hex(DWORD value) {
  wchar_t text[16];
  ::swprintf(text, 16, L"0x%08lX", value);
  return text;
}

}  // namespace

std::wstring MakeJunction(const std::wstring& link, const std::wstring& target) {
  if (!::CreateDirectoryW(link.c_str(), nullptr)) return ApiError(L"CreateDirectoryW(" + link + L")");
  UniqueFileHandle handle(::CreateFileW(link.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!handle) return ApiError(L"CreateFileW(" + link + L")");
  const std::wstring substitute = L"\\??\\" + target;
  // Both names NUL-terminated, one after the other.
  const WORD substituteBytes = static_cast<WORD>(substitute.size() * sizeof(wchar_t));
  const WORD printBytes = static_cast<WORD>(target.size() * sizeof(wchar_t));
  const size_t pathBytes = substituteBytes + sizeof(wchar_t) + printBytes + sizeof(wchar_t);
  std::vector<BYTE> buffer(sizeof(MountPointHeader) + pathBytes, 0);
  auto* header = reinterpret_cast<MountPointHeader*>(buffer.data());
  header->reparseTag = IO_REPARSE_TAG_MOUNT_POINT;
  header->reparseDataLength = static_cast<WORD>(pathBytes + 4 * sizeof(WORD));
  header->substituteNameLength = substituteBytes;
  header->printNameOffset = static_cast<WORD>(substituteBytes + sizeof(wchar_t));
  header->printNameLength = printBytes;
  BYTE* names = buffer.data() + sizeof(MountPointHeader);
  memcpy(names, substitute.data(), substituteBytes);
  memcpy(names + header->printNameOffset, target.data(), printBytes);
  DWORD returned = 0;
  if (!::DeviceIoControl(handle.get(), FSCTL_SET_REPARSE_POINT, buffer.data(),
                         static_cast<DWORD>(buffer.size()), nullptr, 0, &returned, nullptr))
    return ApiError(L"DeviceIoControl(FSCTL_SET_REPARSE_POINT)");
  return {};
}

std::wstring MakeSymbolicLink(const std::wstring& link, const std::wstring& target, bool directory) {
  const DWORD kind = directory ? SYMBOLIC_LINK_FLAG_DIRECTORY : 0;
  if (::CreateSymbolicLinkW(link.c_str(), target.c_str(),
                            kind | SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE))
    return {};
  // Builds before developer mode existed refuse the unprivileged flag; an administrator needs none.
  if (::GetLastError() == ERROR_INVALID_PARAMETER &&
      ::CreateSymbolicLinkW(link.c_str(), target.c_str(), kind))
    return {};
  return ApiError(L"CreateSymbolicLinkW(" + link + L")");
}

std::wstring CheckReparseTag(const std::wstring& path, DWORD tag) {
  WIN32_FIND_DATAW found{};
  UniqueFindHandle find(::FindFirstFileW(path.c_str(), &found));
  if (!find) return L"no entry was made at '" + path + L"' (" + ApiError(L"FindFirstFileW") + L")";
  if (!(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
    return L"'" + path + L"' is no reparse point (attributes " + Hex(found.dwFileAttributes) + L")";
  if (found.dwReserved0 != tag)
    return L"'" + path + L"' has reparse tag " + Hex(found.dwReserved0) + L", not " + Hex(tag);
  return {};
}

Result RunFolderLinkScenario(Kit& kit, const wchar_t* canaryName, FolderLinkPlant plant, const wchar_t* api,
                             DWORD tag) {
  const std::wstring family = FamilyFolder();
  const std::wstring link = family + L"\\link";
  CanaryFiles canary{CanaryFolder() + L"\\" + canaryName};
  const QvTest::PendingRenames restartSchedule;
  struct CleanUp {
    std::wstring family;
    const CanaryFiles& canary;
    ~CleanUp() {
      RemoveTree(family);
      canary.Remove();
    }
  } cleanUp{family, canary};

  if (!MakeFolders(family) || !WriteTextFile(family + L"\\family.txt", "family\r\n") || !canary.Plant())
    return Fail(ApiError(L"planting the family folder and the canary"));
  if (std::wstring error = plant(link, canary.folder); !error.empty()) return CannotPlant(kit, error);
  if (std::wstring made = CheckReparseTag(link, tag); !made.empty())
    return CannotPlant(kit, std::wstring(api) + L" succeeded but " + made);
  kit.Note(L"planted '" + link + L"' -> '" + canary.folder + L"'");

  const ToolRun run = kit.RunTool(L"--silent --products kitprobe");
  std::wstring problems = canary.Damage();
  if (Exists(link)) problems += L"the link is still there; ";
  if (Exists(family)) problems += L"the family folder is still there; ";
  problems += ExitProblem(run, 0);
  if (!problems.empty()) return Fail(problems);
  kit.Note(L"the canary folder kept its files; the link and the family folder are gone");
  return Pass();
}

}  // namespace QvKit
