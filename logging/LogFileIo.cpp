// Log file handle, path operations and pinned folders over the Win32 file API.
#include "logging/LogFileIo.h"

#include <algorithm>
#include <cstring>

#include "base/HandleInfo.h"
#include "base/PathText.h"
#include "base/RestartSchedule.h"

namespace QvBrelLogging::LogFileIo {

namespace {

using QvHandleInfo::AttributesOf;
using QvHandleInfo::FinalPath;
using QvHandleInfo::SamePath;

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// The entry itself, whether a link or a folder.
constexpr DWORD kEntryFlags = FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS;

enum class Kind {
  Missing,
  Unknown,  // could not be opened
  File,
  Folder,
  // A handle opened on a link without following it says so in its attributes (Windows); one the
  // system opened through the link anyway (Wine) resolves to the link's target instead.
  Link,      // the handle is on the link itself
  Followed,  // the handle is on whatever the entry led to
};

struct Entry {
  Kind kind = Kind::Missing;
  bool inUse = false;  // held by someone without delete sharing: the handle cannot delete or rename
  UniqueFileHandle handle;
};

Entry Inspect(const std::wstring& path) {
  Entry entry;
  entry.handle.reset(::CreateFileW(path.c_str(), DELETE | FILE_READ_ATTRIBUTES | SYNCHRONIZE, kShareAll,
                                   nullptr, OPEN_EXISTING, kEntryFlags, nullptr));
  if (!entry.handle && ::GetLastError() == ERROR_SHARING_VIOLATION) {
    entry.inUse = true;
    entry.handle.reset(::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES | SYNCHRONIZE, kShareAll, nullptr,
                                     OPEN_EXISTING, kEntryFlags, nullptr));
  }
  if (!entry.handle) {
    const DWORD error = ::GetLastError();
    entry.kind =
        error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? Kind::Missing : Kind::Unknown;
    return entry;
  }
  const DWORD attributes = AttributesOf(entry.handle.get());
  if (attributes == INVALID_FILE_ATTRIBUTES)
    entry.kind = Kind::Unknown;
  else if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
    entry.kind = Kind::Link;
  else if (!SamePath(FinalPath(entry.handle.get()), path))
    entry.kind = Kind::Followed;
  else
    entry.kind = (attributes & FILE_ATTRIBUTE_DIRECTORY) ? Kind::Folder : Kind::File;
  return entry;
}

bool DeleteByHandle(HANDLE handle) {
  FILE_DISPOSITION_INFO info{TRUE};
  return ::SetFileInformationByHandle(handle, FileDispositionInfo, &info, sizeof(info));
}

bool RenameByHandle(HANDLE handle, const std::wstring& to) {
  const std::size_t bytes = to.size() * sizeof(wchar_t);
  std::vector<BYTE> buffer(sizeof(FILE_RENAME_INFO) + bytes);
  auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  info->ReplaceIfExists = TRUE;
  info->RootDirectory = nullptr;
  info->FileNameLength = static_cast<DWORD>(bytes);
  std::memcpy(info->FileName, to.data(), bytes);
  return ::SetFileInformationByHandle(handle, FileRenameInfo, info, static_cast<DWORD>(buffer.size()));
}

// Removes the link at `path` itself. Where the handle is on the link, deleting through it removes
// the link. Where the system followed the link, anything done through the handle would hit the
// target, so a new empty file is renamed over the link (a rename replaces the name, never what
// it points to) and then deleted.
bool RemoveLink(Entry& entry, const std::wstring& path) {
  if (entry.kind == Kind::Link) return !entry.inUse && DeleteByHandle(entry.handle.get());
  entry.handle.reset();
  const std::wstring spare = path + L"__link_" + std::to_wstring(::GetTickCount64());
  const UniqueFileHandle file(::CreateFileW(spare.c_str(), DELETE | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                                            kShareAll, nullptr, CREATE_NEW,
                                            FILE_ATTRIBUTE_NORMAL | kEntryFlags, nullptr));
  if (!file) return false;
  const bool replaced = RenameByHandle(file.get(), path);
  DeleteByHandle(file.get());  // under `path` when it replaced the link, else where it was made
  return replaced;
}

// The entry `name` of a pinned folder: a file (deleted now, or at the next restart when it is in
// use) or, with `folderEntry`, an empty folder; a link either way goes as a link.
bool RemoveEntryIn(const FolderPins& folder, const std::wstring& name, bool folderEntry) {
  if (!folder.Held()) return false;
  const std::wstring path = folder.Resolved() + L"\\" + name;
  Entry entry = Inspect(path);
  switch (entry.kind) {
    case Kind::Missing:
      return true;
    case Kind::Link:
    case Kind::Followed:
      return RemoveLink(entry, path);
    case Kind::File:
      if (folderEntry) return false;
      if (!entry.inUse && DeleteByHandle(entry.handle.get())) return true;
      return QvRestartSchedule::ScheduleDeletion(path);
    case Kind::Folder:
      // The disposition fails for a folder that is not empty.
      return folderEntry && !entry.inUse && DeleteByHandle(entry.handle.get());
    default:
      return false;
  }
}

}  // namespace

bool FolderPins::Pin(const std::wstring& root, const std::wstring& path, bool existingOnly) {
  Release();
  if (!guard_.Acquire(path, QvPath::PathGuard::Last::Hold, existingOnly)) return false;
  // The folders of `root` itself: the volume root and one for each component after it.
  std::size_t rootDepth = 1;
  const std::size_t rootLength = QvPath::RootLength(root);
  if (root.size() > rootLength) rootDepth += 1 + std::count(root.begin() + rootLength, root.end(), L'\\');
  if (guard_.HeldCount() < rootDepth || (!existingOnly && !guard_.HoldsAll())) {
    Release();
    return false;
  }
  for (std::size_t index = rootDepth - 1; index < guard_.HeldCount(); ++index)
    folders_.push_back({guard_.HeldPath(index), guard_.HeldHandle(index)});
  return true;
}

