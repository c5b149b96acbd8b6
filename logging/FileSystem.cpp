// Log file handle and path operations over the Win32 file API.
#include "logging/FileSystem.h"

namespace QvBrelLogging::FileSystem {

File::~File() = default;

bool File::Open(const std::wstring& name, SECURITY_ATTRIBUTES* security) {
  if (IsOpen()) return true;
  handle_.reset(::CreateFileW(name.c_str(), GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, security, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  // A second name for the file could point writes at a file that is not ours.
  if (!IsOpen() || !HasSingleLink()) {
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
  return ::MoveFileExW(name.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}

}  // namespace QvBrelLogging::FileSystem
