// Test machinery: scratch folders and the files, folders and links tests build in them. Removal is
// link-aware: a link goes as a link, its target is never entered.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

#include "base/DirectoryListing.h"
#include "base/UniqueHandle.h"
#include "base/Utf8.h"
#include "tests/support/ChildProcess.h"

namespace QvTest {

namespace Detail {
using UnixNameCall = char*(CDECL*)(const wchar_t*);
inline UnixNameCall WineUnixName() {
  static const auto call = reinterpret_cast<UnixNameCall>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  return call;
}

// Polls a condition every 10 ms for up to 30 s.
template <typename Condition>
bool WaitUntil(Condition condition) {
  const ULONGLONG deadline = ::GetTickCount64() + 30000;
  while (!condition()) {
    if (::GetTickCount64() > deadline) return false;
    ::Sleep(10);
  }
  return true;
}
}  // namespace Detail

inline bool IsWine() { return Detail::WineUnixName() != nullptr; }

// Wine's name of a Windows path on the host (the last component may be missing); empty elsewhere.
inline std::string UnixPath(const std::wstring& path) {
  if (!IsWine()) return {};
  char* name = Detail::WineUnixName()(path.c_str());
  if (name == nullptr) return {};
  std::string result = name;
  ::HeapFree(::GetProcessHeap(), 0, name);
  return result;
}

// Starts a program of the host (Wine starts ELF programs too) with arguments that are host paths.
// Wine hands back no process handle to wait on: callers wait for the program's effect.
inline bool StartHostProgram(const std::wstring& program, const std::vector<std::string>& arguments) {
  std::wstring commandLine = program;
  for (const std::string& argument : arguments) {
    if (argument.find('"') != std::string::npos) return false;
    commandLine += L" \"" + QvText::FromUtf8(argument) + L"\"";
  }
  ChildProcess child(commandLine);
  const bool started = child.Started();
  child.Detach();
  return started;
}

// The extended-length form, for trees deeper than MAX_PATH.
inline std::wstring Extended(const std::wstring& path) {
  return path.starts_with(L"\\\\") ? path : L"\\\\?\\" + path;
}
inline DWORD Attributes(const std::wstring& path) { return ::GetFileAttributesW(Extended(path).c_str()); }
inline bool Exists(const std::wstring& path) { return Attributes(path) != INVALID_FILE_ATTRIBUTES; }
inline bool FileExists(const std::wstring& path) {
  const DWORD attributes = Attributes(path);
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}
inline bool DirectoryExists(const std::wstring& path) {
  const DWORD attributes = Attributes(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}
inline bool IsLink(const std::wstring& path) {
  const DWORD attributes = Attributes(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

inline bool MakeFolder(const std::wstring& path) {
  return ::CreateDirectoryW(Extended(path).c_str(), nullptr) != FALSE;
}
// A new file (fails when one is there) holding `content`.
inline bool MakeFile(const std::wstring& path, DWORD attributes = FILE_ATTRIBUTE_NORMAL,
                     std::string_view content = "content") {
  UniqueFileHandle file(
      ::CreateFileW(Extended(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, attributes, nullptr));
  DWORD written = 0;
  return file &&
         ::WriteFile(file.get(), content.data(), static_cast<DWORD>(content.size()), &written, nullptr) &&
         written == content.size();
}
// Creates or replaces the file with exactly `content`.
inline bool WriteWholeFile(const std::wstring& path, std::string_view content) {
  UniqueFileHandle file(::CreateFileW(Extended(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD written = 0;
  return file &&
         ::WriteFile(file.get(), content.data(), static_cast<DWORD>(content.size()), &written, nullptr) &&
         written == content.size();
}
// The whole file, shared with writers; empty when it cannot be read (see TryReadWholeFile).
inline bool TryReadWholeFile(const std::wstring& path, std::string& content) {
  content.clear();
  UniqueFileHandle file(::CreateFileW(Extended(path).c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  char buffer[65536];
  DWORD read = 0;
  while (::ReadFile(file.get(), buffer, sizeof(buffer), &read, nullptr) && read > 0)
    content.append(buffer, read);
  return true;
}
inline std::string ReadWholeFile(const std::wstring& path) {
  std::string content;
  TryReadWholeFile(path, content);
  return content;
}
// Names directly in a folder; empty when it cannot be listed.
inline std::vector<std::wstring> ListFolder(const std::wstring& path) {
  std::vector<std::wstring> names;
  QvPath::DirectoryListing listing(Extended(path) + L"\\*");
  while (listing.Next()) names.emplace_back(listing.Name());
  return names;
}
// Number of entries directly in a folder; -1 when it cannot be listed.
inline int CountEntries(const std::wstring& path) {
  QvPath::DirectoryListing listing(Extended(path) + L"\\*");
  int count = 0;
  while (listing.Next()) ++count;
  return listing.Completed() ? count : -1;
}

// A folder link at `link` pointing to `target`: a unix symbolic link under Wine (the only kind it
// shows as a reparse point), a directory symbolic link elsewhere.
inline bool MakeFolderLink(const std::wstring& link, const std::wstring& target) {
  if (IsWine()) {
    if (!StartHostProgram(L"Z:\\bin\\ln", {"-s", UnixPath(target), UnixPath(link)})) return false;
    Detail::WaitUntil([&link] { return Exists(link); });
  } else if (!::CreateSymbolicLinkW(
                 link.c_str(), target.c_str(),
                 SYMBOLIC_LINK_FLAG_DIRECTORY | SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE)) {
    return false;
  }
  return IsLink(link) && DirectoryExists(link);
}

// A file link at `link` pointing to the file `target`: a unix symbolic link under Wine (which shows
// it as a plain file), a file symbolic link elsewhere.
inline bool MakeFileLink(const std::wstring& link, const std::wstring& target) {
  if (IsWine()) {
    if (!StartHostProgram(L"Z:\\bin\\ln", {"-s", UnixPath(target), UnixPath(link)})) return false;
    return Detail::WaitUntil([&link] { return FileExists(link); });
  }
  return ::CreateSymbolicLinkW(link.c_str(), target.c_str(), SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE) !=
         FALSE;
}

// Removes the link itself, never what it points to; true when it is gone.
inline bool RemoveLink(const std::wstring& link) {
  // Wine acts on the target of a unix link whatever Win32 call is made on it: the host's rm
  // takes the link away there.
  if (IsWine()) {
    if (!StartHostProgram(L"Z:\\bin\\rm", {"-f", UnixPath(link)})) return false;
    return Detail::WaitUntil([&link] { return !Exists(link); });
  }
  const std::wstring system = Extended(link);
  return (Attributes(link) & FILE_ATTRIBUTE_DIRECTORY) ? ::RemoveDirectoryW(system.c_str()) != FALSE
                                                       : ::DeleteFileW(system.c_str()) != FALSE;
}

// Removes a file or a folder with everything in it (read-only files included), also below
// MAX_PATH's reach; links in it go as links, never entered. Best effort: whatever cannot go stays.
inline void RemoveTree(const std::wstring& path) {
  const DWORD attributes = Attributes(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) return;
  if (IsWine()) {
    // Wine shows a unix link to a file as a plain file and deletes the target when asked to delete
    // it, so no Win32 walk is safe there; the host's rm never follows links.
    if (StartHostProgram(L"Z:\\bin\\rm", {"-rf", UnixPath(path)}))
      Detail::WaitUntil([&path] { return !Exists(path); });
    return;
  }
  const std::wstring system = Extended(path);
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
    RemoveLink(path);
    return;
  }
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    ::SetFileAttributesW(system.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileW(system.c_str());
    return;
  }
  {
    QvPath::DirectoryListing listing(system + L"\\*");
    while (listing.Next()) {
      const std::wstring child = path + L"\\" + listing.Name();
      if (listing.IsReparsePoint()) {
        RemoveLink(child);
      } else if (listing.IsDirectory()) {
        RemoveTree(child);
      } else {
        ::SetFileAttributesW(Extended(child).c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileW(Extended(child).c_str());
      }
    }
  }
  ::RemoveDirectoryW(system.c_str());
}

// A folder of the test's own, removed with everything in it when the object goes.
class ScratchDir {
 public:
  // Takes a path the code under test creates: whatever is there now goes, nothing is created, and
  // whatever is there at the end goes too.
  struct Claim {
    std::wstring path;
  };

  // A new, uniquely named folder under the temporary folder: <prefix><process id>_<counter>.
  explicit ScratchDir(std::wstring_view prefix = L"qvscratch") {
    wchar_t temp[MAX_PATH + 1]{};
    const DWORD length = ::GetTempPathW(MAX_PATH + 1, temp);
    static LONG counter = 0;
    // A crashed earlier run of a process with the same id may have left a folder of that name.
    for (int attempt = 0; attempt < 100 && !created_; ++attempt) {
      path_ = std::wstring(temp, length) + std::wstring(prefix) + std::to_wstring(::GetCurrentProcessId()) +
              L"_" + std::to_wstring(::InterlockedIncrement(&counter));
      created_ = ::CreateDirectoryW(path_.c_str(), nullptr) != FALSE;
      if (!created_ && ::GetLastError() != ERROR_ALREADY_EXISTS) break;
    }
  }
  explicit ScratchDir(Claim claim) : path_(std::move(claim.path)) { RemoveTree(path_); }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  ~ScratchDir() {
    if (!path_.empty()) RemoveTree(path_);
  }

  bool Created() const { return created_; }
  const std::wstring& Path() const { return path_; }
  std::string AnsiPath() const { return QvText::ToAnsi(path_); }
  std::wstring Child(std::wstring_view name) const { return path_ + L"\\" + std::wstring(name); }
  std::wstring operator/(std::wstring_view name) const { return Child(name); }

  // Writes `content` unchanged (UTF-8 for Lua text); true when the whole text was written.
  bool Write(std::wstring_view name, std::string_view content) const {
    return WriteWholeFile(Child(name), content);
  }
  // The whole file as bytes; empty when it cannot be read.
  std::string Read(std::wstring_view name) const { return ReadWholeFile(Child(name)); }
  bool Exists(std::wstring_view name) const { return QvTest::Exists(Child(name)); }

  static std::string ReadFile(const std::wstring& path) { return ReadWholeFile(path); }
  static void RemoveTree(const std::wstring& path) { QvTest::RemoveTree(path); }

 private:
  std::wstring path_;
  bool created_ = false;
};

// A folder link directly below the system drive's root ("C:\\qvlink<process id>_<n>") pointing to
// `target`, removed as a link when the object goes: the one depth a scratch folder cannot reach.
class DriveRootLink {
 public:
  explicit DriveRootLink(const std::wstring& target) {
    wchar_t windows[MAX_PATH + 1]{};
    static LONG counter = 0;
    if (::GetSystemWindowsDirectoryW(windows, MAX_PATH + 1) < 3) return;
    path_ = std::wstring(windows, 3) + L"qvlink" + std::to_wstring(::GetCurrentProcessId()) + L"_" +
            std::to_wstring(::InterlockedIncrement(&counter));
    made_ = MakeFolderLink(path_, target);
  }
  DriveRootLink(const DriveRootLink&) = delete;
  DriveRootLink& operator=(const DriveRootLink&) = delete;
  ~DriveRootLink() {
    if (made_) RemoveLink(path_);
  }
  bool Made() const { return made_; }
  const std::wstring& Path() const { return path_; }

 private:
  std::wstring path_;
  bool made_ = false;
};

}  // namespace QvTest
