// Command-line tokenising and option parsing.
#include "core/QvOptionParser.h"

#include <windows.h>

#include <cstdlib>
#include <cwchar>

#include "base/LineBreaks.h"

namespace {

bool EqualsIgnoreCase(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  return ::CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()),
                                TRUE) == CSTR_EQUAL;
}

// Dashes a word processor puts in place of '-' ("–s" pasted from a document): en dash, em dash,
// minus sign. Such an argument is meant as an option; taken as a stray argument it would be
// ignored, and a run meant to be silent would open the wizard.
bool IsLookalikeDash(wchar_t c) { return c == L'\u2013' || c == L'\u2014' || c == L'\u2212'; }

bool IsOptionLead(wchar_t c) { return c == L'-' || c == L'/' || IsLookalikeDash(c); }

// An argument as error texts echo it: its first 64 characters and "..." when it is longer (a
// surrogate pair is not split), line breaks escaped so the text stays one line.
std::wstring Echo(std::wstring_view argument) {
  constexpr size_t kEchoChars = 64;
  if (argument.size() <= kEchoChars) return QvText::EscapeLineBreaks(argument);
  size_t cut = kEchoChars;
  if (argument[cut - 1] >= 0xD800 && argument[cut - 1] <= 0xDBFF) --cut;
  return QvText::EscapeLineBreaks(argument.substr(0, cut)) + L"...";
}

}  // namespace

std::vector<std::wstring> TokenizeCommandLine(std::wstring_view commandLine, bool& quotesOpen) {
  std::vector<std::wstring> tokens;
  std::wstring token;
  bool inQuotes = false;
  bool started = false;
  bool previousQuote = false;
  for (const wchar_t c : commandLine) {
    if (c == L' ' && !inQuotes) {
      if (started) tokens.push_back(std::move(token));
      token.clear();
      started = false;
      previousQuote = false;
    } else if (c == L'"') {
      // A quote right after a closing quote stands for itself.
      if (previousQuote && !inQuotes) token += L'"';
      inQuotes = !inQuotes;
      started = true;
      previousQuote = true;
    } else {
      token += c;
      started = true;
      previousQuote = false;
    }
  }
  if (started) tokens.push_back(std::move(token));
  quotesOpen = inQuotes;
  return tokens;
}

QvOptionParser& QvOptionParser::Instance() {
  static QvOptionParser instance;
  return instance;
}

bool QvOptionParser::AddOption(int kind, const std::wstring& name, wchar_t shortName) {
  for (const Option& option : options_) {
    if (EqualsIgnoreCase(option.name, name)) return false;
    if (shortName != 0 && option.shortName == shortName) return false;
  }
  options_.push_back(Option{name, shortName, kind, false, {}});
  return true;
}

bool QvOptionParser::Parse(const wchar_t* commandLine) {
  if (commandLine == nullptr) return false;
  bool quotesOpen = false;
  std::vector<std::wstring> tokens = TokenizeCommandLine(commandLine, quotesOpen);
  if (quotesOpen) {
    if (!tokens.empty()) error_ = L"Mismatching quotes";
    return false;
  }
  if (tokens.empty()) return false;
  tokens.erase(tokens.begin());  // the program path
  return Parse(tokens);
}

bool QvOptionParser::Parse(int argc, const wchar_t* const* argv) {
  if (argc <= 0 || argv == nullptr) return false;
  std::vector<std::wstring> tokens;
  for (int i = 1; i < argc; ++i) {
    std::wstring argument = argv[i] != nullptr ? argv[i] : L"";
    // The shell leaves a stray closing quote on arguments like /p="a b" split by hand.
    if (!argument.empty() && argument.back() == L'"' && argument.front() != L'"') argument.pop_back();
    tokens.push_back(std::move(argument));
  }
  return Parse(tokens);
}

