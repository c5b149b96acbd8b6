// The run's one journal of changes: every native call that changes the machine reports here what it
// did (operation, target, result), under the product whose clean-up is running. The plan, the report
// and the exit summary read it; nothing else keeps its own list. In plan mode the calls change
// nothing and record what they would have done as "planned".
#pragma once

#include <windows.h>

#include <mutex>
#include <string>
#include <vector>

enum class ChangeResult { Done, Absent, Scheduled, Failed, Planned };

// "done", "absent", "scheduled", "failed", "planned".
const char* ChangeResultName(ChangeResult result);

struct Change {
  std::wstring product;  // the product being removed; empty outside every product
  std::wstring op;       // e.g. "registry.deleteBranch", "file.delete", "service.stop"
  std::wstring target;   // e.g. "HKLM\SOFTWARE\Quorvel (64-bit)", a path, "1234 omnivo.exe"
  ChangeResult result = ChangeResult::Done;
  DWORD error = ERROR_SUCCESS;  // the Win32 code of a failed change
  std::wstring detail;          // what a planned folder or branch holds ("3 files, 1200 bytes")
};

class ChangeJournal {
 public:
  static ChangeJournal& Instance();

  // Plan mode: the change sites record "planned" and leave the machine as it is.
  void SetPlanning(bool planning);
  bool Planning() const;

  // The product whose clean-up runs from now on (empty: none).
  void SetProduct(const std::wstring& productId);
  void Record(const std::wstring& op, const std::wstring& target, ChangeResult result,
              DWORD error = ERROR_SUCCESS, const std::wstring& detail = {});
  // Done or failed by a Win32-style success flag and code.
  void RecordOutcome(const std::wstring& op, const std::wstring& target, bool succeeded, DWORD error);

  // How many changes so far have this result.
  size_t Count(ChangeResult result) const;
  // In plan mode: whether a planned deletion takes this place (a path, or a registry target as
  // RegistryTarget writes it): the place itself or a folder or branch above it; letters compared
  // without case, the 64-bit view as the plain one, HKCR as HKLM\SOFTWARE\Classes.
  bool PlannedGone(const std::wstring& target) const;

  std::vector<Change> Changes() const;
  std::vector<Change> ChangesOf(const std::wstring& productId) const;
  // Forgets every change and leaves plan mode (tests).
  void Clear();

 private:
  ChangeJournal() = default;
  mutable std::mutex mutex_;
  bool planning_ = false;
  std::wstring product_;
  std::vector<Change> changes_;
  size_t counts_[5] = {};  // per ChangeResult: removals ask for the scheduled count before and after
  // The places the planned deletions take, in PlannedGone's spelling: asked for every entry of every
  // folder and branch the plan looks into, so spelled once, as each is recorded.
  std::vector<std::wstring> plannedPlaces_;
};

// The registry target form of the journal: "HKLM\<branch>" with " (32-bit)" or " (64-bit)" for an
// explicit view, and "\\<value>" ("\\(default)" for the default value) for a value.
std::wstring RegistryTarget(HKEY root, const std::wstring& branch, REGSAM view,
                            const std::wstring* value = nullptr);
