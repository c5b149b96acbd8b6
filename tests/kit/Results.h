// The kit's results: one entry per unit suite and scenario, written as one JUnit XML file and as a
// plain summary table.
#pragma once

#include <string>
#include <vector>

#include "tests/kit/Scenario.h"

namespace QvKit {

struct Entry {
  std::wstring suite;  // "units" or "scenarios"
  std::wstring name;
  Outcome outcome = Outcome::Fail;
  std::wstring reason;  // why it failed or was skipped; a short account of a pass
  double seconds = 0;
  std::vector<std::wstring> notes;  // the entry's detail, in <system-out>
};

// The JUnit XML document (UTF-8): <testsuites> with a "units" and a "scenarios" <testsuite>, both
// present even when empty. Text that XML cannot carry (control characters) becomes U+FFFD.
std::string JUnitXml(const std::vector<Entry>& entries);

// One row per entry (kind, name, PASS/FAIL/SKIPPED, time, reason) under a heading, and a last line
// with the totals.
std::wstring SummaryTable(const std::vector<Entry>& entries);

// kExitAllPassed unless an entry failed.
int ExitCodeOf(const std::vector<Entry>& entries);

const wchar_t* OutcomeText(Outcome outcome);

}  // namespace QvKit
