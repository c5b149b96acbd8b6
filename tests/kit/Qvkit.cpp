// The Windows validation kit's runner: every unit suite beside it, then every scenario, with the
// results as one JUnit XML file and a summary table. It plants and removes things on the machine,
// so it starts only when told the machine is a throw-away one.
#include <windows.h>

#include <algorithm>
#include <cwchar>
#include <string>
#include <vector>

#include "base/Utf8.h"
#include "tests/kit/Console.h"
#include "tests/kit/Options.h"
#include "tests/kit/Results.h"
#include "tests/kit/ScenarioRuns.h"
#include "tests/kit/UnitSuites.h"
#include "tests/support/ScratchDir.h"

namespace {

using namespace QvKit;

std::wstring ProgramPath() {
  std::wstring path(32768, L'\0');
  path.resize(::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
  return path;
}

std::wstring FullPath(const std::wstring& path) {
  std::wstring full(32768, L'\0');
  full.resize(::GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr));
  while (full.size() > 3 && full.back() == L'\\') full.pop_back();
  return full.empty() ? path : full;
}

// Makes the folder and any missing parents; true when it is there.
bool MakeFolders(const std::wstring& path) {
  if (QvTest::DirectoryExists(path)) return true;
  const size_t slash = path.rfind(L'\\');
  if (slash != std::wstring::npos && slash > 2 && !MakeFolders(path.substr(0, slash))) return false;
  return ::CreateDirectoryW(path.c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS;
}

int BadOptions(const std::wstring& error) {
  PrintError(L"qvkit: " + error + L"\n\n" + kUsage);
  return kExitBadOptions;
}

std::wstring Joined(const std::vector<std::wstring>& names) {
  std::wstring text;
  for (const std::wstring& name : names) text += (text.empty() ? L"" : L", ") + name;
  return text;
}

void Progress(const Entry& entry) {
  wchar_t seconds[32];
  std::swprintf(seconds, 32, L"%.1f s", entry.seconds);
  PrintOut((entry.suite == L"units" ? L"unit " : L"scenario ") + entry.name + L": " +
           OutcomeText(entry.outcome) + L" (" + seconds + L")" +
           (entry.reason.empty() ? L"" : L" " + entry.reason) + L"\n");
}

bool WriteResults(const std::wstring& out, const std::vector<Entry>& entries) {
  const std::wstring summary = SummaryTable(entries);
  PrintOut(L"\n" + summary);
  const bool written = QvTest::WriteWholeFile(out + L"\\qvkit.xml", JUnitXml(entries)) &&
                       QvTest::WriteWholeFile(out + L"\\summary.txt", QvText::ToUtf8(summary));
  if (!written) PrintError(L"qvkit: cannot write the results into " + out + L"\n");
  return written;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const ParsedOptions parsed = ParseOptions(std::vector<std::wstring>(argv + 1, argv + argc));
  if (!parsed.ok) return BadOptions(parsed.error);
  const Options& options = parsed.options;
  if (options.help) {
    PrintOut(kUsage);
    return kExitAllPassed;
  }
  if (!options.throwaway) {
    PrintError(kRefusal);
    return kExitNotThrowaway;
  }
  const std::wstring self = ProgramPath();
  const std::wstring kitFolder = self.substr(0, self.rfind(L'\\'));
  const std::wstring out = FullPath(options.out.empty() ? kitFolder + L"\\results" : options.out);

  if (!options.runOne.empty()) return RunOneScenario(kitFolder, out, options.runOne);

  // Every name is checked before anything is run or written.
  const std::vector<std::wstring> allSuites = FindUnitSuites(kitFolder);
  std::vector<std::wstring> allScenarios;
  for (const Scenario& scenario : Scenarios()) allScenarios.emplace_back(scenario.name);
  const std::vector<std::wstring> suites = options.units.value_or(allSuites);
  const std::vector<std::wstring> scenarios = options.scenarios.value_or(allScenarios);
  if (const auto unknown = UnknownNames(suites, allSuites); !unknown.empty())
    return BadOptions(L"no unit suite named " + Joined(unknown) + L" (there are: " + Joined(allSuites) +
                      L")");
  if (const auto unknown = UnknownNames(scenarios, allScenarios); !unknown.empty())
    return BadOptions(L"no scenario named " + Joined(unknown) + L" (there are: " + Joined(allScenarios) +
                      L")");

  if (!MakeFolders(out)) {
    PrintError(L"qvkit: cannot make the results folder " + out + L": " + std::to_wstring(::GetLastError()) +
               L"\n");
    return kExitCannotRun;
  }
  PrintOut(L"qvkit: " + std::to_wstring(suites.size()) + L" unit suites, " +
           std::to_wstring(scenarios.size()) + L" scenarios; results in " + out + L"\n");
  std::vector<Entry> entries;
  for (const std::wstring& suite : suites) {
    entries.push_back(RunUnitSuite(kitFolder, suite, out));
    Progress(entries.back());
  }
  for (const Scenario& scenario : Scenarios()) {
    if (std::find(scenarios.begin(), scenarios.end(), scenario.name) == scenarios.end()) continue;
    entries.push_back(RunScenario(self, out, scenario));
    Progress(entries.back());
  }
  if (!WriteResults(out, entries)) return kExitCannotRun;
  return ExitCodeOf(entries);
}
