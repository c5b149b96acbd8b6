// Process-wide command-line option parser, queried by option name.
#pragma once

#include <string>
#include <string_view>
#include <vector>

enum OptionKind : int {
  OptionValueRequired = 0,
  OptionValueOptional = 1,
  OptionNoValue = 2,
};

// Splits a command line at spaces outside double quotes. Quotes are removed, a quote right after a
// closing quote is a literal one, "" alone is an empty token. quotesOpen tells an unclosed quote.
std::vector<std::wstring> TokenizeCommandLine(std::wstring_view commandLine, bool& quotesOpen);

class QvOptionParser {
 public:
  static QvOptionParser& Instance();
  virtual ~QvOptionParser() = default;

  // False (nothing added) for a duplicate name (any case) or a duplicate non-zero short character.
  virtual bool AddOption(int kind, const std::wstring& name, wchar_t shortName);
  // The whole command line, program path first; null gives false.
  virtual bool Parse(const wchar_t* commandLine);
  // argv-style, argument 0 being the program.
  virtual bool Parse(int argc, const wchar_t* const* argv);
  // Tokens without the program path. Fails with "Already parsed" on a second call until Reset.
  // An argument starting with an en dash, em dash or minus sign is an unknown option. Error texts
  // echo at most 64 characters of an argument (then "..."), line breaks escaped.
  virtual bool Parse(const std::vector<std::wstring>& tokens);
  virtual bool IsSet(const std::wstring& name) const;
  virtual bool HasValue(const std::wstring& name) const;
  virtual std::wstring GetValue(const std::wstring& name) const;
  virtual int GetValueAsInt(const std::wstring& name) const;
  virtual std::vector<std::wstring> GetArguments() const;
  virtual std::wstring GetError() const;
  virtual void Reset();

  QvOptionParser() = default;  // public so tests can use instances of their own

 private:
  struct Option {
    std::wstring name;
    wchar_t shortName;
    int kind;
    bool seen;
    std::wstring value;
  };
  Option* FindLong(std::wstring_view name);
  Option* FindShort(wchar_t shortName);
  const Option* Find(const std::wstring& name) const;
  bool Fail(const wchar_t* format, const std::wstring& argument);

  std::vector<Option> options_;
  std::vector<std::wstring> arguments_;
  std::wstring error_;
  bool parsed_ = false;
};
