// Registry access bound to one root and one view.
#include "base/Win32Registry.h"

#include <cstring>
#include <utility>

#include "base/MultiString.h"
#include "base/ProcAddress.h"
#include "base/UniqueHandle.h"
#include "base/Utf8.h"

namespace {

// Access masks of the operations; the view flags are added at every open.
constexpr REGSAM kRead = KEY_READ;
constexpr REGSAM kSetValue = KEY_SET_VALUE;
constexpr REGSAM kExists = READ_CONTROL;
constexpr REGSAM kCreate = KEY_CREATE_SUB_KEY;
constexpr REGSAM kDeleteTree = DELETE | KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE;

// The longest key name is 255 characters; the enumeration buffer also holds its terminator.
constexpr DWORD kSubkeyNameBuffer = 256;
constexpr DWORD kValueNameBuffer = 32767;

std::wstring Wide(const std::string& text) { return QvText::FromUtf8(text); }
std::string Narrow(const std::wstring& text) { return QvText::ToUtf8(text); }

std::vector<std::string> Narrow(const std::vector<std::wstring>& list) {
  std::vector<std::string> result;
  result.reserve(list.size());
  for (const std::wstring& item : list) result.push_back(Narrow(item));
  return result;
}

std::wstring Join(const std::wstring& parent, const std::wstring& child) {
  return parent.empty() ? child : parent + L"\\" + child;
}

// Parent and last component of a path; false when the path has no backslash.
bool SplitLast(const std::wstring& path, std::wstring& parent, std::wstring& child) {
  const size_t slash = path.rfind(L'\\');
  if (slash == std::wstring::npos) return false;
  parent = path.substr(0, slash);
  child = path.substr(slash + 1);
  return true;
}

}  // namespace

DWORD RegResultOf(LSTATUS status) {
  switch (status) {
    case ERROR_SUCCESS:
      return RegResult::Success;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return RegResult::NotFound;
    case ERROR_ACCESS_DENIED:
      return RegResult::AccessDenied;
    case ERROR_INVALID_PARAMETER:
      return RegResult::InvalidArgument;
    default:
      return RegResult::Failure;
  }
}

Win32Registry::~Win32Registry() = default;

bool Win32Registry::Finish(LSTATUS status) { return FinishWith(RegResultOf(status)); }

bool Win32Registry::FinishWith(DWORD code) {
  lastResult_ = code;
  return code == RegResult::Success;
}

// ---- values ----

DWORD Win32Registry::GetValueType(const std::string& branch, const std::string& key) {
  return GetValueType(Wide(branch), Wide(key));
}

DWORD Win32Registry::GetValueType(const std::wstring& branch, const std::wstring& key) {
  UniqueHKey hkey;
  LSTATUS status = ::RegOpenKeyExW(root_, branch.c_str(), 0, kRead | flags_, hkey.put());
  DWORD type = 0;
  if (status == ERROR_SUCCESS)
    status = ::RegQueryValueExW(hkey.get(), key.c_str(), nullptr, &type, nullptr, nullptr);
  return Finish(status) ? type : 0;
}

bool Win32Registry::GetString(const std::string& branch, const std::string& key, std::string& text) {
  return GetString(Wide(branch), Wide(key), text);
}

bool Win32Registry::GetString(const std::wstring& branch, const std::wstring& key, std::string& text) {
  std::wstring wide;
  const bool read = GetString(branch, key, wide);
  text = Narrow(wide);
  return read;
}

bool Win32Registry::GetString(const std::string& branch, const std::string& key, std::wstring& text) {
  return GetString(Wide(branch), Wide(key), text);
}

