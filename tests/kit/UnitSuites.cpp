#include "tests/kit/UnitSuites.h"

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <cwctype>

#include "tests/kit/Options.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/ScratchDir.h"

namespace QvKit {

namespace {

constexpr wchar_t kSuffix[] = L"_tests.exe";
constexpr DWORD kSuiteTimeoutMs = 30 * 60 * 1000;

int Attribute(const std::string& element, const char* name) {
  const std::string key = std::string(" ") + name + "=\"";
  const size_t at = element.find(key);
  return at == std::string::npos ? 0 : std::atoi(element.c_str() + at + key.size());
}

}  // namespace

std::vector<std::wstring> FindUnitSuites(const std::wstring& kitFolder) {
  std::vector<std::wstring> names;
  const std::wstring suffix = kSuffix;
  for (const std::wstring& file : QvTest::ListFolder(kitFolder)) {
    if (file.size() <= suffix.size() || QvTest::DirectoryExists(kitFolder + L"\\" + file)) continue;
    std::wstring lower = file;
    std::transform(lower.begin(), lower.end(), lower.begin(), ::towlower);
    if (lower.ends_with(suffix)) names.push_back(file.substr(0, file.size() - suffix.size()));
  }
  std::sort(names.begin(), names.end());
  return names;
}

GtestCounts ReadGtestCounts(const std::string& xml) {
  GtestCounts counts;
  const size_t start = xml.find("<testsuites");
  const size_t end = start == std::string::npos ? start : xml.find('>', start);
  if (end == std::string::npos) return counts;
  const std::string element = xml.substr(start, end - start);
  counts.found = true;
  counts.tests = Attribute(element, "tests");
  counts.failures = Attribute(element, "failures") + Attribute(element, "errors");
  // The totals element has no skipped count: each skipped test carries a <skipped> element.
  counts.skipped = Attribute(element, "disabled");
  for (size_t at = xml.find("<skipped", end); at != std::string::npos; at = xml.find("<skipped", at + 1))
    ++counts.skipped;
  return counts;
}

Entry JudgeUnitSuite(const std::wstring& name, bool finished, unsigned long exitCode,
                     const std::string& xml) {
  Entry entry;
  entry.suite = L"units";
  entry.name = name;
  const GtestCounts counts = ReadGtestCounts(xml);
  const std::wstring tally = counts.found ? std::to_wstring(counts.tests) + L" tests, " +
                                                std::to_wstring(counts.failures) + L" failed, " +
                                                std::to_wstring(counts.skipped) + L" skipped"
                                          : L"no test report";
  const std::wstring see = L"; see " + name + L".txt";
  if (!finished) {
    entry.reason = L"still running after " + std::to_wstring(kSuiteTimeoutMs / 60000) + L" min; ended" + see;
  } else if (exitCode != 0) {
    entry.reason = L"exit code " + std::to_wstring(exitCode) + L", " + tally + see;
  } else if (!counts.found || counts.failures != 0) {
    // A suite that reports success without a clean report has not shown that its tests ran.
    entry.reason = L"exit code 0 but " + tally + see;
  } else {
    entry.outcome = Outcome::Pass;
    entry.reason = tally;
  }
  return entry;
}

Entry RunUnitSuite(const std::wstring& kitFolder, const std::wstring& name, const std::wstring& outFolder) {
  const std::wstring xmlPath = outFolder + L"\\" + name + L".xml";
  ::DeleteFileW(xmlPath.c_str());
  QvTest::ChildOptions options;
  options.errorsIntoOutput = true;
  const ULONGLONG started = ::GetTickCount64();
  const QvTest::ChildResult run = QvTest::RunChild(QuoteArgument(kitFolder + L"\\" + name + kSuffix) + L" " +
                                                       QuoteArgument(L"--gtest_output=xml:" + xmlPath),
                                                   kSuiteTimeoutMs, options);
  const double seconds = static_cast<double>(::GetTickCount64() - started) / 1000.0;
  QvTest::WriteWholeFile(outFolder + L"\\" + name + L".txt", run.output);
  Entry entry = run.started ? JudgeUnitSuite(name, run.finished, run.exitCode, QvTest::ReadWholeFile(xmlPath))
                            : Entry{L"units", name, Outcome::Fail, L"could not be started", 0, {}};
  entry.seconds = seconds;
  return entry;
}

}  // namespace QvKit
