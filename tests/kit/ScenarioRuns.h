// Each scenario runs in a process of its own (qvkit.exe --run-one <name>): a scenario that throws
// is caught there, one that crashes or hangs ends only that process, and the runner records a
// failure for it either way.
#pragma once

#include <string>

#include "tests/kit/Results.h"
#include "tests/kit/Scenario.h"

namespace QvKit {

// The scenario's scratch folder: %TEMP%\qvkit-work\<name>.
std::wstring WorkFolderOf(const std::wstring& name);

// In the runner: starts `self` (qvkit.exe) for the scenario and turns what it reports into an
// entry. The work folder is removed after a pass or a skip and kept after a failure.
Entry RunScenario(const std::wstring& self, const std::wstring& outFolder, const Scenario& scenario);

// In the scenario's process: runs the scenario `name` with a fresh work folder, reporting into
// <out>\<name>.report and saving the tool's log records into <out>\<name>.log. 0 once the result
// is reported.
int RunOneScenario(const std::wstring& kitFolder, const std::wstring& outFolder, const std::wstring& name);

}  // namespace QvKit
