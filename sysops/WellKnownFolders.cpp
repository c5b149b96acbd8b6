// Special-folder resolution for the FileSystem module.
#include "sysops/WellKnownFolders.h"

#include <windows.h>

#include "base/PathText.h"
#include "base/ProcAddress.h"
#include "base/UniqueHandle.h"
#include "base/Win32Registry.h"
#include "core/DelayLoadedApis.h"

namespace {

constexpr wchar_t kShellFolders[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
constexpr wchar_t kCurrentVersion[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
constexpr wchar_t kProfileList[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";

struct FolderKind {
  std::int32_t id;
  const wchar_t* branch;
  const wchar_t* value;
  const wchar_t* fallbackValue;  // read when `value` cannot be; may be null
  int csidl;
  bool perUser;
};

constexpr FolderKind kKinds[] = {
    {WellKnownFolders::CommonAppData, kShellFolders, L"Common AppData", nullptr, 35, false},
    {WellKnownFolders::CommonDesktop, kShellFolders, L"Common Desktop", nullptr, 25, false},
    {WellKnownFolders::CommonStartMenu, kShellFolders, L"Common Start Menu", nullptr, 22, false},
    {WellKnownFolders::CommonStartMenuPrograms, kShellFolders, L"Common Programs", nullptr, 23, false},
    {WellKnownFolders::CommonStartMenuStartup, kShellFolders, L"Common Startup", nullptr, 24, false},
    {WellKnownFolders::CommonProgramFiles, kCurrentVersion, L"ProgramFilesDir", nullptr, 38, false},
    {WellKnownFolders::CommonProgramFilesX86, kCurrentVersion, L"ProgramFilesDir (x86)", L"ProgramFilesDir",
     42, false},
    {WellKnownFolders::UserAppDataLocal, kShellFolders, L"Local AppData", nullptr, 28, true},
};

// A call that fills a buffer and reports the length without NUL, or the size it needs with NUL.
template <typename Call>
std::wstring SizedCall(Call call) {
  std::wstring buffer(MAX_PATH + 1, L'\0');
  for (int attempt = 0; attempt < 2; ++attempt) {
    const UINT length = call(buffer.data(), static_cast<UINT>(buffer.size()));
    if (length == 0) return {};
    if (length < buffer.size()) {
      buffer.resize(length);
      return buffer;
    }
    buffer.assign(length, L'\0');
  }
  return {};
}

std::wstring ProfilesDirectory() {
  DWORD size = 0;
  DelayLoaded::GetProfilesDirectoryW(nullptr, &size);
  if (size == 0) return {};
  std::wstring buffer(size, L'\0');
  // Wine answers 8 for success: any non-zero result is one.
  if (!DelayLoaded::GetProfilesDirectoryW(buffer.data(), &size)) return {};
  buffer.resize(wcsnlen(buffer.c_str(), buffer.size()));
  return buffer;
}

std::wstring Expand(const std::wstring& text) {
  std::wstring buffer(text.size() + MAX_PATH, L'\0');
  for (;;) {
    const DWORD length =
        ::ExpandEnvironmentStringsW(text.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return {};
    if (length <= buffer.size()) {
      buffer.resize(length - 1);  // the count includes the NUL
      return buffer;
    }
    buffer.assign(length, L'\0');
  }
}

void ReplaceAll(std::wstring& text, const std::wstring& what, const std::wstring& with) {
  for (std::size_t at = text.find(what); at != std::wstring::npos; at = text.find(what, at + with.size()))
    text.replace(at, what.size(), with);
}

// The shell's answer, from the system directory's shell32.
std::wstring ShellFolder(int csidl) {
  const UniqueModule shell32 = QvProc::LoadSystemLibrary(L"shell32.dll");
  using GetFolderPath = HRESULT(WINAPI*)(HWND, int, HANDLE, DWORD, LPWSTR);
  const auto getFolderPath = QvProc::Get<GetFolderPath>(shell32.get(), "SHGetFolderPathW");
  if (getFolderPath == nullptr) return {};
  wchar_t path[MAX_PATH + 1]{};
  if (getFolderPath(nullptr, csidl, nullptr, 0, path) != S_OK) return {};
  return path;
}

std::wstring ResolveKind(const FolderKind& kind, const std::wstring& sid) {
  std::wstring result;
  if (kind.perUser) {
    Win32Registry registry(sid.empty() ? HKEY_CURRENT_USER : HKEY_USERS, KEY_WOW64_64KEY);
    registry.GetString(sid.empty() ? std::wstring(kShellFolders) : sid + L"\\" + kShellFolders, kind.value,
                       result);
  } else {
    Win32Registry registry(HKEY_LOCAL_MACHINE, 0);
    if (!registry.GetString(kind.branch, kind.value, result) && kind.fallbackValue != nullptr)
      registry.GetString(kind.branch, kind.fallbackValue, result);
  }
  if (!sid.empty() && kind.perUser) {
    std::wstring profile;
    Win32Registry machine(HKEY_LOCAL_MACHINE, 0);
    if (!machine.GetString(std::wstring(kProfileList) + L"\\" + sid, L"ProfileImagePath", profile)) return {};
    ReplaceAll(result, L"%USERPROFILE%", profile);
    if (result.empty()) return {};
  }
  if (!result.empty()) result = Expand(result);
  if (result.empty() && sid.empty()) result = ShellFolder(kind.csidl);
  return result;
}

}  // namespace

namespace WellKnownFolders {

std::wstring Resolve(std::int32_t id, const std::wstring& sid) {
  switch (id) {
    case Windows:
      return SizedCall([](wchar_t* buffer, UINT size) { return ::GetSystemWindowsDirectoryW(buffer, size); });
    case System32:
    case Sysnative:  // a 64-bit process sees the native system folder as its own
      return SizedCall([](wchar_t* buffer, UINT size) { return ::GetSystemDirectoryW(buffer, size); });
    case UserProfiles:
      return ProfilesDirectory();
    default:
      break;
  }
  for (const FolderKind& kind : kKinds)
    if (kind.id == id) return ResolveKind(kind, sid);
  return {};
}

}  // namespace WellKnownFolders
