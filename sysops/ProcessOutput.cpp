// Capture of a child's console output into the log.
#include "sysops/ProcessOutput.h"

#include "base/Utf8.h"
#include "core/RunDeadline.h"
#include "logging/QvBrelLogging.h"

namespace Lua::Process {

ProcessOutputLogger::ProcessOutputLogger(std::wstring logName, UINT codePage)
    : logName_(std::move(logName)), codePage_(codePage) {}

ProcessOutputLogger::~ProcessOutputLogger() {
  stop_ = true;
  EndReader();
}

bool ProcessOutputLogger::Init() {
  SECURITY_ATTRIBUTES security = {sizeof(security), nullptr, TRUE};
  HANDLE read = nullptr;
  HANDLE write = nullptr;
  if (!::CreatePipe(&read, &write, &security, 0)) {
    QV_BREL_LOG(QV_ERROR, L"Failed to create pipe : %lu", ::GetLastError());
    return false;
  }
  readPipe_.reset(read);
  writePipe_.reset(write);
  // The child inherits only the write end.
  if (!::SetHandleInformation(readPipe_.get(), HANDLE_FLAG_INHERIT, 0)) {
    QV_BREL_LOG(QV_ERROR, L"Failed to make read pipe handle to be non-inheritable: %lu", ::GetLastError());
    return false;
  }
  startupInfo_ = {};
  startupInfo_.cb = sizeof(startupInfo_);
  startupInfo_.dwFlags = STARTF_USESTDHANDLES;
  startupInfo_.hStdOutput = writePipe_.get();
  startupInfo_.hStdError = writePipe_.get();
  return true;
}

void ProcessOutputLogger::Run() {
  // Without our copy of the write end, the read ends once the child and whatever inherited the
  // handle from it have exited.
  writePipe_.reset();
  // The reader's records carry the name of this function's thread routine.
  LPTHREAD_START_ROUTINE reader = [](void* self) -> DWORD {
    static_cast<ProcessOutputLogger*>(self)->Read(QV_LOG_SITE);
    return 0;
  };
  thread_.reset(::CreateThread(nullptr, 0, reader, this, 0, nullptr));
  if (!thread_) QV_BREL_LOG(QV_ERROR, L"Failed to start the output reader: %lu", ::GetLastError());
}

void ProcessOutputLogger::Stop(bool stopNow) {
  if (stopNow) stop_ = true;
  if (!thread_ || ::GetCurrentThreadId() == ::GetThreadId(thread_.get())) return;
  if (!stopNow &&
      ::WaitForSingleObject(thread_.get(), RunDeadline::Instance().Cap(kDrainMs)) == WAIT_OBJECT_0) {
    thread_.reset();
    return;
  }
  stop_ = true;
  EndReader();
}

// Cancels the reader's pending read until it has seen the stop flag and ended: a cancel that comes
// between two reads finds nothing to cancel, so it is repeated.
void ProcessOutputLogger::EndReader() {
  if (!thread_ || ::GetCurrentThreadId() == ::GetThreadId(thread_.get())) return;
  while (::WaitForSingleObject(thread_.get(), 0) == WAIT_TIMEOUT) {
    ::CancelSynchronousIo(thread_.get());
    ::WaitForSingleObject(thread_.get(), 50);
  }
  thread_.reset();
}

void ProcessOutputLogger::Emit(const std::string& line) const {
  if (line.empty()) return;
  // Logged as wide text: the logger would read narrow text in the ANSI code page, not as UTF-8.
  const std::wstring text =
      codePage_ == CP_UTF8 ? QvText::FromUtf8(line) : QvText::FromCodePage(codePage_, line);
  QvBrelLogging::LogMessage(QV_INFO, L"[%s] %s", logName_.c_str(), text.c_str());
}

void ProcessOutputLogger::Read(QvBrelLogging::LogSite site) {
  char buffer[4096];
  std::string pending;
  while (!stop_) {
    DWORD read = 0;
    if (!::ReadFile(readPipe_.get(), buffer, sizeof(buffer) - 1, &read, nullptr)) {
      const DWORD error = ::GetLastError();
      // A broken pipe is the normal end; a cancelled read is our own stop.
      if (error != ERROR_BROKEN_PIPE && !(error == ERROR_OPERATION_ABORTED && stop_))
        QV_BREL_LOG_AT(site, QV_ERROR, L"Failed ReadFile: %lu", error);
      break;
    }
    buffer[read] = '\0';
    // The chunk is text up to its first NUL.
    const std::string_view chunk(buffer);
    size_t start = 0;
    for (size_t i = 0; i < chunk.size(); ++i) {
      if (chunk[i] != '\r' && chunk[i] != '\n') continue;
      pending.append(chunk.substr(start, i - start));
      Emit(pending);
      pending.clear();
      start = i + 1;
    }
    pending.append(chunk.substr(start));
  }
  Emit(pending);
}

}  // namespace Lua::Process
