// The FileSystem script module: argument reading, the path checks before every change, and the
// calls into the file primitives.
#include "sysops/FileSystemModule.h"

#include <cstdint>
#include <string>
#include <vector>

#include "base/ChangeJournal.h"
#include "base/DirectoryListing.h"
#include "base/RestartSchedule.h"
#include "base/PathGuard.h"
#include "base/PathText.h"
#include "base/SystemPath.h"
#include "logging/QvBrelLogging.h"
#include "script/LuaApi.h"
#include "sysops/FolderCreation.h"
#include "sysops/FileOps.h"
#include "sysops/WellKnownFolders.h"
#include "sysops/registry/Win32RegistryForPath.h"

namespace {

using Lua::PushBoolean;

constexpr lua_Integer kListAll = 0;
constexpr lua_Integer kListFiles = 1;
constexpr lua_Integer kListDirectories = 2;

std::wstring PathArgument(Lua::ArgCursor& args) { return Lua::ToWide(args.String()); }

DWORD AttributesOf(const std::wstring& path) {
  return ::GetFileAttributesW(QvPath::ToSystemPath(path).c_str());
}

// Every change goes through the guard; a refusal is a warning naming the path.
bool Guard(QvPath::PathGuard& guard, const std::wstring& path,
           QvPath::PathGuard::Last last = QvPath::PathGuard::Last::Free) {
  if (guard.Acquire(path, last)) return true;
  QV_BREL_LOG(QV_WARNING, L"Refusing '%s': %s", path.c_str(), guard.Refusal().c_str());
  return false;
}

// A removal goes through the guard too, and never takes a whole volume: no family data is a root.
bool GuardRemoval(QvPath::PathGuard& guard, const std::wstring& path) {
  if (QvPath::IsVolumeRoot(path)) {
    QV_BREL_LOG(QV_WARNING, L"Refusing '%s': a volume root is never removed", path.c_str());
    return false;
  }
  return Guard(guard, path);
}

// Removes the folder of the guarded path when it is empty now. The guard holds that folder while
// it checks the path, so it is let go and the folder checked on its own. An item directly below a
// volume root has no folder to remove: the root always stays.
bool RemoveParentIfEmpty(QvPath::PathGuard& guard, const std::wstring& path, bool& splits) {
  std::wstring folder, name;
  guard.Release();
  splits = QvPath::Split(path, folder, name);
  if (splits && QvPath::IsVolumeRoot(folder)) splits = false;
  if (!splits) return true;
  return Guard(guard, folder) && FileOps::WipeDirectoryIfEmpty(guard.Path());
}

bool DeleteOneFile(const QvPath::CheckedPath& path) { return FileOps::RemoveFile(path); }

std::vector<std::wstring> List(const std::wstring& path, lua_Integer mode) {
  std::vector<std::wstring> names;
  const bool files = mode == kListAll || mode == kListFiles;
  const bool folders = mode == kListAll || mode == kListDirectories;
  if (path.empty() || (!files && !folders)) return names;
  QvPath::DirectoryListing listing(QvPath::ToSystemPath(QvPath::Join(path, L"*")));
  while (listing.Next())
    if (listing.IsDirectory() ? folders : files) names.emplace_back(listing.Name());
  return names;
}

bool HasPendingOperation(const std::wstring& prefix) {
  if (prefix.empty()) return false;
  QvPath::Win32RegistryForPath registry(HKEY_LOCAL_MACHINE);
  std::vector<BYTE> data;
  if (!registry.GetMultiStringRaw(QvRestartSchedule::kSessionManagerKey, QvRestartSchedule::kPendingValue,
                                  data))
    return false;
  const std::wstring_view units(reinterpret_cast<const wchar_t*>(data.data()), data.size() / sizeof(wchar_t));
  return units.size() >= 2 && QvRestartSchedule::HasEntryWithPrefix(units, prefix);
}

bool MakeDirectories(const std::wstring& path) {
  QvPath::PathGuard guard;
  if (!Guard(guard, path)) return false;
  ChangeJournal& journal = ChangeJournal::Instance();
  const DWORD attributes = ::GetFileAttributesW(guard.Path().c_str());
  const bool exists = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
  if (journal.Planning()) {
    if (!exists) journal.Record(L"folder.create", path, ChangeResult::Planned);
    return true;
  }
  const bool created = FileOps::CreateGuardedDirectories(guard);
  if (!exists) journal.RecordOutcome(L"folder.create", path, created, ::GetLastError());
  if (created) return true;
  if (!guard.Refusal().empty())
    QV_BREL_LOG(QV_WARNING, L"Refusing '%s': %s", path.c_str(), guard.Refusal().c_str());
  return false;
}

}  // namespace

