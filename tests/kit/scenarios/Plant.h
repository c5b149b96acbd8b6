// What the kit's scenarios share: the family's and the canaries' locations, canary folders and keys
// with known contents, the restart schedule, and the checks every scenario makes after a run.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "tests/kit/Scenario.h"

namespace QvKit {

// Where the kit's script set removes things: the family's folder below the brand data folder, its
// registry branch (the same path in HKCU and in both views of HKLM) and its service.
std::wstring FamilyFolder();
constexpr wchar_t kFamilyBranch[] = L"Software\\Quorvel\\KitProbe";
constexpr wchar_t kFamilyService[] = L"QvKitProbe";
// Outside the family: what must survive.
std::wstring CanaryFolder();
constexpr wchar_t kCanaryBranch[] = L"Software\\QvKitCanary";

Result Pass();
Result Fail(std::wstring detail);
// "<api> failed: <error>" with GetLastError() or the given code.
std::wstring ApiError(const std::wstring& api, DWORD error = ::GetLastError());

std::wstring Lowered(std::wstring text);

// Creates every missing folder of `path`; false with the last error set on failure.
bool MakeFolders(const std::wstring& path);
// Writes `text` into a new file (replacing one that exists).
bool WriteTextFile(const std::wstring& path, const std::string& text);
// The file's bytes, or nothing when it cannot be read.
std::optional<std::string> ReadTextFile(const std::wstring& path);
// Removes a file or a folder tree without following links (a link is removed as itself), read-only
// files included. Used to clean up; failures are ignored.
void RemoveTree(const std::wstring& path);
bool Exists(const std::wstring& path);

// A canary folder with two files (one in a sub-folder) of known content.
struct CanaryFiles {
  std::wstring folder;
  bool Plant();
  // Empty when every file is there with its content, otherwise what is missing or changed.
  std::wstring Damage() const;
  // Removes the folder, and the canaries' root folder once no scenario's canary is left in it.
  void Remove() const;
};

// A canary key with two values of known content below `root`.
struct CanaryKey {
  HKEY root;
  std::wstring branch;
  REGSAM view = 0;
  bool Plant();
  std::wstring Damage() const;
  void Remove() const;
};

// Deletes a registry branch, entering no registry link (a link below it is deleted as itself).
void RemoveBranch(HKEY root, const std::wstring& branch, REGSAM view);
bool BranchExists(HKEY root, const std::wstring& branch, REGSAM view);
// Creates a registry link at `link` (which must not exist) to `target`, an NT registry path such
// as \Registry\Machine\SOFTWARE\X. Returns the registry's error code.
LSTATUS MakeRegistryLink(HKEY root, const std::wstring& link, REGSAM view, const std::wstring& target);
// The NT path of the current user's hive, \Registry\User\<SID>, or empty.
std::wstring UserHiveNtPath();

// The entries of the restart schedule (sources and targets alike, NT prefix kept) that `now` has
// and `before` had not.
std::vector<std::wstring> AddedRestartEntries(const std::optional<std::wstring>& before,
                                              const std::optional<std::wstring>& now);
// Whether `entries` schedules `path` (an entry "\??\<path>", compared without case).
bool Schedules(const std::vector<std::wstring>& entries, const std::wstring& path);

// Whether the run's log holds `text` (without case: paths are logged as the scripts spell them).
bool LogHas(const ToolRun& run, const std::wstring& text);
// Empty when the run started and ended with `expected`, otherwise why not.
std::wstring ExitProblem(const ToolRun& run, DWORD expected);

}  // namespace QvKit
