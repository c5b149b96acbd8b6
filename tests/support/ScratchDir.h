// Test machinery: a unique scratch folder under the temporary folder, removed with its contents.
#pragma once

#include <windows.h>

#include <string>

#include "sysops/UniqueHandle.h"

namespace QvTest {

// Deletes a tree (files made read-only included); best effort.
inline void RemoveTree(const std::wstring& path) {
  WIN32_FIND_DATAW data;
  UniqueFindHandle find(::FindFirstFileW((path + L"\\*").c_str(), &data));
  if (find) {
    do {
      const std::wstring name = data.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring child = path + L"\\" + name;
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(child);
      } else {
        ::SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileW(child.c_str());
      }
    } while (::FindNextFileW(find.get(), &data));
  }
  ::RemoveDirectoryW(path.c_str());
}

class ScratchDir {
 public:
  explicit ScratchDir(const wchar_t* prefix = L"qvtest") {
    wchar_t temp[MAX_PATH + 1];
    const DWORD length = ::GetTempPathW(MAX_PATH + 1, temp);
    for (unsigned attempt = 0; attempt < 1000 && path_.empty(); ++attempt) {
      std::wstring candidate = std::wstring(temp, length) + prefix +
                               std::to_wstring(::GetCurrentProcessId()) + L"_" +
                               std::to_wstring(::GetTickCount64() + attempt);
      if (::CreateDirectoryW(candidate.c_str(), nullptr)) path_ = candidate;
    }
  }
  ~ScratchDir() {
    if (!path_.empty()) RemoveTree(path_);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const std::wstring& Path() const { return path_; }
  std::wstring operator/(const std::wstring& name) const { return path_ + L"\\" + name; }

 private:
  std::wstring path_;
};

// The folder of the running test program, with a trailing backslash.
inline std::wstring ProgramFolder() {
  wchar_t path[MAX_PATH + 1] = {};
  const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH + 1);
  std::wstring folder(path, length);
  return folder.substr(0, folder.rfind(L'\\') + 1);
}

inline bool FileExists(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

inline bool DirectoryExists(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Whole content of a file; empty when it cannot be read.
inline std::string ReadWholeFile(const std::wstring& path) {
  std::string bytes;
  UniqueFileHandle file(
      ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  if (!file) return bytes;
  char buffer[65536];
  DWORD read = 0;
  while (::ReadFile(file.get(), buffer, sizeof(buffer), &read, nullptr) && read > 0)
    bytes.append(buffer, read);
  return bytes;
}

// Number of entries (files and folders) directly in a folder.
inline int CountEntries(const std::wstring& path) {
  int count = 0;
  WIN32_FIND_DATAW data;
  UniqueFindHandle find(::FindFirstFileW((path + L"\\*").c_str(), &data));
  if (!find) return -1;
  do {
    const std::wstring name = data.cFileName;
    if (name != L"." && name != L"..") ++count;
  } while (::FindNextFileW(find.get(), &data));
  return count;
}

}  // namespace QvTest