bool QvOptionParser::Parse(const std::vector<std::wstring>& tokens) {
  if (parsed_) {
    error_ = L"Already parsed";
    return false;
  }
  Option* pending = nullptr;
  for (const std::wstring& token : tokens) {
    if (token.empty() || !IsOptionLead(token[0])) {
      if (pending != nullptr) {
        pending->value = token;
        pending = nullptr;
      } else {
        arguments_.push_back(token);
      }
      continue;
    }
    if (pending != nullptr && pending->kind == OptionValueRequired)
      return Fail(L"Option '%s' requires a value", pending->name);
    pending = nullptr;
    if (IsLookalikeDash(token[0])) return Fail(L"Unknown option: %s", token);
    if (token.size() == 1) return false;  // a lone "-" or "/": no error text

    Option* option = nullptr;
    if (token[0] == L'-') {
      if (token.size() == 2 && token[1] != L'-') {
        option = FindShort(token[1]);
      } else if (token.size() > 2 && token[1] == L'-') {
        option = FindLong(std::wstring_view(token).substr(2));
      }
      if (option == nullptr) return Fail(L"Unknown option: %s", token);
    } else {
      const std::wstring_view body = std::wstring_view(token).substr(1);
      const size_t equals = body.find(L'=');
      const std::wstring_view name = equals == std::wstring_view::npos ? body : body.substr(0, equals);
      const std::wstring_view value =
          equals == std::wstring_view::npos ? std::wstring_view() : body.substr(equals + 1);
      if (name.size() == 1) option = FindShort(name[0]);
      if (option == nullptr) option = FindLong(name);
      if (option == nullptr) return Fail(L"Unknown option: %s", token);
      option->value = value;
      if (option->kind == OptionNoValue && !option->value.empty())
        return Fail(L"Option '%s' has no value", option->name);
      if (option->kind == OptionValueRequired && option->value.empty())
        return Fail(L"Option '%s' requires a value", option->name);
    }
    if (option->seen) return Fail(L"Option '%s' specified twice", option->name);
    if (option->kind != OptionNoValue && option->value.empty()) pending = option;
    option->seen = true;
  }
  if (pending != nullptr && pending->kind == OptionValueRequired)
    return Fail(L"Option '%s' requires a value", pending->name);
  parsed_ = true;
  return true;
}

bool QvOptionParser::IsSet(const std::wstring& name) const {
  const Option* option = Find(name);
  return option != nullptr && option->seen;
}

bool QvOptionParser::HasValue(const std::wstring& name) const {
  const Option* option = Find(name);
  return option != nullptr && !option->value.empty();
}

std::wstring QvOptionParser::GetValue(const std::wstring& name) const {
  const Option* option = Find(name);
  return option != nullptr ? option->value : std::wstring();
}

int QvOptionParser::GetValueAsInt(const std::wstring& name) const {
  return static_cast<int>(std::wcstol(GetValue(name).c_str(), nullptr, 10));
}

std::vector<std::wstring> QvOptionParser::GetArguments() const { return arguments_; }

std::wstring QvOptionParser::GetError() const { return error_; }

void QvOptionParser::Reset() {
  options_.clear();
  arguments_.clear();
  error_.clear();
  parsed_ = false;
}

QvOptionParser::Option* QvOptionParser::FindLong(std::wstring_view name) {
  for (Option& option : options_)
    if (EqualsIgnoreCase(option.name, name)) return &option;
  return nullptr;
}

QvOptionParser::Option* QvOptionParser::FindShort(wchar_t shortName) {
  for (Option& option : options_)
    if (option.shortName != 0 && option.shortName == shortName) return &option;
  return nullptr;
}

const QvOptionParser::Option* QvOptionParser::Find(const std::wstring& name) const {
  for (const Option& option : options_)
    if (EqualsIgnoreCase(option.name, name)) return &option;
  return nullptr;
}

bool QvOptionParser::Fail(const wchar_t* format, const std::wstring& argument) {
  wchar_t buffer[1024];
  // The echo is short enough to fit; a text that still does not fit keeps the previous error text.
  const int written = _snwprintf(buffer, 1024, format, Echo(argument).c_str());
  if (written >= 0 && written < 1024) error_.assign(buffer, static_cast<size_t>(written));
  return false;
}
