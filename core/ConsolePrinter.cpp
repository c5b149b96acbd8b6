// Console printer: attach to the parent console once, or fall back to a redirected stdout.
#include "core/ConsolePrinter.h"

#include <cstdio>
#include <vector>

#include "base/Utf8.h"

bool FormatWide(std::wstring& out, const wchar_t* format, va_list args) {
  for (size_t size = 1024; size < 100000; size *= 2) {
    std::vector<wchar_t> buffer(size);
    va_list copy;
    va_copy(copy, args);
    // msvcrt's formatter: -1 (or the full size, without terminator) when the text does not fit.
    const int written = _vsnwprintf(buffer.data(), size, format, copy);
    va_end(copy);
    if (written >= 0 && static_cast<size_t>(written) < size) {
      out.assign(buffer.data(), static_cast<size_t>(written));
      return true;
    }
  }
  return false;
}

ConsolePrinter& ConsolePrinter::Instance() {
  static ConsolePrinter instance;
  return instance;
}

ConsolePrinter::ConsolePrinter() {
  if (::AttachConsole(ATTACH_PARENT_PROCESS)) {
    attached_ = true;
    output_ = ::GetStdHandle(STD_OUTPUT_HANDLE);
    // Attaching does not give a GUI program standard handles of its own: use the console's.
    if (output_ == nullptr || output_ == INVALID_HANDLE_VALUE) {
      consoleOutput_.reset(
          ::CreateFileW(L"CONOUT$", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
      output_ = consoleOutput_.get();
    }
    DWORD mode = 0;
    if (output_ != INVALID_HANDLE_VALUE && ::GetConsoleMode(output_, &mode)) {
      target_ = Target::Console;
      return;
    }
  }
  // A script that captures the output hands a pipe or a file.
  HANDLE stdOut = ::GetStdHandle(STD_OUTPUT_HANDLE);
  if (stdOut != nullptr && stdOut != INVALID_HANDLE_VALUE) {
    const DWORD type = ::GetFileType(stdOut);
    if (type == FILE_TYPE_PIPE || type == FILE_TYPE_DISK) {
      output_ = stdOut;
      target_ = Target::Stream;
    }
  }
}

ConsolePrinter::~ConsolePrinter() {
  if (attached_) ::FreeConsole();
}

void ConsolePrinter::Print(const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  PrintV(format, args);
  va_end(args);
}

void ConsolePrinter::PrintV(const wchar_t* format, va_list args) {
  if (target_ == Target::None || format == nullptr) return;
  std::wstring text;
  if (!FormatWide(text, format, args)) return;
  text += L'\n';
  Write(text);
}

void ConsolePrinter::Write(const std::wstring& text) {
  std::lock_guard lock(mutex_);
  DWORD written = 0;
  if (target_ == Target::Console) {
    ::WriteConsoleW(output_, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    return;
  }
  const std::string bytes = QvText::ToUtf8(text);
  ::WriteFile(output_, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}
