// Test machinery: a registry key of the test's own, HKLM\SOFTWARE\QvTest\<unique>, made in the 64-bit
// and in the 32-bit view and removed from both when the test ends.
#pragma once

#include <windows.h>
#include <sddl.h>

#include <string>
#include <string_view>
#include <utility>

#include "base/UniqueHandle.h"

namespace QvTest {

// Opens HKLM\<path> in `view` (KEY_WOW64_64KEY or KEY_WOW64_32KEY); an empty owner when it fails
// (the code then in `error`, when given).
inline UniqueHKey OpenMachineKey(std::wstring_view path, REGSAM view, REGSAM access = KEY_READ,
                                 LSTATUS* error = nullptr) {
  UniqueHKey key;
  const LSTATUS status =
      ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, std::wstring(path).c_str(), 0, access | view, key.put());
  if (error != nullptr) *error = status;
  return key;
}
// Creates (or opens) HKLM\<path> in `view`.
inline UniqueHKey CreateMachineKey(std::wstring_view path, REGSAM view, REGSAM access = KEY_ALL_ACCESS,
                                   LSTATUS* error = nullptr) {
  UniqueHKey key;
  const LSTATUS status = ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, std::wstring(path).c_str(), 0, nullptr, 0,
                                           access | view, nullptr, key.put(), nullptr);
  if (error != nullptr) *error = status;
  return key;
}
inline bool MachineKeyExists(std::wstring_view path, REGSAM view) {
  return OpenMachineKey(path, view).valid();
}
// Removes HKLM\<path> with its sub-keys and values from `view`; a missing key counts as removed.
inline bool DeleteMachineTree(std::wstring_view path, REGSAM view) {
  LSTATUS status = ERROR_SUCCESS;
  UniqueHKey key = OpenMachineKey(path, view, KEY_ALL_ACCESS, &status);
  if (status == ERROR_FILE_NOT_FOUND) return true;
  if (!key || ::RegDeleteTreeW(key.get(), nullptr) != ERROR_SUCCESS) return false;
  key.reset();
  status = ::RegDeleteKeyExW(HKEY_LOCAL_MACHINE, std::wstring(path).c_str(), view, 0);
  return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

// Writes the owner and/or DACL that `sddl` holds (e.g. "D:P(D;OICI;GA;;;WD)") to HKLM\<path>.
inline LSTATUS SetMachineKeySecurity(std::wstring_view path, REGSAM view, const wchar_t* sddl) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor, nullptr))
    return static_cast<LSTATUS>(::GetLastError());
  const UniqueLocalMem owner(descriptor);
  SECURITY_INFORMATION parts = 0;
  PSID sid = nullptr;
  BOOL defaulted = FALSE, present = FALSE;
  PACL dacl = nullptr;
  if (::GetSecurityDescriptorOwner(descriptor, &sid, &defaulted) && sid != nullptr)
    parts |= OWNER_SECURITY_INFORMATION;
  if (::GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted) && present)
    parts |= DACL_SECURITY_INFORMATION;
  LSTATUS status = ERROR_SUCCESS;
  const REGSAM access = ((parts & OWNER_SECURITY_INFORMATION) ? WRITE_OWNER : 0) |
                        ((parts & DACL_SECURITY_INFORMATION) ? WRITE_DAC : 0);
  UniqueHKey key = OpenMachineKey(path, view, access, &status);
  return key ? ::RegSetKeySecurity(key.get(), parts, descriptor) : status;
}
// The owner and DACL of HKLM\<path> as SDDL; empty when they cannot be read.
inline std::wstring MachineKeySddl(std::wstring_view path, REGSAM view) {
  UniqueHKey key = OpenMachineKey(path, view, READ_CONTROL);
  const SECURITY_INFORMATION parts = OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
  DWORD size = 0;
  if (!key || ::RegGetKeySecurity(key.get(), parts, nullptr, &size) != ERROR_INSUFFICIENT_BUFFER) return {};
  std::string descriptor(size, '\0');
  LPWSTR text = nullptr;
  if (::RegGetKeySecurity(key.get(), parts, descriptor.data(), &size) != ERROR_SUCCESS ||
      !::ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor.data(), SDDL_REVISION_1, parts,
                                                              &text, nullptr))
    return {};
  const UniqueLocalMem owner(text);
  return text;
}

// A key below HKLM that only an administrator can take over: owned by BUILTIN\Administrators, its
// DACL denying everyone, with one sub-key "held" that nobody can list, so the key cannot be deleted
// either. For a process whose token has Administrators as a deny-only group (Wine's only
// non-administrator, tests/WINE.md) it stays, as a key a driver holds would on Windows. Removed at
// the end by this (administrator) process.
class RefusingKey {
 public:
  RefusingKey(std::wstring path, REGSAM view) : path_(std::move(path)), view_(view) {
    made_ = CreateMachineKey(path_ + L"\\held", view_).valid() &&
            SetMachineKeySecurity(path_, view_, L"O:BAD:P(D;OICI;GA;;;WD)") == ERROR_SUCCESS &&
            !OpenMachineKey(path_, view_, KEY_READ).valid();
  }
  RefusingKey(const RefusingKey&) = delete;
  RefusingKey& operator=(const RefusingKey&) = delete;
  ~RefusingKey() {
    // The owner may always rewrite the DACL.
    SetMachineKeySecurity(path_, view_, L"D:(A;OICI;KA;;;BA)");
    DeleteMachineTree(path_, view_);
  }
  // Whether the key exists and refuses reading.
  bool Made() const { return made_; }