namespace Lua::FileSystem {

int Exists(lua_State* state) {
  ArgCursor args(state);
  return PushBoolean(state, AttributesOf(PathArgument(args)) != INVALID_FILE_ATTRIBUTES);
}

int IsFile(lua_State* state) {
  ArgCursor args(state);
  const DWORD attributes = AttributesOf(PathArgument(args));
  return PushBoolean(state,
                     attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY));
}

int IsDirectory(lua_State* state) {
  ArgCursor args(state);
  const DWORD attributes = AttributesOf(PathArgument(args));
  return PushBoolean(state, attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY));
}

int CopyFile(lua_State* state) {
  ArgCursor args(state);
  const std::wstring source = PathArgument(args);
  const std::wstring target = PathArgument(args);
  // A link at the target itself would have the copy overwrite whatever it points to.
  QvPath::PathGuard guard;
  if (!Guard(guard, target, QvPath::PathGuard::Last::Check)) return PushBoolean(state, false);
  ChangeJournal& journal = ChangeJournal::Instance();
  const std::wstring change = source + L" -> " + guard.Path().Display();
  if (journal.Planning()) {
    journal.Record(L"file.copy", change, ChangeResult::Planned);
    return PushBoolean(state, true);
  }
  const bool copied = ::CopyFileW(QvPath::ToSystemPath(source).c_str(), guard.Path().c_str(), FALSE) != FALSE;
  journal.RecordOutcome(L"file.copy", change, copied, ::GetLastError());
  return PushBoolean(state, copied);
}

int MkDir(lua_State* state) {
  ArgCursor args(state);
  return PushBoolean(state, MakeDirectories(PathArgument(args)));
}

int GetSpecialPath(lua_State* state) {
  ArgCursor args(state);
  const auto id = static_cast<std::int32_t>(static_cast<std::uint32_t>(args.Integer() & 0xFFFFFFFF));
  const auto sid = args.OptString();
  PushString(state, WellKnownFolders::Resolve(id, sid ? ToWide(*sid) : std::wstring()));
  return 1;
}

int RemoveRecursive(lua_State* state) {
  ArgCursor args(state);
  const std::wstring path = PathArgument(args);
  if (path.empty()) return PushBoolean(state, true);
  QvPath::PathGuard guard;
  return PushBoolean(state, GuardRemoval(guard, path) && FileOps::RemoveTree(guard.Path()));
}

int HasPendingFileOperation(lua_State* state) {
  ArgCursor args(state);
  return PushBoolean(state, HasPendingOperation(PathArgument(args)));
}

int DeleteFile(lua_State* state) {
  ArgCursor args(state);
  const std::wstring path = PathArgument(args);
  QvPath::PathGuard guard;
  return PushBoolean(state, GuardRemoval(guard, path) && DeleteOneFile(guard.Path()));
}

int DeleteFileAndParent(lua_State* state) {
  ArgCursor args(state);
  const std::wstring path = PathArgument(args);
  QvPath::PathGuard guard;
  if (!GuardRemoval(guard, path) || !DeleteOneFile(guard.Path())) return PushBoolean(state, false);
  bool splits = false;
  RemoveParentIfEmpty(guard, path, splits);  // a folder that stays is no failure here
  return PushBoolean(state, true);
}

