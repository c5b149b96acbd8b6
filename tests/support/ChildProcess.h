// Test machinery: starts a program, waits for it with a time limit, and hands back its exit code
// and what it wrote to its standard output and error.
#pragma once

#include <windows.h>

#include <cwchar>
#include <string>
#include <string_view>

#include "base/UniqueHandle.h"

namespace QvTest {

struct ChildOptions {
  // Started with CreateProcessAsUserW under this token when set.
  HANDLE token = nullptr;
  // "NAME=value" entries added to this process's environment for the child.
  std::wstring extraEnvironment;
  // Standard error goes into the output file too (one stream, in the order written).
  bool errorsIntoOutput = false;
  // Added to the creation flags, e.g. CREATE_SUSPENDED for a process whose loader has not run yet.
  DWORD creationFlags = 0;
};

// A started child. Its standard output and error go to files of their own, not pipes: a child that
// starts Wine's desktop process hands it its handles, and the end of a pipe would never come. The
// child gets no CREATE_NO_WINDOW either: Wine then gives it a hidden console instead of the files.
// A child still running when the object goes is terminated; the files are removed.
class ChildProcess {
 public:
  static constexpr DWORD kDefaultTimeoutMs = 120000;

  explicit ChildProcess(std::wstring commandLine, const ChildOptions& options = {}) {
    output_ = CreateCaptureFile(outputPath_);
    if (!options.errorsIntoOutput) errors_ = CreateCaptureFile(errorsPath_);
    if (!output_ || (!options.errorsIntoOutput && !errors_)) {
      startError_ = ::GetLastError();
      return;
    }
    std::wstring environment;
    if (!options.extraEnvironment.empty()) {
      wchar_t* block = ::GetEnvironmentStringsW();
      for (const wchar_t* entry = block; *entry != L'\0'; entry += std::wcslen(entry) + 1)
        environment.append(entry).push_back(L'\0');
      ::FreeEnvironmentStringsW(block);
      environment.append(options.extraEnvironment).push_back(L'\0');
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = output_.get();
    startup.hStdError = options.errorsIntoOutput ? output_.get() : errors_.get();
    PROCESS_INFORMATION info{};
    void* environmentBlock = environment.empty() ? nullptr : environment.data();
    const DWORD flags = CREATE_UNICODE_ENVIRONMENT | options.creationFlags;
    const BOOL started =
        options.token != nullptr
            ? ::CreateProcessAsUserW(options.token, nullptr, commandLine.data(), nullptr, nullptr, TRUE,
                                     flags, environmentBlock, nullptr, &startup, &info)
            : ::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, flags, environmentBlock,
                               nullptr, &startup, &info);
    if (!started) {
      startError_ = ::GetLastError();
      return;
    }
    started_ = true;
    // Null for a host program under Wine.
    process_.reset(info.hProcess);
    UniqueHandle thread(info.hThread);
    // Only the child writes from now on; the files are read by name.
    output_.reset();
    errors_.reset();
  }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  ~ChildProcess() {
    if (process_ && !Wait(0)) {
      ::TerminateProcess(process_.get(), 1);
      ::WaitForSingleObject(process_.get(), 10000);
    }
    process_.reset();
    for (const std::wstring* path : {&outputPath_, &errorsPath_})
      if (!path->empty()) ::DeleteFileW(path->c_str());
  }

  bool Started() const { return started_; }
  // Why the start failed (0 when it did not).
  DWORD StartError() const { return startError_; }
  HANDLE Handle() const { return process_.get(); }
  DWORD Id() const { return process_ ? ::GetProcessId(process_.get()) : 0; }

  // Waits up to `timeoutMs`; true once the child has ended.
  bool Wait(DWORD timeoutMs = kDefaultTimeoutMs) {
    return process_ && ::WaitForSingleObject(process_.get(), timeoutMs) == WAIT_OBJECT_0;
  }
  // Lets the child run on when this object goes. For host programs started under Wine, whose handle
  // cannot be waited for (callers wait for the program's effect instead).
  void Detach() { process_.reset(); }
  // STILL_ACTIVE while the child runs or when it never started.
  DWORD ExitCode() const {
    DWORD code = STILL_ACTIVE;
    if (process_) ::GetExitCodeProcess(process_.get(), &code);
    return code;
  }
  std::string Output() const { return ReadCapture(outputPath_); }
  std::string Errors() const { return ReadCapture(errorsPath_); }