bool Win32Registry::GetString(const std::wstring& branch, const std::wstring& key, std::wstring& text) {
  text.clear();
  UniqueHKey hkey;
  LSTATUS status = ::RegOpenKeyExW(root_, branch.c_str(), 0, kRead | flags_, hkey.put());
  if (status != ERROR_SUCCESS) return Finish(status);
  std::wstring buffer(128, L'\0');
  DWORD type = 0;
  DWORD bytes = 0;
  do {
    bytes = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
    status = ::RegQueryValueExW(hkey.get(), key.c_str(), nullptr, &type,
                                reinterpret_cast<BYTE*>(buffer.data()), &bytes);
    if (status == ERROR_MORE_DATA) buffer.resize((bytes + 1) / 2);
  } while (status == ERROR_MORE_DATA);
  if (status != ERROR_SUCCESS) return Finish(status);
  if (type != REG_SZ && type != REG_EXPAND_SZ) return FinishWith(RegResult::WrongType);
  buffer.resize(bytes / 2);
  if (!buffer.empty() && buffer.back() == L'\0') buffer.pop_back();
  text = std::move(buffer);
  return FinishWith(RegResult::Success);
}

bool Win32Registry::WriteValue(const std::wstring& branch, const std::wstring& key, DWORD type,
                               const void* data, DWORD bytes) {
  UniqueHKey hkey;
  LSTATUS status = ::RegOpenKeyExW(root_, branch.c_str(), 0, kSetValue | flags_, hkey.put());
  if (status == ERROR_SUCCESS)
    status = ::RegSetValueExW(hkey.get(), key.c_str(), 0, type, static_cast<const BYTE*>(data), bytes);
  return Finish(status);
}

