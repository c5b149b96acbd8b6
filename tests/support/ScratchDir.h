// A unique scratch folder under the temporary directory, removed with its files when the test ends.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "base/UniqueHandle.h"
#include "base/Utf8.h"

namespace QvTest {

class ScratchDir {
 public:
  explicit ScratchDir(std::wstring_view name = L"qvscratch") {
    wchar_t temp[MAX_PATH + 1]{};
    const DWORD length = ::GetTempPathW(MAX_PATH + 1, temp);
    static LONG counter = 0;
    path_ = std::wstring(temp, length) + std::wstring(name) + std::to_wstring(::GetCurrentProcessId()) +
            L"_" + std::to_wstring(::InterlockedIncrement(&counter));
    created_ = ::CreateDirectoryW(path_.c_str(), nullptr) != FALSE;
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  ~ScratchDir() { RemoveTree(path_); }

  bool Created() const { return created_; }
  const std::wstring& Path() const { return path_; }
  std::string AnsiPath() const { return QvText::ToAnsi(path_); }
  std::wstring Child(std::wstring_view name) const { return path_ + L"\\" + std::wstring(name); }
  std::wstring operator/(std::wstring_view name) const { return Child(name); }

  // Writes `content` unchanged (UTF-8 for Lua text); true when the whole text was written.
  bool Write(std::wstring_view name, std::string_view content) const {
    UniqueFileHandle file(::CreateFileW(Child(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    return file &&
           ::WriteFile(file.get(), content.data(), static_cast<DWORD>(content.size()), &written, nullptr) &&
           written == content.size();
  }

  // The whole file as bytes; empty when it cannot be read.
  std::string Read(std::wstring_view name) const { return ReadFile(Child(name)); }

  static std::string ReadFile(const std::wstring& path) {
    UniqueFileHandle file(::CreateFileW(path.c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    std::string content;
    if (!file) return content;
    char buffer[4096];
    DWORD read = 0;
    while (::ReadFile(file.get(), buffer, sizeof(buffer), &read, nullptr) && read > 0)
      content.append(buffer, read);
    return content;
  }

  bool Exists(std::wstring_view name) const {
    return ::GetFileAttributesW(Child(name).c_str()) != INVALID_FILE_ATTRIBUTES;
  }

  // Removes the folder and everything in it, also below MAX_PATH's reach.
  static void RemoveTree(std::wstring directory) {
    if (!directory.starts_with(L"\\\\")) directory.insert(0, L"\\\\?\\");
    WIN32_FIND_DATAW entry{};
    UniqueFindHandle find(::FindFirstFileW((directory + L"\\*").c_str(), &entry));
    if (find) {
      do {
        const std::wstring name = entry.cFileName;
        if (name == L"." || name == L"..") continue;
        const std::wstring child = directory + L"\\" + name;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
          RemoveTree(child);
        } else {
          ::SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
          ::DeleteFileW(child.c_str());
        }
      } while (::FindNextFileW(find.get(), &entry));
    }
    find.reset();
    ::RemoveDirectoryW(directory.c_str());
  }

 private:
  std::wstring path_;
  bool created_ = false;
};

// Deletes a tree (files made read-only included); best effort.
inline void RemoveTree(const std::wstring& path) { ScratchDir::RemoveTree(path); }

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