int RemoveDirectoryIfEmpty(lua_State* state) {
  ArgCursor args(state);
  const std::wstring path = PathArgument(args);
  QvPath::PathGuard guard;
  return PushBoolean(state, GuardRemoval(guard, path) && FileOps::WipeDirectoryIfEmpty(guard.Path()));
}

int RemoveDirectoryRecursiveAndParentIfEmpty(lua_State* state) {
  ArgCursor args(state);
  const std::wstring path = PathArgument(args);
  QvPath::PathGuard guard;
  if (!GuardRemoval(guard, path) || !FileOps::RemoveTree(guard.Path())) return PushBoolean(state, false);
  bool splits = false;
  const bool removed = RemoveParentIfEmpty(guard, path, splits);
  return PushBoolean(state, !splits || removed);
}

int MakePath(lua_State* state) {
  ArgCursor args(state);
  const std::wstring base = PathArgument(args);
  const std::wstring name = PathArgument(args);
  PushString(state, QvPath::Join(base, name));
  return 1;
}

int SplitPath(lua_State* state) {
  ArgCursor args(state);
  std::wstring folder, name;
  QvPath::Split(PathArgument(args), folder, name);  // both empty when it does not split
  PushStringList(state, {folder, name});
  return 1;
}

int ContainsFiles(lua_State* state) {
  ArgCursor args(state);
  return PushBoolean(state, !List(PathArgument(args), kListFiles).empty());
}

int ListDirectory(lua_State* state) {
  ArgCursor args(state);
  const std::wstring path = PathArgument(args);
  const lua_Integer mode = args.OptInteger().value_or(kListAll);
  PushStringList(state, List(path, mode));
  return 1;
}

void Register(lua_State* state) {
  static constexpr struct {
    const char* name;
    lua_Integer value;
  } constants[] = {
      {"SpecialPath_CommonAppData", WellKnownFolders::CommonAppData},
      {"SpecialPath_CommonDesktop", WellKnownFolders::CommonDesktop},
      {"SpecialPath_CommonStartMenu", WellKnownFolders::CommonStartMenu},
      {"SpecialPath_CommonStartMenuPrograms", WellKnownFolders::CommonStartMenuPrograms},
      {"SpecialPath_CommonStartMenuStartup", WellKnownFolders::CommonStartMenuStartup},
      {"SpecialPath_CommonProgramFiles", WellKnownFolders::CommonProgramFiles},
      {"SpecialPath_CommonProgramFilesX86", WellKnownFolders::CommonProgramFilesX86},
      {"SpecialPath_Windows", WellKnownFolders::Windows},
      {"SpecialPath_System32", WellKnownFolders::System32},
      {"SpecialPath_Sysnative", WellKnownFolders::Sysnative},
      {"SpecialPath_UserProfiles", WellKnownFolders::UserProfiles},
      {"SpecialPath_UserAppDataLocal", WellKnownFolders::UserAppDataLocal},
      {"ListDir_All", kListAll},
      {"ListDir_Files", kListFiles},
      {"ListDir_Directories", kListDirectories},
  };
  for (const auto& constant : constants) RegisterConstant(state, constant.name, constant.value);
  static constexpr luaL_Reg functions[] = {
      {"Exists", Exists},
      {"IsFile", IsFile},
      {"IsDirectory", IsDirectory},
      {"CopyFile", CopyFile},
      {"MkDir", MkDir},
      {"GetSpecialPath", GetSpecialPath},
      {"RemoveRecursive", RemoveRecursive},
      {"HasPendingFileOperation", HasPendingFileOperation},
      {"DeleteFile", DeleteFile},
      {"DeleteFileAndParent", DeleteFileAndParent},
      {"RemoveDirectoryIfEmpty", RemoveDirectoryIfEmpty},
      {"RemoveDirectoryRecursiveAndParentIfEmpty", RemoveDirectoryRecursiveAndParentIfEmpty},
      {"MakePath", MakePath},
      {"SplitPath", SplitPath},
      {"ContainsFiles", ContainsFiles},
      {"ListDirectory", ListDirectory},
      {nullptr, nullptr}};
  RegisterModule(state, "FileSystem", functions);
}

}  // namespace Lua::FileSystem
