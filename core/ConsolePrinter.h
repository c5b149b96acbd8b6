// Prints help and error texts for whoever started the tool: the parent's console when one can be
// attached, otherwise a redirected standard output (pipe or file); otherwise nothing.
#pragma once

#include <windows.h>

#include <cstdarg>
#include <mutex>
#include <string>

#include "base/UniqueHandle.h"

class ConsolePrinter {
 public:
  static ConsolePrinter& Instance();
  ~ConsolePrinter();

  // Wide printf rules; a line feed follows the text. Texts longer than 65535 characters are dropped.
  void Print(const wchar_t* format, ...);
  void PrintV(const wchar_t* format, va_list args);

 private:
  ConsolePrinter();
  void Write(const std::wstring& text);

  enum class Target { None, Console, Stream };
  std::mutex mutex_;
  Target target_ = Target::None;
  HANDLE output_ = nullptr;         // where texts go: standard output or consoleOutput_
  UniqueFileHandle consoleOutput_;  // the attached console's output, when opened here
  bool attached_ = false;
};

// Formats with the Windows runtime's printf rules into a growing buffer (1024 characters, doubled
// while the text does not fit and the size is below 100000). Empty optional when it never fits.
bool FormatWide(std::wstring& out, const wchar_t* format, va_list args);