void FolderPins::Release() {
  folders_.clear();
  guard_.Release();
}

File::~File() = default;

bool File::Open(const std::wstring& name, SECURITY_ATTRIBUTES* security) {
  if (IsOpen()) return true;
  // Opening an existing file first, and creating only a new one, never creates a file where a
  // dangling link points.
  for (int attempt = 0; attempt < 2 && !IsOpen(); ++attempt) {
    handle_.reset(::CreateFileW(name.c_str(), GENERIC_WRITE | FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT,
                                nullptr));
    if (IsOpen() || ::GetLastError() != ERROR_FILE_NOT_FOUND) break;
    handle_.reset(::CreateFileW(name.c_str(), GENERIC_WRITE | FILE_READ_ATTRIBUTES, kShareAll, security,
                                CREATE_NEW, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!IsOpen() && ::GetLastError() != ERROR_FILE_EXISTS) break;  // else made meanwhile: open it
  }
  // A link or a second name for the file could point writes at a file that is not ours.
  const DWORD attributes = IsOpen() ? AttributesOf(handle_.get()) : INVALID_FILE_ATTRIBUTES;
  if (attributes == INVALID_FILE_ATTRIBUTES ||
      (attributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) || !HasSingleLink()) {
    Close();
    return false;
  }
  return true;
}

bool File::OpenIn(const FolderPins& folder, const std::wstring& name, SECURITY_ATTRIBUTES* security) {
  if (IsOpen()) return true;
  if (!folder.Held()) return false;
  const std::wstring path = folder.Resolved() + L"\\" + name;
  if (!Open(path, security)) return false;
  // Opened through a link the system followed after all.
  if (!SamePath(FinalPath(handle_.get()), path)) {
    Close();
    return false;
  }
  return true;
}

void File::Close() { handle_.reset(); }

bool File::Write(const void* data, std::size_t length) {
  if (!IsOpen() || length > MAXDWORD) return false;
  DWORD written = 0;
  return ::WriteFile(handle_.get(), data, static_cast<DWORD>(length), &written, nullptr) && written == length;
}

std::int64_t File::SeekToEnd() {
  if (!IsOpen()) return 0;
  LARGE_INTEGER position{};
  if (!::SetFilePointerEx(handle_.get(), LARGE_INTEGER{}, &position, FILE_END)) return 0;
  return position.QuadPart;
}

bool File::Flush() { return IsOpen() && ::FlushFileBuffers(handle_.get()); }

bool File::IsOpen() const { return handle_.valid(); }

bool File::HasSingleLink() const {
  if (!IsOpen()) return false;
  // The standard information needs no access right beyond the write access the file is open with.
  FILE_STANDARD_INFO info{};
  if (!::GetFileInformationByHandleEx(handle_.get(), FileStandardInfo, &info, sizeof(info))) return true;
  return info.NumberOfLinks <= 1;
}

Path::~Path() = default;

std::unique_ptr<File> Path::NewFile() { return std::make_unique<File>(); }

bool Path::FileExists(const std::wstring& name) {
  const DWORD attributes = ::GetFileAttributesW(name.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool Path::CreateDirectories(const std::wstring& path, std::size_t start, SECURITY_ATTRIBUTES* security) {
  std::size_t end = start;
  for (;;) {
    const std::size_t separator = path.find(L'\\', end);
    const std::wstring prefix = path.substr(0, separator);
    const DWORD attributes = ::GetFileAttributesW(prefix.c_str());
    bool create = attributes == INVALID_FILE_ATTRIBUTES;
    if (!create && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
      // Never log through a link: it could lead anywhere. Removing a directory link removes the
      // link itself, not what it points to.
      if (!::RemoveDirectoryW(prefix.c_str())) return false;
      create = true;
    } else if (!create && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
      return false;  // a file where a folder belongs
    }
    if (create && !::CreateDirectoryW(prefix.c_str(), security)) return false;
    if (separator == std::wstring::npos) return true;
    end = separator + 1;
  }
}

bool Path::Rename(const std::wstring& from, const std::wstring& to) {
  return ::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING);
}

bool Path::Delete(const std::wstring& name) {
  if (::DeleteFileW(name.c_str())) return true;
  const DWORD error = ::GetLastError();
  if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return true;
  return QvRestartSchedule::ScheduleDeletion(name);
}

bool Path::RenameIn(const FolderPins& folder, const std::wstring& from, const std::wstring& to) {
  if (!folder.Held()) return false;
  const std::wstring source = folder.Resolved() + L"\\" + from;
  const std::wstring target = folder.Resolved() + L"\\" + to;
  Entry entry = Inspect(source);
  if (entry.kind == Kind::Link || entry.kind == Kind::Followed) {
    RemoveLink(entry, source);
    return false;
  }
  if (entry.kind != Kind::File || entry.inUse) return false;
  // A link in the way is replaced by the rename itself, never followed; a folder refuses it.
  return RenameByHandle(entry.handle.get(), target);
}

bool Path::DeleteIn(const FolderPins& folder, const std::wstring& name) {
  return RemoveEntryIn(folder, name, false);
}

bool Path::RemoveEmptyFolderIn(const FolderPins& folder, const std::wstring& name) {
  return RemoveEntryIn(folder, name, true);
}

}  // namespace QvBrelLogging::LogFileIo
