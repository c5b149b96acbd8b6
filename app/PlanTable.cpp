// Plan table layout.
#include "app/PlanTable.h"

#include <algorithm>

#include "core/ConsolePrinter.h"

namespace PlanTable {

namespace {

std::wstring Padded(const std::wstring& text, size_t width) {
  return text + std::wstring(width > text.size() ? width - text.size() : 0, L' ');
}

}  // namespace

std::vector<std::wstring> Lines(const std::vector<Change>& changes) {
  std::vector<const Change*> planned;
  for (const Change& change : changes)
    if (change.result == ChangeResult::Planned) planned.push_back(&change);
  if (planned.empty()) return {L"Nothing to change"};
  size_t productWidth = 7, opWidth = 9;  // the headings
  for (const Change* change : planned) {
    productWidth = std::max(productWidth, change->product.size());
    opWidth = std::max(opWidth, change->op.size());
  }
  std::vector<std::wstring> lines;
  lines.push_back(Padded(L"Product", productWidth) + L"  " + Padded(L"Operation", opWidth) + L"  Target");
  lines.push_back(std::wstring(productWidth, L'-') + L"  " + std::wstring(opWidth, L'-') + L"  ------");
  for (const Change* change : planned)
    lines.push_back(Padded(change->product, productWidth) + L"  " + Padded(change->op, opWidth) + L"  " +
                    change->target + (change->detail.empty() ? L"" : L" (" + change->detail + L")"));
  lines.push_back(std::to_wstring(planned.size()) + L" planned changes; nothing was changed");
  return lines;
}

void Print(const std::vector<Change>& changes) {
  for (const std::wstring& line : Lines(changes)) ConsolePrinter::Instance().Print(L"%s", line.c_str());
}

}  // namespace PlanTable
