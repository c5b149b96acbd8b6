// Forceful removal primitives: each step falls back to an access repair and then to deletion at
// restart instead of giving up at the first error.
#include "sysops/FileOps.h"

#include "base/RestartSchedule.h"
#include "base/UniqueHandle.h"
#include "core/Status.h"
#include "logging/QvBrelLogging.h"
#include "sysops/FileAccess.h"
#include "sysops/FileOpsSeam.h"
#include "sysops/QvPath.h"

namespace FileOpsSeam {
DeleteFileCall deleteFile = ::DeleteFileW;
RemoveDirectoryCall removeDirectory = ::RemoveDirectoryW;
}  // namespace FileOpsSeam

namespace {

bool IsNotFound(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

bool IsDotOrDotDot(const wchar_t* name) {
  return name[0] == L'.' && (name[1] == L'\0' || (name[1] == L'.' && name[2] == L'\0'));
}

void ClearReadOnly(const std::wstring& systemPath, DWORD attributes) {
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
    ::SetFileAttributesW(systemPath.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
}

// Attributes come with the find data, so the walk asks for nothing else per entry.
HANDLE FindFirst(const std::wstring& pattern, WIN32_FIND_DATAW& data) {
  return ::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr,
                            FIND_FIRST_EX_LARGE_FETCH);
}

// After a failed enumeration: is the folder simply not there (any more)?
bool IsAbsent(const std::wstring& systemPath, DWORD enumerationError) {
  if (!IsNotFound(enumerationError)) return false;
  return ::GetFileAttributesW(systemPath.c_str()) == INVALID_FILE_ATTRIBUTES && IsNotFound(::GetLastError());
}

}  // namespace

namespace FileOpsInternal {

bool DelayDelete(const std::wstring& path) {
  if (!QvRestartSchedule::ScheduleDeletion(QvPath::ToSystemPath(path))) {
    const DWORD error = ::GetLastError();
    QV_BREL_LOG(QV_ERROR, L"MoveFileEx('%s') failed: %lu", path.c_str(), error);
    return false;
  }
  QV_BREL_LOG(QV_DEBUG, L"Delay delete: '%s'", path.c_str());
  Status::Instance().SetRebootNeeded(path);
  return true;
}

bool TryWipeFile(const std::wstring& path, DWORD attributes) {
  const std::wstring systemPath = QvPath::ToSystemPath(path);
  ClearReadOnly(systemPath, attributes);
  if (FileOpsSeam::deleteFile(systemPath.c_str())) return true;
  // The first refusal is the one worth reporting, not what the fall-backs ran into.
  const DWORD error = ::GetLastError();
  if (IsNotFound(error)) return true;

  if (FileAccess::AddFullAccessForAdmins(path)) {
    ClearReadOnly(systemPath, attributes);
    if (FileOpsSeam::deleteFile(systemPath.c_str()) || IsNotFound(::GetLastError())) return true;
  }
  if (DelayDelete(path)) return true;
  QV_BREL_LOG(QV_WARNING, L"Failed to remove file '%s', error: %d", path.c_str(), static_cast<int>(error));
  return false;
}

bool TryWipeDirectory(const std::wstring& path) {
  const std::wstring systemPath = QvPath::ToSystemPath(path);
  if (FileOpsSeam::removeDirectory(systemPath.c_str())) return true;
  DWORD error = ::GetLastError();
  if (IsNotFound(error)) return true;

  if (FileAccess::AddFullAccessForAdmins(path)) {
    if (FileOpsSeam::removeDirectory(systemPath.c_str())) return true;
    error = ::GetLastError();
    if (IsNotFound(error)) return true;
  }
  if (DelayDelete(path)) return true;
  QV_BREL_LOG(QV_WARNING, L"Failed to remove directory '%s', error: %d", path.c_str(),
              static_cast<int>(error));
  return false;
}

bool TryWipeRecursive(const std::wstring& path) {
  // Held (without delete sharing) for the whole walk, so the folder cannot be renamed or swapped
  // for a junction between the check below and the enumeration by name.
  const std::wstring systemPath = QvPath::ToSystemPath(path);
  UniqueFileHandle pin(::CreateFileW(systemPath.c_str(), FILE_READ_ATTRIBUTES,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                     FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  const DWORD pinnedAttributes = ::GetFileAttributesW(systemPath.c_str());
  if (pinnedAttributes != INVALID_FILE_ATTRIBUTES && (pinnedAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    pin.reset();
    return TryWipeDirectory(path);  // a junction or link: removed, never entered
  }
  const std::wstring pattern = QvPath::ToSystemPath(QvPath::Join(path, L"*"));
  WIN32_FIND_DATAW data;
  UniqueFindHandle find(FindFirst(pattern, data));
  if (!find) {
    if (IsAbsent(QvPath::ToSystemPath(path), ::GetLastError())) return true;
    FileAccess::AddFullAccessForAdmins(path);
    find.reset(FindFirst(pattern, data));
    if (!find) {
      const DWORD error = ::GetLastError();
      QV_BREL_LOG(QV_WARNING, L"Failed to enumerate: '%ls': %lu", path.c_str(), error);
      return false;
    }
  }

  bool success = true;
  do {
    if (IsDotOrDotDot(data.cFileName)) continue;
    const std::wstring child = QvPath::Join(path, data.cFileName);
    const DWORD attributes = data.dwFileAttributes;
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY))
      success &= TryWipeFile(child, attributes);
    else if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
      success &= TryWipeDirectory(child);  // a junction or link: removed, never entered
    else
      success &= TryWipeRecursive(child);
  } while (::FindNextFileW(find.get(), &data));
  const DWORD endError = ::GetLastError();
  find.reset();
  pin.reset();
  // A walk that broke off early has left entries unvisited, so the folder cannot be gone.
  if (endError != ERROR_NO_MORE_FILES) {
    QV_BREL_LOG(QV_WARNING, L"Failed to enumerate: '%ls': %lu", path.c_str(), endError);
    return false;
  }
  return success && TryWipeDirectory(path);
}

}  // namespace FileOpsInternal

namespace FileOps {

bool WipeDirectoryIfEmpty(const std::wstring& path) {
  if (::RemoveDirectoryW(QvPath::ToSystemPath(path).c_str())) return true;
  const DWORD error = ::GetLastError();
  if (IsNotFound(error)) return true;
  QV_BREL_LOG(QV_DEBUG, L"Failed to remove directory '%s', error: %d", path.c_str(), static_cast<int>(error));
  return false;
}

}  // namespace FileOps
