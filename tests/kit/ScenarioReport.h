// What a scenario's own process hands back to the runner: a file of lines it appends to as it
// goes ("N <note>" per note, one "R <PASS|FAIL|SKIPPED> <detail>" at the end), so the notes written
// before a crash survive it.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "tests/kit/Scenario.h"

namespace QvKit {

// One line each (UTF-8); line breaks inside the text become " / ".
std::string NoteLine(const std::wstring& note);
std::string ResultLine(const Result& result);

struct ScenarioReport {
  std::vector<std::wstring> notes;
  std::optional<Result> result;  // missing when the process ended before reporting one
};
ScenarioReport ParseScenarioReport(const std::string& text);

// How the scenario's process ended.
struct ProcessEnd {
  bool started = true;
  bool finished = true;  // false: still running at the time limit, ended by the runner
  DWORD exitCode = 0;
  DWORD timeoutMs = 0;
};

// The scenario's outcome: its reported result when its process ended normally, a failure saying
// how it ended otherwise (an exception code such as 0xC0000005 in hex, the time limit).
Result JudgeScenario(const ProcessEnd& end, const ScenarioReport& report);

}  // namespace QvKit