 private:
  std::wstring path_;
  REGSAM view_;
  bool made_ = false;
};

// A registry link HKLM\<path> in `view` to the key HKLM\<target> of the same view, removed as a
// link at the end (a plain open or tree deletion would act on the target).
class MachineLink {
 public:
  MachineLink(std::wstring path, REGSAM view, std::wstring_view target)
      : path_(std::move(path)), view_(view) {
    std::wstring physical(target);
    if (view == KEY_WOW64_32KEY && physical.starts_with(L"SOFTWARE\\")) physical.insert(9, L"Wow6432Node\\");
    const std::wstring nt = L"\\Registry\\Machine\\" + physical;
    UniqueHKey key;
    made_ = ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, path_.c_str(), 0, nullptr, REG_OPTION_CREATE_LINK,
                              KEY_ALL_ACCESS | view_, nullptr, key.put(), nullptr) == ERROR_SUCCESS &&
            ::RegSetValueExW(key.get(), L"SymbolicLinkValue", 0, REG_LINK,
                             reinterpret_cast<const BYTE*>(nt.data()),
                             static_cast<DWORD>(nt.size() * sizeof(wchar_t))) == ERROR_SUCCESS;
  }
  MachineLink(const MachineLink&) = delete;
  MachineLink& operator=(const MachineLink&) = delete;
  ~MachineLink() { Remove(path_, view_); }

  bool Made() const { return made_; }
  // Whether the link key itself is still there.
  bool Exists() const {
    UniqueHKey key;
    return ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, path_.c_str(), REG_OPTION_OPEN_LINK, KEY_READ | view_,
                           key.put()) == ERROR_SUCCESS;
  }
  // Deletes the link key at path (not its target); true when it is gone.
  static bool Remove(const std::wstring& path, REGSAM view) {
    using NtDeleteKeyCall = LONG(NTAPI*)(HANDLE);
    const auto deleteKey = reinterpret_cast<NtDeleteKeyCall>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtDeleteKey")));
    UniqueHKey key;
    const LSTATUS status = ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), REG_OPTION_OPEN_LINK,
                                           DELETE | KEY_READ | view, key.put());
    return status == ERROR_FILE_NOT_FOUND || (status == ERROR_SUCCESS && deleteKey(key.get()) == 0);
  }

 private:
  std::wstring path_;
  REGSAM view_;
  bool made_ = false;
};

class ScratchKey {
 public:
  static constexpr wchar_t kParent[] = L"SOFTWARE\\QvTest";
  static constexpr REGSAM kViews[] = {KEY_WOW64_64KEY, KEY_WOW64_32KEY};

  ScratchKey() {
    static LONG counter = 0;
    path_ = std::wstring(kParent) + L"\\" + std::to_wstring(::GetCurrentProcessId()) + L"_" +
            std::to_wstring(::InterlockedIncrement(&counter)) + L"_" + std::to_wstring(::GetTickCount64());
    created_ = true;
    for (REGSAM view : kViews) {
      DeleteMachineTree(path_, view);  // left over by a crashed run
      created_ = CreateMachineKey(path_, view).valid() && created_;
    }
  }
  ScratchKey(const ScratchKey&) = delete;
  ScratchKey& operator=(const ScratchKey&) = delete;
  ~ScratchKey() {
    for (REGSAM view : kViews) {
      DeleteMachineTree(path_, view);
      // The shared parent goes with the last test key (the call fails while others remain).
      ::RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kParent, view, 0);
    }
  }

  // Whether the key exists in both views.
  bool Created() const { return created_; }
  // Below HKEY_LOCAL_MACHINE, the same in both views.
  const std::wstring& Path() const { return path_; }
  std::wstring Child(std::wstring_view name) const { return path_ + L"\\" + std::wstring(name); }
  // The key (or `sub`, a path below it) in `view`.
  UniqueHKey Open(REGSAM view, REGSAM access = KEY_ALL_ACCESS, std::wstring_view sub = {}) const {
    return OpenMachineKey(sub.empty() ? path_ : Child(sub), view, access);
  }
  UniqueHKey Create(REGSAM view, std::wstring_view sub, REGSAM access = KEY_ALL_ACCESS) const {
    return CreateMachineKey(Child(sub), view, access);
  }

 private:
  std::wstring path_;
  bool created_ = false;
};

}  // namespace QvTest