bool Win32Registry::SetText(const std::wstring& branch, const std::wstring& key, DWORD type,
                            const std::wstring& text) {
  // The terminator is part of the data.
  return WriteValue(branch, key, type, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

bool Win32Registry::SetString(const std::string& branch, const std::string& key, const std::string& text) {
  return SetText(Wide(branch), Wide(key), REG_SZ, Wide(text));
}
bool Win32Registry::SetString(const std::wstring& branch, const std::wstring& key, const std::string& text) {
  return SetText(branch, key, REG_SZ, Wide(text));
}
bool Win32Registry::SetString(const std::string& branch, const std::string& key, const std::wstring& text) {
  return SetText(Wide(branch), Wide(key), REG_SZ, text);
}
bool Win32Registry::SetString(const std::wstring& branch, const std::wstring& key, const std::wstring& text) {
  return SetText(branch, key, REG_SZ, text);
}

bool Win32Registry::SetExpandString(const std::string& branch, const std::string& key,
                                    const std::string& text) {
  return SetText(Wide(branch), Wide(key), REG_EXPAND_SZ, Wide(text));
}
bool Win32Registry::SetExpandString(const std::wstring& branch, const std::wstring& key,
                                    const std::string& text) {
  return SetText(branch, key, REG_EXPAND_SZ, Wide(text));
}
bool Win32Registry::SetExpandString(const std::string& branch, const std::string& key,
                                    const std::wstring& text) {
  return SetText(Wide(branch), Wide(key), REG_EXPAND_SZ, text);
}
bool Win32Registry::SetExpandString(const std::wstring& branch, const std::wstring& key,
                                    const std::wstring& text) {
  return SetText(branch, key, REG_EXPAND_SZ, text);
}

bool Win32Registry::ReadFixed(const std::wstring& branch, const std::wstring& key, DWORD wanted, void* data,
                              DWORD bytes) {
  UniqueHKey hkey;
  LSTATUS status = ::RegOpenKeyExW(root_, branch.c_str(), 0, kRead | flags_, hkey.put());
  if (status != ERROR_SUCCESS) return Finish(status);
  DWORD type = wanted;
  DWORD size = bytes;
  status = ::RegQueryValueExW(hkey.get(), key.c_str(), nullptr, &type, static_cast<BYTE*>(data), &size);
  // A longer value of another type answers ERROR_MORE_DATA: still a type mismatch.
  if ((status == ERROR_SUCCESS || status == ERROR_MORE_DATA) && type != wanted && type != REG_NONE)
    return FinishWith(RegResult::WrongType);
  return Finish(status);
}

bool Win32Registry::GetDWORD(const std::string& branch, const std::string& key, DWORD& value) {
  return GetDWORD(Wide(branch), Wide(key), value);
}

bool Win32Registry::GetDWORD(const std::wstring& branch, const std::wstring& key, DWORD& value) {
  DWORD data = 0;
  const bool read = ReadFixed(branch, key, REG_DWORD, &data, sizeof(data));
  value = read ? data : 0;
  return read;
}

bool Win32Registry::SetDWORD(const std::string& branch, const std::string& key, DWORD value) {
  return SetDWORD(Wide(branch), Wide(key), value);
}
bool Win32Registry::SetDWORD(const std::wstring& branch, const std::wstring& key, DWORD value) {
  return WriteValue(branch, key, REG_DWORD, &value, sizeof(value));
}

bool Win32Registry::GetQWORD(const std::string& branch, const std::string& key, ULONGLONG& value) {
  return GetQWORD(Wide(branch), Wide(key), value);
}

bool Win32Registry::GetQWORD(const std::wstring& branch, const std::wstring& key, ULONGLONG& value) {
  ULONGLONG data = 0;
  const bool read = ReadFixed(branch, key, REG_QWORD, &data, sizeof(data));
  value = read ? data : 0;
  return read;
}

bool Win32Registry::SetQWORD(const std::string& branch, const std::string& key, ULONGLONG value) {
  return SetQWORD(Wide(branch), Wide(key), value);
}
bool Win32Registry::SetQWORD(const std::wstring& branch, const std::wstring& key, ULONGLONG value) {
  return WriteValue(branch, key, REG_QWORD, &value, sizeof(value));
}

bool Win32Registry::ReadAny(const std::wstring& branch, const std::wstring& key, std::vector<BYTE>& data,
                            DWORD& type) {
  data.clear();
  type = REG_NONE;
  UniqueHKey hkey;
  LSTATUS status = ::RegOpenKeyExW(root_, branch.c_str(), 0, kRead | flags_, hkey.put());
  if (status != ERROR_SUCCESS) return Finish(status);
  std::vector<BYTE> buffer(256);
  DWORD bytes = 0;
  do {
    bytes = static_cast<DWORD>(buffer.size());
    status = ::RegQueryValueExW(hkey.get(), key.c_str(), nullptr, &type, buffer.data(), &bytes);
    if (status == ERROR_MORE_DATA) buffer.resize(bytes);
  } while (status == ERROR_MORE_DATA);
  if (status != ERROR_SUCCESS) {
    type = REG_NONE;
    return Finish(status);
  }
  buffer.resize(bytes);
  data = std::move(buffer);
  return FinishWith(RegResult::Success);
}

bool Win32Registry::GetMultiStringRaw(const std::wstring& branch, const std::wstring& key,
                                      std::vector<BYTE>& data) {
  DWORD type = REG_NONE;
  if (!ReadAny(branch, key, data, type)) return false;
  if (type == REG_MULTI_SZ) return true;
  data.clear();
  return FinishWith(RegResult::WrongType);
}

bool Win32Registry::GetMultiString(const std::string& branch, const std::string& key,
                                   std::vector<std::string>& list) {
  std::vector<std::wstring> wide;
  const bool read = GetMultiString(Wide(branch), Wide(key), wide);
  list = Narrow(wide);
  return read;
}

bool Win32Registry::GetMultiString(const std::wstring& branch, const std::wstring& key,
                                   std::vector<std::wstring>& list) {
  list.clear();
  std::vector<BYTE> data;
  if (!GetMultiStringRaw(branch, key, data)) return false;
  std::wstring units(data.size() / sizeof(wchar_t), L'\0');
  if (!units.empty()) std::memcpy(units.data(), data.data(), units.size() * sizeof(wchar_t));
  list = QvText::SplitMultiString(units);
  return true;
}

bool Win32Registry::SetMultiString(const std::string& branch, const std::string& key,
                                   const std::vector<std::string>& list) {
  std::vector<std::wstring> wide;
  wide.reserve(list.size());
  for (const std::string& item : list) wide.push_back(Wide(item));
  return SetMultiString(Wide(branch), Wide(key), wide);
}

bool Win32Registry::SetMultiString(const std::wstring& branch, const std::wstring& key,
                                   const std::vector<std::wstring>& list) {
  for (const std::wstring& item : list)
    if (item.empty()) return FinishWith(RegResult::InvalidArgument);
  const std::wstring data = QvText::JoinMultiString(list);
  return WriteValue(branch, key, REG_MULTI_SZ, data.data(),
                    static_cast<DWORD>(data.size() * sizeof(wchar_t)));
}

bool Win32Registry::GetBinary(const std::string& branch, const std::string& key, std::vector<BYTE>& data) {
  return GetBinary(Wide(branch), Wide(key), data);
}

bool Win32Registry::GetBinary(const std::wstring& branch, const std::wstring& key, std::vector<BYTE>& data) {
  DWORD type = REG_NONE;
  if (!ReadAny(branch, key, data, type)) return false;
  if (type == REG_BINARY) return true;
  data.clear();
  return FinishWith(RegResult::WrongType);
}

bool Win32Registry::SetBinary(const std::string& branch, const std::string& key,
                              const std::vector<BYTE>& data) {
  return SetBinary(Wide(branch), Wide(key), data);
}
bool Win32Registry::SetBinary(const std::wstring& branch, const std::wstring& key,
                              const std::vector<BYTE>& data) {
  return WriteValue(branch, key, REG_BINARY, data.data(), static_cast<DWORD>(data.size()));
}

bool Win32Registry::DeleteValue(const std::string& branch, const std::string& key) {
  return DeleteValue(Wide(branch), Wide(key));
}

bool Win32Registry::DeleteValue(const std::wstring& branch, const std::wstring& key) {
  UniqueHKey hkey;
  LSTATUS status = ::RegOpenKeyExW(root_, branch.c_str(), 0, kSetValue | flags_, hkey.put());
  if (status == ERROR_SUCCESS) status = ::RegDeleteValueW(hkey.get(), key.c_str());
  return Finish(status);
}

bool Win32Registry::GetValue(const std::string& branch, const std::string& key, std::vector<BYTE>& data,
                             DWORD& type) {
  return GetValue(Wide(branch), Wide(key), data, type);
}
bool Win32Registry::GetValue(const std::wstring& branch, const std::wstring& key, std::vector<BYTE>& data,
                             DWORD& type) {
  return ReadAny(branch, key, data, type);
}

// ---- keys ----

bool Win32Registry::KeyExists(const std::string& path) { return KeyExists(Wide(path)); }

bool Win32Registry::KeyExists(const std::wstring& path) {
  UniqueHKey hkey;
  return Finish(::RegOpenKeyExW(root_, path.c_str(), 0, kExists | flags_, hkey.put()));
}

bool Win32Registry::KeyExists(const std::string& parent, const std::string& child) {
  return KeyExists(Wide(parent), Wide(child));
}
bool Win32Registry::KeyExists(const std::wstring& parent, const std::wstring& child) {
  return KeyExists(parent + L"\\" + child);
}

bool Win32Registry::CreateKey(const std::string& parent, const std::string& child) {
  return CreateKey(Wide(parent), Wide(child));
}
bool Win32Registry::CreateKey(const std::wstring& parent, const std::wstring& child) {
  return CreateKey(parent, child, 0);
}
bool Win32Registry::CreateKey(const std::string& parent, const std::string& child, DWORD options) {
  return CreateKey(Wide(parent), Wide(child), options);
}

bool Win32Registry::CreateKey(const std::wstring& parent, const std::wstring& child, DWORD options) {
  if (child.empty()) return FinishWith(RegResult::InvalidArgument);
  UniqueHKey created;
  return Finish(::RegCreateKeyExW(root_, Join(parent, child).c_str(), 0, nullptr, options, kCreate | flags_,
                                  nullptr, created.put(), nullptr));
}

bool Win32Registry::DeleteKey(const std::string& parent, const std::string& child) {
  return DeleteKey(Wide(parent), Wide(child));
}

bool Win32Registry::DeleteKey(const std::wstring& parent, const std::wstring& child) {
  if (child.empty()) return FinishWith(RegResult::InvalidArgument);
  UniqueHKey hkey;
  LSTATUS status = ::RegOpenKeyExW(root_, parent.c_str(), 0, kRead | flags_, hkey.put());
  // The handle already points into the chosen view, so the relative delete stays in it.
  if (status == ERROR_SUCCESS) status = ::RegDeleteKeyW(hkey.get(), child.c_str());
  return Finish(status);
}

bool Win32Registry::DeleteKey(const std::string& path) { return DeleteKey(Wide(path)); }

bool Win32Registry::DeleteKey(const std::wstring& path) {
  std::wstring parent, child;
  if (!SplitLast(path, parent, child)) return FinishWith(RegResult::InvalidArgument);
  return DeleteKey(parent, child);
}

bool Win32Registry::CreateKeyPath(const std::string& path) { return CreateKeyPath(Wide(path)); }

bool Win32Registry::CreateKeyPath(const std::wstring& path) {
  std::wstring parent, child;
  if (!SplitLast(path, parent, child)) return FinishWith(RegResult::Success);
  return CreateKeyPath(parent) && CreateKey(parent, child);
}

bool Win32Registry::DeleteTree(const std::string& parent, const std::string& child) {
  return DeleteTree(Wide(parent), Wide(child));
}

bool Win32Registry::DeleteTree(const std::wstring& parent, const std::wstring& child) {
  if (child.empty()) return FinishWith(RegResult::InvalidArgument);
  UniqueHKey hkey;
  LSTATUS status = ::RegOpenKeyExW(root_, parent.c_str(), 0, kDeleteTree | flags_, hkey.put());
  if (status == ERROR_SUCCESS) status = ::RegDeleteTreeW(hkey.get(), child.c_str());
  return Finish(status);
}

size_t Win32Registry::GetSubkeys(const std::string& branch, std::vector<std::string>& names) {
  std::vector<std::wstring> wide;
  GetSubkeys(Wide(branch), wide);
  names = Narrow(wide);
  return names.size();
}

size_t Win32Registry::GetSubkeys(const std::wstring& branch, std::vector<std::wstring>& names) {
  names.clear();
  UniqueHKey hkey;
  LSTATUS status = ::RegOpenKeyExW(root_, branch.c_str(), 0, kRead | flags_, hkey.put());
  if (status != ERROR_SUCCESS) {
    Finish(status);
    return 0;
  }
  status = RegLink::ListSubkeys(hkey.get(), names);
  if (status == ERROR_SUCCESS) {
    FinishWith(RegResult::Success);
    return names.size();
  }
  names.clear();
  Finish(status);
  return 0;
}

size_t Win32Registry::GetValueNames(const std::string& branch, std::vector<std::string>& names) {
  std::vector<std::wstring> wide;
  GetValueNames(Wide(branch), wide);
  names = Narrow(wide);
  return names.size();
}

size_t Win32Registry::GetValueNames(const std::wstring& branch, std::vector<std::wstring>& names) {
  names.clear();
  UniqueHKey hkey;
  LSTATUS status = ::RegOpenKeyExW(root_, branch.c_str(), 0, kRead | flags_, hkey.put());
  if (status != ERROR_SUCCESS) {
    Finish(status);
    return 0;
  }
  std::wstring name(kValueNameBuffer, L'\0');
  for (DWORD index = 0;; ++index) {
    DWORD length = kValueNameBuffer;
    status = ::RegEnumValueW(hkey.get(), index, name.data(), &length, nullptr, nullptr, nullptr, nullptr);
    if (status != ERROR_SUCCESS) break;
    names.emplace_back(name.data(), length);
  }
  if (status == ERROR_NO_MORE_ITEMS) {
    FinishWith(RegResult::Success);
    return names.size();
  }
  names.clear();
  Finish(status);
  return 0;
}

void Win32Registry::SetRoot(HKEY root) { root_ = root; }
void Win32Registry::SetFlags(REGSAM viewFlags) { flags_ = viewFlags; }
DWORD Win32Registry::GetLastResult() { return lastResult_; }

// ---- keys as themselves ----

namespace RegLink {

LSTATUS OpenOwnKey(HKEY parent, const std::wstring& name, REGSAM access, HKEY* key) {
  return ::RegOpenKeyExW(parent, name.c_str(), REG_OPTION_OPEN_LINK, access, key);
}

bool IsLink(HKEY key) {
  DWORD type = REG_NONE;
  return ::RegQueryValueExW(key, L"SymbolicLinkValue", nullptr, &type, nullptr, nullptr) == ERROR_SUCCESS &&
         type == REG_LINK;
}

LSTATUS ListSubkeys(HKEY key, std::vector<std::wstring>& names) {
  names.clear();
  wchar_t name[kSubkeyNameBuffer];
  for (DWORD index = 0;; ++index) {
    DWORD length = kSubkeyNameBuffer;
    const LSTATUS status = ::RegEnumKeyExW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_NO_MORE_ITEMS) return ERROR_SUCCESS;
    if (status != ERROR_SUCCESS) return status;
    names.emplace_back(name, length);
  }
}

std::wstring NativeName(HKEY key) {
  using NtQueryKeyCall = LONG(NTAPI*)(HANDLE, int, PVOID, ULONG, PULONG);
  constexpr int kKeyNameInformation = 3;
  static const auto queryKey = QvProc::Get<NtQueryKeyCall>(::GetModuleHandleW(L"ntdll.dll"), "NtQueryKey");
  if (queryKey == nullptr) return {};
  std::vector<BYTE> buffer(1024);
  for (;;) {
    ULONG length = 0;
    const LONG status =
        queryKey(key, kKeyNameInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &length);
    if (status == 0) break;
    if (length <= buffer.size()) return {};
    buffer.resize(length);
  }
  ULONG bytes = 0;
  std::memcpy(&bytes, buffer.data(), sizeof(bytes));
  if (bytes > buffer.size() - sizeof(ULONG)) return {};
  return std::wstring(reinterpret_cast<const wchar_t*>(buffer.data() + sizeof(ULONG)),
                      bytes / sizeof(wchar_t));
}

bool ResolvesElsewhere(HKEY parent, const std::wstring& name, REGSAM view) {
  UniqueHKey own, followed;
  const LSTATUS ownStatus = OpenOwnKey(parent, name, view, own.put());
  if (ownStatus == ERROR_FILE_NOT_FOUND || ownStatus == ERROR_PATH_NOT_FOUND) return false;
  if (ownStatus != ERROR_SUCCESS ||
      ::RegOpenKeyExW(parent, name.c_str(), 0, view, followed.put()) != ERROR_SUCCESS)
    return true;
  const std::wstring ownName = NativeName(own.get()), followedName = NativeName(followed.get());
  return ownName.empty() ||
         ::CompareStringOrdinal(ownName.c_str(), static_cast<int>(ownName.size()), followedName.c_str(),
                                static_cast<int>(followedName.size()), TRUE) != CSTR_EQUAL;
}

LSTATUS DeleteOpenKey(HKEY key) {
  // Only the native call deletes through a handle; RegDeleteKeyW opens the name again and so
  // follows a link. ntdll is in every process, so it is looked up, never imported.
  using NtDeleteKeyCall = LONG(NTAPI*)(HANDLE);
  using ToDosErrorCall = ULONG(NTAPI*)(LONG);
  static const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  static const auto deleteKey = QvProc::Get<NtDeleteKeyCall>(ntdll, "NtDeleteKey");
  static const auto toDosError = QvProc::Get<ToDosErrorCall>(ntdll, "RtlNtStatusToDosError");
  if (deleteKey == nullptr || toDosError == nullptr) return ERROR_PROC_NOT_FOUND;
  const LONG status = deleteKey(key);
  return status == 0 ? ERROR_SUCCESS : static_cast<LSTATUS>(toDosError(status));
}

}  // namespace RegLink
