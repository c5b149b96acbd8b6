// The restart schedule: scheduling, prefix lookup and the pair rules of its data.
#include "base/RestartSchedule.h"

#include "base/ChangeJournal.h"
#include "base/LastErrorKeeper.h"

#include <algorithm>
#include <cwctype>

#include "base/RestartScheduleSeam.h"

namespace QvRestartSchedule::Seam {
MoveFileExCall moveFileEx = ::MoveFileExW;
}  // namespace QvRestartSchedule::Seam

namespace QvRestartSchedule {

namespace {
// Where a source's first match may start besides 0: right after an NT prefix such as "\??\".
constexpr std::size_t kNtPrefixLength = 4;

// The prefix names a folder or file, not the start of a name.
bool EndsAtPathBoundary(const std::wstring& source, std::size_t end, const std::wstring& prefix) {
  return end == source.size() || source[end] == L'\\' || prefix.back() == L'\\';
}
}  // namespace

bool ScheduleDeletion(const std::wstring& systemPath, const std::wstring& display) {
  const bool scheduled = Seam::moveFileEx(systemPath.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != FALSE;
  const LastErrorKeeper keep;
  ChangeJournal::Instance().Record(L"restart.delete", display.empty() ? systemPath : display,
                                   scheduled ? ChangeResult::Scheduled : ChangeResult::Failed,
                                   ::GetLastError());
  return scheduled;
}

bool HasEntryWithPrefix(std::wstring_view data, std::wstring_view prefix) {
  if (prefix.empty()) return false;
  std::size_t at = 0;
  while (at < data.size()) {
    std::size_t end = data.find(L'\0', at);
    if (end == std::wstring_view::npos) end = data.size();
    const std::wstring_view entry = data.substr(at, end - at);
    if (entry.size() >= prefix.size() + kNtPrefixLength &&
        std::equal(prefix.begin(), prefix.end(), entry.begin() + kNtPrefixLength,
                   [](wchar_t a, wchar_t b) { return std::towlower(a) == std::towlower(b); }))
      return true;
    at = end + 1;
  }
  return false;
}

std::optional<std::vector<Pair>> SplitPairs(std::wstring_view data) {
  std::vector<std::wstring> strings;
  for (std::size_t begin = 0;;) {
    const std::size_t end = data.find(L'\0', begin);
    strings.emplace_back(
        data.substr(begin, end == std::wstring_view::npos ? std::wstring_view::npos : end - begin));
    if (end == std::wstring_view::npos) break;
    begin = end + 1;
  }
  if (strings.size() % 2 != 0) return std::nullopt;
  std::vector<Pair> pairs;
  for (std::size_t i = 0; i < strings.size(); i += 2)
    pairs.emplace_back(std::move(strings[i]), std::move(strings[i + 1]));
  return pairs;
}

std::wstring JoinPairs(const std::vector<Pair>& pairs) {
  std::wstring text;
  bool first = true;
  for (const Pair& pair : pairs)
    for (const std::wstring* part : {&pair.first, &pair.second}) {
      if (!first) text.push_back(L'\0');
      first = false;
      text.append(*part);
    }
  return text;
}

std::vector<Pair> RemoveByPrefix(std::vector<Pair>& pairs, const std::wstring& prefix) {
  std::vector<Pair> removed, kept;
  if (prefix.empty()) return removed;
  for (Pair& pair : pairs) {
    const std::size_t at = pair.first.size() < prefix.size() ? std::wstring::npos : pair.first.find(prefix);
    if ((at == 0 || at == kNtPrefixLength) && EndsAtPathBoundary(pair.first, at + prefix.size(), prefix))
      removed.push_back(std::move(pair));
    else
      kept.push_back(std::move(pair));
  }
  pairs = std::move(kept);
  return removed;
}

}  // namespace QvRestartSchedule
