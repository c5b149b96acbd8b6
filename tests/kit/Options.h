// The runner's command line: what to run and where the results go. Pure text work, no windows.h.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace QvKit {

// Exit codes of qvkit.exe (the kit's README.txt and docs/windows-validation.md list them).
constexpr int kExitAllPassed = 0;
constexpr int kExitSomethingFailed = 1;
constexpr int kExitBadOptions = 2;
constexpr int kExitNotThrowaway = 3;
constexpr int kExitCannotRun = 4;  // the results folder cannot be written

struct Options {
  bool throwaway = false;
  bool help = false;
  std::wstring out;  // empty: "results" beside qvkit.exe
  // Not set: every unit suite / scenario; set and empty ("none"): none of them.
  std::optional<std::vector<std::wstring>> units;
  std::optional<std::vector<std::wstring>> scenarios;
  // The runner starts itself with this to run one scenario in a process of its own, so that a
  // scenario that crashes takes only that process down.
  std::wstring runOne;
};

struct ParsedOptions {
  bool ok = false;
  std::wstring error;  // why the command line was refused
  Options options;
};

// `arguments` without the program name. Refuses unknown options, repeated ones, missing values and
// empty or mixed-with-"none" name lists.
ParsedOptions ParseOptions(const std::vector<std::wstring>& arguments);

// The names of `wanted` that are not in `known`, in the order given.
std::vector<std::wstring> UnknownNames(const std::vector<std::wstring>& wanted,
                                       const std::vector<std::wstring>& known);

// One argument quoted for a command line that CommandLineToArgvW (and the C runtime) splits back
// into exactly `argument`.
std::wstring QuoteArgument(const std::wstring& argument);

extern const wchar_t kUsage[];
extern const wchar_t kRefusal[];

}  // namespace QvKit
