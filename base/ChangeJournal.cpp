// The change journal: one list under one mutex.
#include "base/ChangeJournal.h"

#include <cwctype>

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
}

void ChangeJournal::RecordOutcome(const std::wstring& op, const std::wstring& target, bool succeeded,
                                  DWORD error) {
  Record(op, target, succeeded ? ChangeResult::Done : ChangeResult::Failed, error);
}

size_t ChangeJournal::Count(ChangeResult result) const {
  std::lock_guard lock(mutex_);
  size_t count = 0;
  for (const Change& change : changes_) count += change.result == result ? 1 : 0;
  return count;
}

bool ChangeJournal::PlannedGone(const std::wstring& path) const {
  const auto lowered = [](std::wstring text) {
    for (wchar_t& c : text) c = static_cast<wchar_t>(std::towlower(c));
    return text;
  };
  const std::wstring wanted = lowered(path);
  std::lock_guard lock(mutex_);
  for (const Change& change : changes_) {
    const bool takesPath = change.op.rfind(L"file.", 0) == 0 || change.op.rfind(L"folder.", 0) == 0;
    if (change.result != ChangeResult::Planned || !takesPath) continue;
    const std::wstring target = lowered(change.target);
    if (wanted == target || (wanted.size() > target.size() && wanted.compare(0, target.size(), target) == 0 &&
                             wanted[target.size()] == L'\\'))
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
