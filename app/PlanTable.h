// The plan (--plan) as a table for people: one line per planned change, product, operation and
// target in columns, on the console or the redirected output.
#pragma once

#include <string>
#include <vector>

#include "base/ChangeJournal.h"

namespace PlanTable {

// The table's lines: a heading, a rule, one line per planned change (what it holds after the
// target), and a last line counting them; "Nothing to change" alone when nothing is planned.
std::vector<std::wstring> Lines(const std::vector<Change>& changes);
void Print(const std::vector<Change>& changes);

}  // namespace PlanTable
