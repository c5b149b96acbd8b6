#include "tests/kit/Options.h"

#include <algorithm>

namespace QvKit {

const wchar_t kUsage[] =
    L"usage: qvkit.exe --throwaway [--out <folder>] [--units <names>] [--scenarios <names>]\n"
    L"  --throwaway          required: this machine is a disposable one\n"
    L"  --out <folder>       where the results go (default: \"results\" beside qvkit.exe)\n"
    L"  --units <names>      unit suites to run, comma separated (base,core,...); \"none\" runs none;\n"
    L"                       default: every *_tests.exe beside qvkit.exe\n"
    L"  --scenarios <names>  scenarios to run, comma separated; \"none\" runs none; default: all\n"
    L"  --help               this text\n"
    L"exit codes: 0 nothing failed, 1 something failed, 2 bad options, 3 --throwaway missing,\n"
    L"            4 the results folder cannot be written\n";

const wchar_t kRefusal[] =
    L"qvkit: refusing to start without --throwaway.\n"
    L"The kit plants and removes files, registry keys and services (links, a running service,\n"
    L"files in use) and runs a forced removal on them.\n"
    L"Run it only on a throw-away machine: Windows Sandbox, or a virtual machine you discard\n"
    L"afterwards. Nothing was changed.\n";

namespace {

bool ParseNames(const std::wstring& value, std::vector<std::wstring>& names, std::wstring& error) {
  names.clear();
  if (value == L"none") return true;
  size_t start = 0;
  while (true) {
    const size_t comma = value.find(L',', start);
    std::wstring name = value.substr(start, comma == std::wstring::npos ? std::wstring::npos : comma - start);
    if (name.empty()) {
      error = L"empty name in the list '" + value + L"'";
      return false;
    }
    if (name == L"none") {
      error = L"'none' cannot be combined with other names";
      return false;
    }
    if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(std::move(name));
    if (comma == std::wstring::npos) return true;
    start = comma + 1;
  }
}

}  // namespace

ParsedOptions ParseOptions(const std::vector<std::wstring>& arguments) {
  ParsedOptions parsed;
  Options& options = parsed.options;
  std::vector<std::wstring> seen;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::wstring& argument = arguments[i];
    if (std::find(seen.begin(), seen.end(), argument) != seen.end()) {
      parsed.error = L"option '" + argument + L"' given twice";
      return parsed;
    }
    const bool takesValue = argument == L"--out" || argument == L"--units" || argument == L"--scenarios" ||
                            argument == L"--run-one";
    if (takesValue) {
      if (i + 1 >= arguments.size() || arguments[i + 1].empty() || arguments[i + 1].starts_with(L"--")) {
        parsed.error = L"option '" + argument + L"' needs a value";
        return parsed;
      }
      seen.push_back(argument);
      const std::wstring& value = arguments[++i];
      if (argument == L"--out") {
        options.out = value;
      } else if (argument == L"--run-one") {
        options.runOne = value;
      } else {
        std::vector<std::wstring> names;
        if (!ParseNames(value, names, parsed.error)) return parsed;
        (argument == L"--units" ? options.units : options.scenarios) = std::move(names);
      }
      continue;
    }
    if (argument == L"--throwaway") {
      options.throwaway = true;
    } else if (argument == L"--help" || argument == L"-h" || argument == L"/?") {
      options.help = true;
    } else {
      parsed.error = L"unknown option '" + argument + L"'";
      return parsed;
    }
    seen.push_back(argument);
  }
  parsed.ok = true;
  return parsed;
}

std::vector<std::wstring> UnknownNames(const std::vector<std::wstring>& wanted,
                                       const std::vector<std::wstring>& known) {
  std::vector<std::wstring> unknown;
  for (const std::wstring& name : wanted)
    if (std::find(known.begin(), known.end(), name) == known.end()) unknown.push_back(name);
  return unknown;
}

std::wstring QuoteArgument(const std::wstring& argument) {
  if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) return argument;
  // Backslashes are literal except before a quote, where each one needs a partner.
  std::wstring quoted = L"\"";
  size_t backslashes = 0;
  for (wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    quoted.push_back(c);
  }
  quoted.append(backslashes * 2, L'\\');
  quoted.push_back(L'"');
  return quoted;
}

}  // namespace QvKit