 private:
  static UniqueFileHandle CreateCaptureFile(std::wstring& path) {
    wchar_t folder[MAX_PATH + 1]{};
    wchar_t name[MAX_PATH + 1]{};
    if (::GetTempPathW(MAX_PATH + 1, folder) == 0 || ::GetTempFileNameW(folder, L"qvc", 0, name) == 0)
      return {};
    path = name;
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    return UniqueFileHandle(::CreateFileW(name, GENERIC_WRITE,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inherit,
                                          CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  }

  static std::string ReadCapture(const std::wstring& path) {
    std::string content;
    if (path.empty()) return content;
    UniqueFileHandle file(::CreateFileW(path.c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    char buffer[4096];
    DWORD read = 0;
    while (file && ::ReadFile(file.get(), buffer, sizeof(buffer), &read, nullptr) && read > 0)
      content.append(buffer, read);
    return content;
  }

  std::wstring outputPath_;
  std::wstring errorsPath_;
  UniqueFileHandle output_;
  UniqueFileHandle errors_;
  UniqueHandle process_;
  bool started_ = false;
  DWORD startError_ = 0;
};

// What a child run to its end left behind.
struct ChildResult {
  bool started = false;
  bool finished = false;  // false: it did not start, or it was still running at the time limit
  DWORD exitCode = STILL_ACTIVE;
  std::string output;
  std::string errors;  // empty with errorsIntoOutput
};

// Runs `commandLine` and waits up to `timeoutMs` for its end; a child still running then is
// terminated (finished stays false).
inline ChildResult RunChild(std::wstring commandLine, DWORD timeoutMs = ChildProcess::kDefaultTimeoutMs,
                            const ChildOptions& options = {}) {
  ChildResult result;
  ChildProcess child(std::move(commandLine), options);
  result.started = child.Started();
  result.finished = child.Wait(timeoutMs);
  if (result.started && !result.finished) {
    ::TerminateProcess(child.Handle(), 1);
    ::WaitForSingleObject(child.Handle(), 10000);
  }
  if (result.finished) result.exitCode = child.ExitCode();
  result.output = child.Output();
  result.errors = child.Errors();
  return result;
}

// The folder of the running test program, with a trailing backslash: where the helper programs
// (tests/helpers) are built.
inline std::wstring ProgramFolder() {
  wchar_t path[MAX_PATH + 1] = {};
  const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH + 1);
  std::wstring folder(path, length);
  return folder.substr(0, folder.rfind(L'\\') + 1);
}

// The command line that starts the helper program `name` (without ".exe") with `arguments`.
inline std::wstring HelperCommand(std::wstring_view name, std::wstring_view arguments = {}) {
  std::wstring command = L"\"" + ProgramFolder() + std::wstring(name) + L".exe\"";
  if (!arguments.empty()) command.append(L" ").append(arguments);
  return command;
}

// A primary token of this process in which BUILTIN\Administrators is a deny-only group: the only
// non-administrator Wine gives (tests/WINE.md). Empty when it cannot be made.
inline UniqueHandle NonAdministratorToken() {
  UniqueHandle token;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_DUPLICATE | TOKEN_QUERY | TOKEN_ASSIGN_PRIMARY,
                          token.put()))
    return {};
  SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
  UniqueAllocatedSid admins;
  if (!::AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0,
                                  0, 0, 0, 0, admins.put()))
    return {};
  SID_AND_ATTRIBUTES disable{admins.get(), 0};
  UniqueHandle restricted;
  if (!::CreateRestrictedToken(token.get(), 0, 1, &disable, 0, nullptr, 0, nullptr, restricted.put()))
    return {};
  return restricted;
}

}  // namespace QvTest
