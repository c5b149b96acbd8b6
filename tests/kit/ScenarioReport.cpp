#include "tests/kit/ScenarioReport.h"

#include <cstdio>

#include "base/Utf8.h"

namespace QvKit {

namespace {

std::string OneLine(const std::wstring& text) {
  std::wstring line;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == L'\r' || text[i] == L'\n') {
      if (text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n') ++i;
      line += L" / ";
    } else {
      line.push_back(text[i]);
    }
  }
  return QvText::ToUtf8(line);
}

std::wstring ExitText(DWORD code) {
  wchar_t text[32];
  if (code >= 0xC0000000)
    std::swprintf(text, 32, L"exception 0x%08lX", static_cast<unsigned long>(code));
  else
    std::swprintf(text, 32, L"exit code %lu", static_cast<unsigned long>(code));
  return text;
}

}  // namespace

std::string NoteLine(const std::wstring& note) { return "N " + OneLine(note) + "\n"; }

std::string ResultLine(const Result& result) {
  const char* outcome = result.outcome == Outcome::Pass      ? "PASS"
                        : result.outcome == Outcome::Skipped ? "SKIPPED"
                                                             : "FAIL";
  return std::string("R ") + outcome + " " + OneLine(result.detail) + "\n";
}

ScenarioReport ParseScenarioReport(const std::string& text) {
  ScenarioReport report;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    // A last line without its line feed was cut short by the process's end: not to be trusted.
    if (end == std::string::npos) break;
    const std::string line = text.substr(start, end - start);
    start = end + 1;
    if (line.starts_with("N ")) {
      report.notes.push_back(QvText::FromUtf8(line.substr(2)));
      continue;
    }
    if (!line.starts_with("R ")) continue;
    const size_t space = line.find(' ', 2);
    const std::string outcome = line.substr(2, space == std::string::npos ? std::string::npos : space - 2);
    Result result;
    if (outcome == "PASS")
      result.outcome = Outcome::Pass;
    else if (outcome == "SKIPPED")
      result.outcome = Outcome::Skipped;
    else if (outcome != "FAIL")
      continue;
    if (space != std::string::npos) result.detail = QvText::FromUtf8(line.substr(space + 1));
    report.result = result;
  }
  return report;
}

Result JudgeScenario(const ProcessEnd& end, const ScenarioReport& report) {
  if (!end.started) return {Outcome::Fail, L"the scenario's process could not be started"};
  if (!end.finished)
    return {Outcome::Fail,
            L"still running after " + std::to_wstring(end.timeoutMs / 1000) + L" s; ended by the runner"};
  if (end.exitCode != 0) {
    const std::wstring when = report.result ? L" after reporting its result" : L" before reporting a result";
    return {Outcome::Fail, L"the scenario's process ended with " + ExitText(end.exitCode) + when};
  }
  if (!report.result) return {Outcome::Fail, L"the scenario's process ended without reporting a result"};
  Result result = *report.result;
  if (result.outcome != Outcome::Pass && result.detail.empty())
    result.detail =
        result.outcome == Outcome::Skipped ? L"skipped without a reason" : L"failed without a reason";
  return result;
}

}  // namespace QvKit
