// The change journal: one list under one mutex.
#include "base/ChangeJournal.h"

#include <cwctype>
#include <utility>

const char* ChangeResultName(ChangeResult result) {
  switch (result) {
    case ChangeResult::Done:
      return "done";
    case ChangeResult::Absent:
      return "absent";
    case ChangeResult::Scheduled:
      return "scheduled";
    case ChangeResult::Failed:
      return "failed";
    case ChangeResult::Planned:
      return "planned";
  }
  return "failed";
}

namespace {

// One spelling per place: letters lowered, a registry target's view as a prefix (the 64-bit view is
// the plain one), HKCR as the machine's classes.
std::wstring PlaceKey(const std::wstring& target) {
  std::wstring text;
  for (wchar_t c : target) text.push_back(static_cast<wchar_t>(std::towlower(c)));
  std::wstring prefix;
  for (const auto& [suffix, mark] : {std::pair<std::wstring, std::wstring>{L" (32-bit)", L"32:"},
                                     std::pair<std::wstring, std::wstring>{L" (64-bit)", L""}})
    if (text.size() > suffix.size() &&
        text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0) {
      text.resize(text.size() - suffix.size());
      prefix = mark;
      break;
    }
  if (text.rfind(L"hkcr\\", 0) == 0) text = L"hklm\\software\\classes\\" + text.substr(5);
  return prefix + text;
}

bool TakesPlaces(const Change& change) {
  return change.result == ChangeResult::Planned &&
         (change.op.rfind(L"file.delete", 0) == 0 || change.op.rfind(L"folder.delete", 0) == 0 ||
          change.op.rfind(L"registry.delete", 0) == 0);
}

}  // namespace

ChangeJournal& ChangeJournal::Instance() {
  static ChangeJournal journal;
  return journal;
}

void ChangeJournal::SetPlanning(bool planning) {
  std::lock_guard lock(mutex_);
  planning_ = planning;
}

bool ChangeJournal::Planning() const {
  std::lock_guard lock(mutex_);
  return planning_;
}

void ChangeJournal::SetProduct(const std::wstring& productId) {
  std::lock_guard lock(mutex_);
  product_ = productId;
}

void ChangeJournal::Record(const std::wstring& op, const std::wstring& target, ChangeResult result,
                           DWORD error, const std::wstring& detail) {
  std::lock_guard lock(mutex_);
  changes_.push_back(
      {product_, op, target, result, result == ChangeResult::Failed ? error : ERROR_SUCCESS, detail});
  ++counts_[static_cast<size_t>(changes_.back().result)];
  if (TakesPlaces(changes_.back())) plannedPlaces_.push_back(PlaceKey(target));
}

void ChangeJournal::RecordOutcome(const std::wstring& op, const std::wstring& target, bool succeeded,
                                  DWORD error) {
  Record(op, target, succeeded ? ChangeResult::Done : ChangeResult::Failed, error);
}

size_t ChangeJournal::Count(ChangeResult result) const {
  std::lock_guard lock(mutex_);
  return counts_[static_cast<size_t>(result)];
}

bool ChangeJournal::PlannedGone(const std::wstring& target) const {
  const std::wstring wanted = PlaceKey(target);
  std::lock_guard lock(mutex_);
  for (const std::wstring& place : plannedPlaces_) {
    if (wanted == place || (wanted.size() > place.size() && wanted.compare(0, place.size(), place) == 0 &&
                            wanted[place.size()] == L'\\'))
      return true;
  }
  return false;
}

std::vector<Change> ChangeJournal::Changes() const {
  std::lock_guard lock(mutex_);
  return changes_;
}

std::vector<Change> ChangeJournal::ChangesOf(const std::wstring& productId) const {
  std::lock_guard lock(mutex_);
  std::vector<Change> found;
  for (const Change& change : changes_)
    if (change.product == productId) found.push_back(change);
  return found;
}

void ChangeJournal::Clear() {
  std::lock_guard lock(mutex_);
  planning_ = false;
  product_.clear();
  changes_.clear();
  plannedPlaces_.clear();
  for (size_t& count : counts_) count = 0;
}

std::wstring RegistryTarget(HKEY root, const std::wstring& branch, REGSAM view, const std::wstring* value) {
  std::wstring target;
  if (root == HKEY_LOCAL_MACHINE)
    target = L"HKLM";
  else if (root == HKEY_CURRENT_USER)
    target = L"HKCU";
  else if (root == HKEY_USERS)
    target = L"HKU";
  else if (root == HKEY_CLASSES_ROOT)
    target = L"HKCR";
  else
    target = L"HKEY";
  if (!branch.empty()) target += L"\\" + branch;
  if (value != nullptr) target += L"\\" + (value->empty() ? std::wstring(L"(default)") : *value);
  if (view & KEY_WOW64_32KEY)
    target += L" (32-bit)";
  else if (view & KEY_WOW64_64KEY)
    target += L" (64-bit)";
  return target;
}
