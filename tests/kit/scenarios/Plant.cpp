// The locations, canaries and checks the kit's scenarios share.
#include "tests/kit/scenarios/Plant.h"

#include <windows.h>
#include <sddl.h>
#include <shlobj.h>

#include <cwctype>
#include <fstream>
#include <iterator>

#include "base/UniqueHandle.h"

namespace QvKit {

namespace {

std::wstring ProgramData() {
  PWSTR path = nullptr;
  std::wstring result;
  if (SUCCEEDED(::SHGetKnownFolderPath(FOLDERID_ProgramData, 0, nullptr, &path))) result = path;
  ::CoTaskMemFree(path);
  return result;
}

struct CanaryFile {
  const wchar_t* name;
  const char* content;
};
constexpr CanaryFile kCanaryFiles[] = {{L"canary.txt", "canary: must survive\r\n"},
                                       {L"inner\\deep.txt", "deeper canary: must survive\r\n"}};

struct CanaryValue {
  const wchar_t* name;
  const wchar_t* text;
};
constexpr CanaryValue kCanaryValues[] = {{L"Canary", L"must survive"}, {L"Second", L"also stays"}};

}  // namespace

std::wstring Lowered(std::wstring text) {
  for (wchar_t& c : text) c = static_cast<wchar_t>(std::towlower(c));
  return text;
}

std::wstring FamilyFolder() { return ProgramData() + L"\\Quorvel\\KitProbe"; }
std::wstring CanaryFolder() { return ProgramData() + L"\\QvKitCanary"; }

Result Pass() { return {Outcome::Pass, {}}; }
Result Fail(std::wstring detail) { return {Outcome::Fail, std::move(detail)}; }

std::wstring ApiError(const std::wstring& api, DWORD error) {
  return api + L" failed: " + std::to_wstring(error);
}

bool MakeFolders(const std::wstring& path) {
  if (Exists(path)) return true;
  const size_t slash = path.find_last_of(L'\\');
  if (slash != std::wstring::npos && slash > 2 && !MakeFolders(path.substr(0, slash))) return false;
  return ::CreateDirectoryW(path.c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS;
}

bool WriteTextFile(const std::wstring& path, const std::string& text) {
  UniqueFileHandle file(
      ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD written = 0;
  return file && ::WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
         written == text.size();
}

std::optional<std::string> ReadTextFile(const std::wstring& path) {
  std::ifstream in(path.c_str(), std::ios::binary);
  if (!in) return std::nullopt;
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool Exists(const std::wstring& path) {
  return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void RemoveTree(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return;
  if (attributes & FILE_ATTRIBUTE_READONLY)
    ::SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    ::DeleteFileW(path.c_str());
    return;
  }
  // A folder link goes as itself: its target is somebody else's.
  if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    WIN32_FIND_DATAW found{};
    UniqueFindHandle find(::FindFirstFileW((path + L"\\*").c_str(), &found));
    if (find) {
      do {
        const std::wstring name = found.cFileName;
        if (name != L"." && name != L"..") RemoveTree(path + L"\\" + name);
      } while (::FindNextFileW(find.get(), &found));
    }
  }
  ::RemoveDirectoryW(path.c_str());
}

bool CanaryFiles::Plant() {
  for (const CanaryFile& file : kCanaryFiles) {
    const std::wstring path = folder + L"\\" + file.name;
    if (!MakeFolders(path.substr(0, path.find_last_of(L'\\'))) || !WriteTextFile(path, file.content))
      return false;
  }
  return true;
}

std::wstring CanaryFiles::Damage() const {
  std::wstring damage;
  for (const CanaryFile& file : kCanaryFiles) {
    const std::wstring path = folder + L"\\" + file.name;
    const std::optional<std::string> content = ReadTextFile(path);
    if (!content)
      damage += L"canary file '" + path + L"' is gone; ";
    else if (*content != file.content)
      damage += L"canary file '" + path + L"' changed; ";
  }
  return damage;
}

void CanaryFiles::Remove() const {
  RemoveTree(folder);
  ::RemoveDirectoryW(CanaryFolder().c_str());
}

bool CanaryKey::Plant() {
  UniqueHKey key;
  if (::RegCreateKeyExW(root, branch.c_str(), 0, nullptr, 0, KEY_SET_VALUE | view, nullptr, key.put(),
                        nullptr) != ERROR_SUCCESS)
    return false;
  for (const CanaryValue& value : kCanaryValues) {
    const DWORD bytes = static_cast<DWORD>((std::wcslen(value.text) + 1) * sizeof(wchar_t));
    if (::RegSetValueExW(key.get(), value.name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.text),
                         bytes) != ERROR_SUCCESS)
      return false;
  }
  return true;
}

std::wstring CanaryKey::Damage() const {
  UniqueHKey key;
  if (::RegOpenKeyExW(root, branch.c_str(), 0, KEY_QUERY_VALUE | view, key.put()) != ERROR_SUCCESS)
    return L"canary key '" + branch + L"' is gone; ";
  std::wstring damage;
  for (const CanaryValue& value : kCanaryValues) {
    wchar_t text[64] = {};
    DWORD bytes = sizeof(text);
    if (::RegGetValueW(key.get(), nullptr, value.name, RRF_RT_REG_SZ, nullptr, text, &bytes) != ERROR_SUCCESS)
      damage += L"canary value '" + branch + L":" + value.name + L"' is gone; ";
    else if (std::wstring(text) != value.text)
      damage += L"canary value '" + branch + L":" + value.name + L"' changed; ";
  }
  return damage;
}

void CanaryKey::Remove() const { RemoveBranch(root, branch, view); }

void RemoveBranch(HKEY root, const std::wstring& branch, REGSAM view) {
  UniqueHKey key;
  // Opened as itself: a link is deleted, its target never entered.
  if (::RegOpenKeyExW(root, branch.c_str(), REG_OPTION_OPEN_LINK, KEY_READ | DELETE | view, key.put()) !=
      ERROR_SUCCESS)
    return;
  DWORD type = 0;
  const bool isLink = ::RegQueryValueExW(key.get(), L"SymbolicLinkValue", nullptr, &type, nullptr, nullptr) ==
                          ERROR_SUCCESS &&
                      type == REG_LINK;
  if (!isLink) {
    std::vector<std::wstring> children;
    wchar_t name[256];
    for (DWORD i = 0;; ++i) {
      DWORD length = 256;
      if (::RegEnumKeyExW(key.get(), i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        break;
      children.emplace_back(name, length);
    }
    for (const std::wstring& child : children) RemoveBranch(root, branch + L"\\" + child, view);
  }
  // Deleting through the handle of the link itself: NtDeleteKey does not follow it.
  using DeleteKeyCall = LONG(NTAPI*)(HANDLE);
  static const auto deleteKey = reinterpret_cast<DeleteKeyCall>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtDeleteKey")));
  if (deleteKey != nullptr) deleteKey(key.get());
}

bool BranchExists(HKEY root, const std::wstring& branch, REGSAM view) {
  UniqueHKey key;
  return ::RegOpenKeyExW(root, branch.c_str(), REG_OPTION_OPEN_LINK, KEY_QUERY_VALUE | view, key.put()) ==
         ERROR_SUCCESS;
}

LSTATUS MakeRegistryLink(HKEY root, const std::wstring& link, REGSAM view, const std::wstring& target) {
  UniqueHKey key;
  DWORD disposition = 0;
  LSTATUS status = ::RegCreateKeyExW(root, link.c_str(), 0, nullptr, REG_OPTION_CREATE_LINK,
                                     KEY_WRITE | KEY_CREATE_LINK | view, nullptr, key.put(), &disposition);
  if (status != ERROR_SUCCESS) return status;
  if (disposition != REG_CREATED_NEW_KEY) return ERROR_ALREADY_EXISTS;
  // The target is stored without a terminating NUL.
  status = ::RegSetValueExW(key.get(), L"SymbolicLinkValue", 0, REG_LINK,
                            reinterpret_cast<const BYTE*>(target.data()),
                            static_cast<DWORD>(target.size() * sizeof(wchar_t)));
  if (status != ERROR_SUCCESS) {
    key.reset();
    RemoveBranch(root, link, view);
  }
  return status;
}

std::wstring UserHiveNtPath() {
  UniqueHandle token;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.put())) return {};
  std::vector<BYTE> buffer(512);
  DWORD size = 0;
  if (!::GetTokenInformation(token.get(), TokenUser, buffer.data(), static_cast<DWORD>(buffer.size()), &size))
    return {};
  wchar_t* text = nullptr;
  if (!::ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text)) return {};
  UniqueLocalMem owner(text);
  return std::wstring(L"\\Registry\\User\\") + text;
}

std::vector<std::wstring> AddedRestartEntries(const std::optional<std::wstring>& before,
                                              const std::optional<std::wstring>& now) {
  auto split = [](const std::optional<std::wstring>& units) {
    std::vector<std::wstring> entries;
    if (!units) return entries;
    size_t start = 0;
    while (start < units->size()) {
      size_t end = units->find(L'\0', start);
      if (end == std::wstring::npos) end = units->size();
      if (end > start) entries.push_back(units->substr(start, end - start));
      start = end + 1;
    }
    return entries;
  };
  std::vector<std::wstring> old = split(before);
  std::vector<std::wstring> added;
  for (const std::wstring& entry : split(now)) {
    bool seen = false;
    for (auto it = old.begin(); it != old.end(); ++it) {
      if (*it == entry) {
        old.erase(it);  // each old entry accounts for one new one
        seen = true;
        break;
      }
    }
    if (!seen) added.push_back(entry);
  }
  return added;
}

bool Schedules(const std::vector<std::wstring>& entries, const std::wstring& path) {
  const std::wstring wanted = Lowered(L"\\??\\" + path);
  for (const std::wstring& entry : entries)
    if (Lowered(entry) == wanted) return true;
  return false;
}

bool LogHas(const ToolRun& run, const std::wstring& text) {
  return Lowered(run.log).find(Lowered(text)) != std::wstring::npos;
}

std::wstring ExitProblem(const ToolRun& run, DWORD expected) {
  if (!run.started) return L"the tool did not run: " + run.detail;
  if (run.exitCode != expected)
    return L"the tool ended with " + std::to_wstring(run.exitCode) + L", expected " +
           std::to_wstring(expected);
  return {};
}

}  // namespace QvKit
