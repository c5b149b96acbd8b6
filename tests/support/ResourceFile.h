// Test machinery: read and replace RCDATA resources of an executable file on disk.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "base/UniqueHandle.h"

namespace QvTest {

namespace Detail {
inline BOOL CALLBACK CollectLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR list) {
  reinterpret_cast<std::vector<WORD>*>(list)->push_back(language);
  return TRUE;
}
}  // namespace Detail

// The bytes of RCDATA `id` in `exe`; false when the file or the resource cannot be read.
inline bool ReadRcData(const std::wstring& exe, WORD id, std::string& bytes) {
  UniqueModule module(::LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
  if (!module) return false;
  HRSRC info = ::FindResourceW(module.get(), MAKEINTRESOURCEW(id), RT_RCDATA);
  HGLOBAL loaded = info != nullptr ? ::LoadResource(module.get(), info) : nullptr;
  const void* data = loaded != nullptr ? ::LockResource(loaded) : nullptr;
  if (data == nullptr) return false;
  bytes.assign(static_cast<const char*>(data), ::SizeofResource(module.get(), info));
  return true;
}

// Replaces RCDATA `id` of `exe` (every language of it) by `bytes`, keeping the language it had.
// Win32 error code, 0 on success.
inline DWORD ReplaceRcData(const std::wstring& exe, WORD id, const std::string& bytes) {
  std::vector<WORD> languages;
  {
    UniqueModule module(::LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    if (!module) return ::GetLastError();
    ::EnumResourceLanguagesW(module.get(), RT_RCDATA, MAKEINTRESOURCEW(id), Detail::CollectLanguage,
                             reinterpret_cast<LONG_PTR>(&languages));
  }
  HANDLE update = ::BeginUpdateResourceW(exe.c_str(), FALSE);
  if (update == nullptr) return ::GetLastError();
  bool ok = true;
  for (WORD language : languages)
    ok = ok && ::UpdateResourceW(update, RT_RCDATA, MAKEINTRESOURCEW(id), language, nullptr, 0);
  const WORD language = languages.empty() ? MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL) : languages.front();
  ok = ok && ::UpdateResourceW(update, RT_RCDATA, MAKEINTRESOURCEW(id), language,
                               const_cast<char*>(bytes.data()), static_cast<DWORD>(bytes.size()));
  const DWORD error = ok ? 0 : ::GetLastError();
  if (!::EndUpdateResourceW(update, ok ? FALSE : TRUE) && ok) return ::GetLastError();
  return error;
}

}  // namespace QvTest
