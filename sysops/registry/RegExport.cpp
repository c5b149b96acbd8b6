// The registry file writer: keys named by their place in the registry's namespace, values as
// strings, dwords or hex data, the walk handle by handle as the branch deletion takes it.
#include "sysops/registry/RegExport.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <vector>

#include "base/UniqueHandle.h"
#include "base/Win32Registry.h"

namespace {

constexpr wchar_t kLineEnd[] = L"\r\n";
// Hex data goes on in continuation lines once a line reaches this length, as regedit writes it.
constexpr std::size_t kHexLineLength = 76;

// The registry namespace's roots as a registry file names them.
std::wstring FileKeyName(const std::wstring& native) {
  static constexpr struct {
    const wchar_t* native;
    const wchar_t* file;
  } kRoots[] = {{L"\\REGISTRY\\MACHINE", L"HKEY_LOCAL_MACHINE"}, {L"\\REGISTRY\\USER", L"HKEY_USERS"}};
  for (const auto& root : kRoots) {
    const std::wstring prefix = root.native;
    if (native.size() >= prefix.size() &&
        ::CompareStringOrdinal(native.c_str(), static_cast<int>(prefix.size()), prefix.c_str(),
                               static_cast<int>(prefix.size()), TRUE) == CSTR_EQUAL &&
        (native.size() == prefix.size() || native[prefix.size()] == L'\\'))
      return root.file + native.substr(prefix.size());
  }
  return {};
}

bool HasLineBreak(const std::wstring& text) { return text.find_first_of(L"\r\n") != std::wstring::npos; }

std::wstring Quoted(const std::wstring& text) {
  std::wstring quoted = L"\"";
  for (wchar_t c : text) {
    if (c == L'\\' || c == L'"') quoted += L'\\';
    quoted += c;
  }
  return quoted + L"\"";
}

// REG_SZ data a quoted string carries exactly: whole UTF-16 units, one terminator at the end, no
// other NUL and no control character (a line break would end the line).
bool IsPlainString(const BYTE* data, DWORD size) {
  if (size < sizeof(wchar_t) || size % sizeof(wchar_t) != 0) return false;
  const auto* text = reinterpret_cast<const wchar_t*>(data);
  const std::size_t length = size / sizeof(wchar_t) - 1;
  if (text[length] != L'\0') return false;
  for (std::size_t i = 0; i < length; ++i)
    if (text[i] < 0x20) return false;
  return true;
}

void AppendHex(const std::wstring& prefix, const BYTE* data, DWORD size, std::wstring& line) {
  line = prefix;
  line.reserve(prefix.size() + static_cast<std::size_t>(size) * 3 + size / 24 * 5);
  std::size_t lineStart = 0;
  for (DWORD i = 0; i < size; ++i) {
    static constexpr wchar_t kDigits[] = L"0123456789abcdef";
    line += kDigits[data[i] >> 4];
    line += kDigits[data[i] & 0xF];
    if (i + 1 == size) break;
    line += L',';
    if (line.size() - lineStart >= kHexLineLength) {
      line += L"\\";
      line += kLineEnd;
      lineStart = line.size();
      line += L"  ";
    }
  }
}

struct OpenedKey {
  UniqueHKey key;
  LSTATUS status = ERROR_SUCCESS;
};

// With `forDeletion`, also with delete access where the key grants it.
OpenedKey OpenForExport(HKEY parent, const std::wstring& name, REGSAM view, bool forDeletion = false) {
  OpenedKey opened;
  opened.status =
      RegLink::OpenOwnKey(parent, name, KEY_READ | (forDeletion ? DELETE : 0) | view, opened.key.put());
  if (forDeletion && opened.status == ERROR_ACCESS_DENIED)
    opened.status = RegLink::OpenOwnKey(parent, name, KEY_READ | view, opened.key.put());
  return opened;
}

bool IsLinkValue(const wchar_t* name, DWORD length, DWORD type) {
  constexpr std::wstring_view kLinkValue = L"SymbolicLinkValue";
  return type == REG_LINK && std::wstring_view(name, length) == kLinkValue;
}

// The key's lines, then its sub-keys', depth first; `limit` bounds the whole of `text`. Missing,
// with nothing added, for a registry link (its link value shows among its values). The counts of
// one query bound both listings: each call is a round trip, and the key goes right after.
// With `held`, `key` stays there, with its sub-keys below it.
RegExport::Result AppendKey(UniqueHKey key, const std::wstring& path, REGSAM view, bool askNames,
                            std::wstring& text, std::size_t limit, RegExport::HeldKey* held) {
  using RegExport::Result;
  if (HasLineBreak(path)) return Result::Failed;
  const std::size_t start = text.size();
  text += L"[" + path + L"]" + kLineEnd;
  DWORD subkeys = 0, longestSubkey = 0, values = 0, longestName = 0, longestData = 0;
  if (::RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &subkeys, &longestSubkey, nullptr, &values,
                         &longestName, &longestData, nullptr, nullptr) != ERROR_SUCCESS)
    return Result::Failed;
  std::vector<wchar_t> name(longestName + 1);
  std::vector<BYTE> data(longestData + sizeof(wchar_t));
  for (DWORD index = 0; index < values; ++index) {
    DWORD nameLength = static_cast<DWORD>(name.size());
    DWORD size = static_cast<DWORD>(data.size());
    DWORD type = REG_NONE;
    LSTATUS status =
        ::RegEnumValueW(key.get(), index, name.data(), &nameLength, nullptr, &type, data.data(), &size);
    if (status == ERROR_MORE_DATA) {  // a value grew after the count: read it again, larger
      name.resize(name.size() * 2 + 256);
      data.resize(std::max<std::size_t>(data.size() * 2, size + sizeof(wchar_t)));
      --index;
      continue;
    }
    if (status == ERROR_NO_MORE_ITEMS) break;
    if (status != ERROR_SUCCESS) return Result::Failed;
    if (IsLinkValue(name.data(), nameLength, type)) {
      text.resize(start);
      if (held != nullptr) {
        held->key = std::move(key);
        held->link = true;
      }
      return Result::Missing;
    }
    std::wstring line;
    if (!RegExport::ValueLine(std::wstring(name.data(), nameLength), type, data.data(), size, line))
      return Result::Failed;
    text += line + kLineEnd;
    if (text.size() > limit) return Result::TooLarge;
  }
  text += kLineEnd;
  if (text.size() > limit) return Result::TooLarge;

