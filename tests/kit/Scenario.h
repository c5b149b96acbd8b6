// A scenario of the Windows validation kit: it plants, with the real Windows API, a condition a
// forced removal must handle safely (a link out of a family folder, a file in use, a running
// service), runs the tool on it with the kit's own script set, and checks what survives.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "base/UniqueHandle.h"

namespace QvKit {

enum class Outcome { Pass, Fail, Skipped };

struct Result {
  Outcome outcome = Outcome::Fail;
  std::wstring detail;  // why it failed, or why it was skipped; empty on a pass
};

struct ToolRun {
  bool started = false;  // false: the tool could not be started (detail says why)
  DWORD exitCode = 0;
  std::wstring log;  // the log records this run wrote
  std::wstring detail;
};

// What the runner offers a scenario.
class Kit {
 public:
  virtual ~Kit() = default;
  // The folder qvkit.exe runs from (the tool, the helpers and the unit suites lie beside it).
  virtual const std::wstring& KitFolder() const = 0;
  // A scratch folder of this scenario's own, empty when the scenario starts.
  virtual const std::wstring& WorkFolder() const = 0;
  // True under Wine: a condition Wine cannot produce is then skipped, never on Windows.
  virtual bool UnderWine() const = 0;
  // Runs the tool (a copy carrying the kit's script set) with `arguments`, e.g.
  // L"--silent --products kitprobe", and waits for it.
  virtual ToolRun RunTool(const std::wstring& arguments, DWORD timeoutMs = 300000) = 0;
  // Starts the same tool copy without waiting (the wizard); the log of a started run is read with
  // LogOfLastRun once it has ended.
  virtual UniqueHandle StartTool(const std::wstring& arguments) = 0;
  virtual std::wstring LogOfLastRun() = 0;
  // A line of detail in the scenario's report (what was planted, what was checked).
  virtual void Note(const std::wstring& line) = 0;
};

struct Scenario {
  const wchar_t* name;  // e.g. L"junction"
  const wchar_t* risk;  // one line: what would go wrong on Windows if the tool mishandled it
  Result (*run)(Kit& kit);
};

// Every scenario, in run order.
const std::vector<Scenario>& Scenarios();

// The answer when the machine cannot produce a scenario's condition: skipped under Wine, with
// `reason` (what Wine answered); a failure on Windows, where every scenario must run.
Result CannotPlant(const Kit& kit, const std::wstring& reason);

}  // namespace QvKit
