// The system's restart schedule (PendingFileRenameOperations under Session Manager): where it is,
// scheduling a deletion into it, and the pure rules that read it and take entries out of it. The
// registry reads and writes stay with the callers, which log them their own way. Never logs.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace QvRestartSchedule {

inline constexpr wchar_t kSessionManagerKey[] = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";
inline constexpr wchar_t kPendingValue[] = L"PendingFileRenameOperations";

// Schedules the deletion of `systemPath` (already in the form file calls take) for the next
// restart, journalled under `display` (the path as the caller wrote it; systemPath when empty).
// False with the thread's last error when the system refuses. The caller decides whether the run's
// restart flag goes up.
bool ScheduleDeletion(const std::wstring& systemPath, const std::wstring& display = {});

// Whether an entry of the schedule's data (REG_MULTI_SZ units, sources and targets alike) starts
// with `prefix` after its first four characters (where the system keeps the "\??\" of its NT
// paths), both sides lowered with towlower. Reads past empty entries: a deletion's target is one.
// Entries not at least four characters longer than the prefix, and an empty prefix, never match.
bool HasEntryWithPrefix(std::wstring_view data, std::wstring_view prefix);

// Source and target; the target is empty for a deletion.
using Pair = std::pair<std::wstring, std::wstring>;

// The schedule as (source, target) pairs in stored order. The data is split at every NUL, empty
// strings and the piece after the last NUL included, so the terminating NULs become trailing pairs
// of empty strings that JoinPairs writes back unchanged. Nothing when it does not split into pairs.
std::optional<std::vector<Pair>> SplitPairs(std::wstring_view data);
// Every string, one NUL between neighbours and none after the last.
std::wstring JoinPairs(const std::vector<Pair>& pairs);
// Takes out the pairs whose source holds `prefix` (case-sensitive) at character 0 or right after
// an NT prefix such as "\??\", ending there at a path boundary ("C:\P" matches "C:\P" and
// "C:\P\a.dll", not "C:\Program\a.dll"). Returns the pairs taken out; an empty prefix takes none.
std::vector<Pair> RemoveByPrefix(std::vector<Pair>& pairs, const std::wstring& prefix);

}  // namespace QvRestartSchedule