  std::vector<std::wstring> names;
  std::vector<wchar_t> subkey(std::max<DWORD>(longestSubkey + 1, 256));
  for (DWORD index = 0; index < subkeys; ++index) {
    DWORD length = static_cast<DWORD>(subkey.size());
    const LSTATUS status =
        ::RegEnumKeyExW(key.get(), index, subkey.data(), &length, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_MORE_DATA) {
      subkey.resize(subkey.size() * 2);
      --index;
      continue;
    }
    if (status == ERROR_NO_MORE_ITEMS) break;
    if (status != ERROR_SUCCESS) return Result::Failed;
    names.emplace_back(subkey.data(), length);
  }
  for (const std::wstring& sub : names) {
    OpenedKey child = OpenForExport(key.get(), sub, view, held != nullptr);
    if (child.status == ERROR_FILE_NOT_FOUND) continue;  // gone since the listing
    if (child.status != ERROR_SUCCESS) return Result::Failed;
    const std::wstring childPath =
        askNames ? FileKeyName(RegLink::NativeName(child.key.get())) : path + L"\\" + sub;
    if (childPath.empty()) return Result::Failed;
    RegExport::HeldKey* childHeld = nullptr;
    if (held != nullptr) {
      held->children.emplace_back();
      childHeld = &held->children.back();
      childHeld->name = sub;
    }
    const Result result = AppendKey(std::move(child.key), childPath, view, askNames, text, limit, childHeld);
    if (result != Result::Written && result != Result::Missing) return result;
  }
  if (held != nullptr) held->key = std::move(key);
  return Result::Written;
}

}  // namespace

