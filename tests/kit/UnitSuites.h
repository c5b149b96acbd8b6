// The unit suites of the kit: every <name>_tests.exe beside qvkit.exe, run with GoogleTest's XML
// report and its console output kept in the results folder.
#pragma once

#include <string>
#include <vector>

#include "tests/kit/Results.h"

namespace QvKit {

// Suite names ("base" for base_tests.exe) in the folder, sorted.
std::vector<std::wstring> FindUnitSuites(const std::wstring& kitFolder);

struct GtestCounts {
  bool found = false;  // the report's <testsuites> element was read
  int tests = 0;
  int failures = 0;
  int skipped = 0;  // skipped and disabled together
};
// The totals on the <testsuites> element of a GoogleTest XML report.
GtestCounts ReadGtestCounts(const std::string& xml);

// The result entry of a suite that ended with `exitCode` (`finished` false: ended at the time
// limit) and left the report `xml`; `name` is the suite's name.
Entry JudgeUnitSuite(const std::wstring& name, bool finished, unsigned long exitCode, const std::string& xml);

// Runs <kit>\<name>_tests.exe with --gtest_output=xml:<out>\<name>.xml, its output into
// <out>\<name>.txt.
Entry RunUnitSuite(const std::wstring& kitFolder, const std::wstring& name, const std::wstring& outFolder);

}  // namespace QvKit
