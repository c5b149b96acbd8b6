// Without these handlers the C runtime ends a crashed run with 3, the code for "not an
// administrator", and the log shows nothing of it.
#include "app/CrashHandlers.h"

#include <windows.h>

#include <csignal>
#include <cstdlib>
#include <exception>

#include "app/ExitCode.h"
#include "base/ProcAddress.h"
#include "base/UniqueHandle.h"
#include "logging/QvBrelLogging.h"

namespace {

// libgcc raises these to look for a catch handler; when none is found the search must continue
// from RaiseException so the C++ runtime calls std::terminate.
constexpr DWORD GccExceptionMask = 0x20ffffff;
constexpr DWORD GccExceptionCode = 0x20474343;

// The thread whose crash is being reported. A crash inside its handler (a damaged heap, say) ends
// the run at once; other threads crashing meanwhile wait for it to end the run with its line.
volatile LONG crashingThread = 0;

// Bounds the report: a crash inside the logger (its lock held by the crashing thread) must not turn
// into a hung run.
constexpr DWORD ReportTimeoutMs = 5000;

DWORD WINAPI EndRunAfterTimeout(LPVOID) {
  ::Sleep(ReportTimeoutMs);
  ::TerminateProcess(::GetCurrentProcess(), ExitFailure);
  return 0;
}

bool FirstCrash() {
  const LONG self = static_cast<LONG>(::GetCurrentThreadId());
  const LONG owner = ::InterlockedCompareExchange(&crashingThread, self, 0);
  if (owner == 0) {
    UniqueHandle watchdog(::CreateThread(nullptr, 64 * 1024, EndRunAfterTimeout, nullptr,
                                         STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr));
    return true;
  }
  if (owner != self) ::Sleep(INFINITE);
  return false;
}

[[noreturn]] void EndRun() {
  QvBrelLogging::LogFlush();
  ::TerminateProcess(::GetCurrentProcess(), ExitFailure);
  ::ExitProcess(ExitFailure);
}

[[noreturn]] void OnTerminate() {
  if (FirstCrash()) {
    const char* what = "no exception";
    if (const std::exception_ptr current = std::current_exception()) {
      try {
        std::rethrow_exception(current);
      } catch (const std::exception& e) {
        what = e.what();
      } catch (...) {
        what = "not a std::exception";
      }
    }
    QV_BREL_LOG(QV_FATAL, "Unhandled C++ exception (%s), exiting with code: %d", what, ExitFailure);
  }
  EndRun();
}

LONG WINAPI OnUnhandledException(EXCEPTION_POINTERS* pointers) {
  const EXCEPTION_RECORD* record = pointers->ExceptionRecord;
  if ((record->ExceptionCode & GccExceptionMask) == GccExceptionCode &&
      !(record->ExceptionFlags & EXCEPTION_NONCONTINUABLE))
    return EXCEPTION_CONTINUE_EXECUTION;
  if (FirstCrash())
    QV_BREL_LOG(QV_FATAL, L"Unhandled exception 0x%08lX at %p, exiting with code: %d", record->ExceptionCode,
                record->ExceptionAddress, ExitFailure);
  EndRun();
}

void OnAbort(int) {
  if (FirstCrash()) QV_BREL_LOG(QV_FATAL, L"Aborted, exiting with code: %d", ExitFailure);
  EndRun();
}

}  // namespace

void InstallCrashHandlers() {
  std::set_terminate(OnTerminate);
  ::SetUnhandledExceptionFilter(OnUnhandledException);
  std::signal(SIGABRT, OnAbort);
  // Room for the filter to log a stack overflow of the main thread.
  ULONG reserve = 64 * 1024;
  ::SetThreadStackGuarantee(&reserve);
  // Not every msvcrt.dll has it; where it does, abort raises no fault report of its own.
  using SetAbortBehavior = unsigned(__cdecl*)(unsigned, unsigned);
  if (auto setAbortBehavior =
          QvProc::Get<SetAbortBehavior>(::GetModuleHandleW(L"msvcrt.dll"), "_set_abort_behavior"))
    setAbortBehavior(0, _WRITE_ABORT_MSG | _CALL_REPORTFAULT);
}
