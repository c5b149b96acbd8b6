// Guarded, atomic file replacement.
#include "sysops/FileReplace.h"

#include <windows.h>

#include <algorithm>

#include "base/PathGuard.h"
#include "base/UniqueHandle.h"

namespace FileReplace {

namespace {

std::wstring WithCode(const wchar_t* what, DWORD error) {
  return what + std::wstring(L": ") + std::to_wstring(error);
}

}  // namespace

bool Write(const std::wstring& path, std::string_view content, std::wstring& error) {
  QvPath::PathGuard guard;
  if (!guard.Acquire(path, QvPath::PathGuard::Last::Check)) {
    error = guard.Refusal();
    return false;
  }
  if (guard.MissingCount() > 0) {
    error = L"its folder does not exist";
    return false;
  }
  const std::wstring target = guard.Path().System();
  // A new name each try: CREATE_NEW never opens what is already there, a planted link included.
  std::wstring temporary;
  UniqueFileHandle file;
  for (unsigned attempt = 0; attempt < 100 && !file; ++attempt) {
    temporary = target + L"." + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                std::to_wstring(::GetTickCount64()) + L"-" + std::to_wstring(attempt) + L".tmp";
    file.reset(::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file && ::GetLastError() != ERROR_FILE_EXISTS && ::GetLastError() != ERROR_ALREADY_EXISTS) break;
  }
  if (!file) {
    error = WithCode(L"the file beside it cannot be created", ::GetLastError());
    return false;
  }
  size_t written = 0;
  while (written < content.size()) {
    DWORD chunk = 0;
    const DWORD wanted = static_cast<DWORD>(std::min<size_t>(content.size() - written, 1u << 20));
    if (!::WriteFile(file.get(), content.data() + written, wanted, &chunk, nullptr) || chunk == 0) {
      error = WithCode(L"writing failed", ::GetLastError());
      file.reset();
      ::DeleteFileW(temporary.c_str());
      return false;
    }
    written += chunk;
  }
  const bool flushed = ::FlushFileBuffers(file.get()) != FALSE;
  file.reset();
  // The rename replaces the entry at the path, a link there included, and never writes through it.
  if (!flushed ||
      !::MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    error = WithCode(L"the file cannot take the path's place", ::GetLastError());
    ::DeleteFileW(temporary.c_str());
    return false;
  }
  return true;
}

}  // namespace FileReplace