namespace RegExport {

std::wstring Header() { return std::wstring(L"Windows Registry Editor Version 5.00") + kLineEnd + kLineEnd; }

bool ValueLine(const std::wstring& name, DWORD type, const BYTE* data, DWORD size, std::wstring& line) {
  if (HasLineBreak(name)) return false;
  const std::wstring prefix = (name.empty() ? std::wstring(L"@") : Quoted(name)) + L"=";
  if (type == REG_SZ && IsPlainString(data, size)) {
    line = prefix + Quoted(std::wstring(reinterpret_cast<const wchar_t*>(data), size / sizeof(wchar_t) - 1));
  } else if (type == REG_DWORD && size == sizeof(DWORD)) {
    DWORD value = 0;
    std::memcpy(&value, data, sizeof(value));
    wchar_t digits[16];
    std::swprintf(digits, 16, L"%08lx", static_cast<unsigned long>(value));
    line = prefix + L"dword:" + digits;
  } else if (type == REG_BINARY) {
    AppendHex(prefix + L"hex:", data, size, line);
  } else {
    wchar_t tag[24];
    std::swprintf(tag, 24, L"hex(%lx):", static_cast<unsigned long>(type));
    AppendHex(prefix + tag, data, size, line);
  }
  return true;
}

Result AppendBranch(HKEY root, HKEY parent, const std::wstring& name, REGSAM view, std::wstring& text,
                    std::size_t limitChars, HeldKey* held) {
  OpenedKey branch = OpenForExport(parent, name, view, held != nullptr);
  if (branch.status == ERROR_FILE_NOT_FOUND || branch.status == ERROR_PATH_NOT_FOUND) return Result::Missing;
  if (branch.status != ERROR_SUCCESS) return Result::Failed;
  if (RegLink::IsLink(branch.key.get())) return Result::Missing;  // a link goes as a link: nothing to keep
  const std::wstring path = FileKeyName(RegLink::NativeName(branch.key.get()));
  if (path.empty()) return Result::Failed;
  const std::size_t before = text.size();
  // In the process's own view of one hive nothing is redirected: a key opened as itself is its
  // parent's name and its own. The 32-bit view and the merged classes may put a name elsewhere, so
  // there the registry is asked where each key is.
  const bool askNames = (view & KEY_WOW64_32KEY) || root == HKEY_CLASSES_ROOT;
  HeldKey tree;
  tree.name = name;
  const Result result = AppendKey(std::move(branch.key), path, view, askNames, text, before + limitChars,
                                  held != nullptr ? &tree : nullptr);
  if (result != Result::Written) {
    text.resize(before);
    return result;
  }
  if (held != nullptr) *held = std::move(tree);
  return result;
}

Result AppendValue(HKEY parent, const std::wstring& name, REGSAM view, const std::wstring& value,
                   std::wstring& text) {
  OpenedKey key = OpenForExport(parent, name, view);
  if (key.status == ERROR_FILE_NOT_FOUND || key.status == ERROR_PATH_NOT_FOUND) return Result::Missing;
  if (key.status != ERROR_SUCCESS) return Result::Failed;
  if (RegLink::IsLink(key.key.get())) return Result::Missing;
  const std::wstring path = FileKeyName(RegLink::NativeName(key.key.get()));
  if (path.empty() || HasLineBreak(path)) return Result::Failed;
  std::vector<BYTE> data(256);
  DWORD type = REG_NONE;
  LSTATUS status;
  for (;;) {
    DWORD size = static_cast<DWORD>(data.size());
    status = ::RegQueryValueExW(key.key.get(), value.c_str(), nullptr, &type, data.data(), &size);
    if (status == ERROR_MORE_DATA) {
      data.resize(size + sizeof(wchar_t));
      continue;
    }
    data.resize(status == ERROR_SUCCESS ? size : 0);
    break;
  }
  if (status == ERROR_FILE_NOT_FOUND) return Result::Missing;
  std::wstring line;
  if (status != ERROR_SUCCESS || !ValueLine(value, type, data.data(), static_cast<DWORD>(data.size()), line))
    return Result::Failed;
  text += L"[" + path + L"]" + kLineEnd + line + kLineEnd + kLineEnd;
  return Result::Written;
}

std::string FileBytes(const std::wstring& text) {
  std::string bytes = "\xFF\xFE";
  bytes.append(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
  return bytes;
}

}  // namespace RegExport
