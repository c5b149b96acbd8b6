// Test and benchmark driver of the logger, run as its own process:
//   log_writer write <component> <count> <label> [start-event]   tagged records through the facade
//   log_writer bench-logger <component> <count> [flags]          timed records; prints rate and file
//   log_writer bench-raw <source-file> <target-file>             rewrites the source's lines one
//                                                                WriteFile each; prints the rate
//   log_writer bench-mutex <count>                               wait and release of a named mutex
#include <windows.h>
#include <shlobj.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/UniqueHandle.h"
#include "base/Utf8.h"
#include "logging/QvBrelLogging.h"

namespace {

double Seconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
  LARGE_INTEGER frequency;
  ::QueryPerformanceFrequency(&frequency);
  return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

std::wstring ProgramDataLogFile(const std::wstring& component) {
  PWSTR folder = nullptr;
  if (FAILED(::SHGetKnownFolderPath(FOLDERID_ProgramData, 0, nullptr, &folder))) return {};
  std::wstring path = folder;
  ::CoTaskMemFree(folder);
  return path + L"\\Quorvel\\Log\\" + component + L"\\" + component + L".log";
}

int Write(const wchar_t* component, int count, const wchar_t* label, const wchar_t* startEvent) {
  QvBrelLogging::LogInit(component, component, QV_INFO, 0);
  if (startEvent != nullptr) {
    const UniqueHandle event(::OpenEventW(SYNCHRONIZE, FALSE, startEvent));
    if (!event || ::WaitForSingleObject(event.get(), 60000) != WAIT_OBJECT_0) return 3;
  }
  const std::string narrowLabel = QvText::ToUtf8(label);
  for (int i = 0; i < count; ++i)
    QV_BREL_LOG(QV_INFO, L"writer %hs record %06d of %d, padded to a realistic length ...........",
                narrowLabel.c_str(), i, count);
  QvBrelLogging::LogUninit();
  return 0;
}

int BenchLogger(const wchar_t* component, int count, unsigned flags) {
  QvBrelLogging::LogInit(component, component, QV_INFO, flags);
  LARGE_INTEGER start, end;
  ::QueryPerformanceCounter(&start);
  for (int i = 0; i < count; ++i)
    QV_BREL_LOG(QV_INFO, L"Removing '%s' (record %d)", L"C:\\Program Files\\Quorvel\\Omnivo\\bin\\engine.dll",
                i);
  ::QueryPerformanceCounter(&end);
  QvBrelLogging::LogUninit();
  const double seconds = Seconds(start, end);
  std::printf("logger %d %.6f %.0f\n", count, seconds, count / seconds);
  std::printf("file %s\n", QvText::ToUtf8(ProgramDataLogFile(component)).c_str());
  return 0;
}

int BenchRaw(const wchar_t* source, const wchar_t* target) {
  const UniqueFileHandle in(::CreateFileW(source, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                          OPEN_EXISTING, 0, nullptr));
  if (!in) return 3;
  std::string content;
  char buffer[65536];
  DWORD read = 0;
  while (::ReadFile(in.get(), buffer, sizeof(buffer), &read, nullptr) && read > 0)
    content.append(buffer, read);
  std::vector<std::string_view> lines;
  for (std::size_t at = 0; at < content.size();) {
    std::size_t end = content.find('\n', at);
    end = end == std::string::npos ? content.size() : end + 1;
    lines.emplace_back(content.data() + at, end - at);
    at = end;
  }
  const UniqueFileHandle out(::CreateFileW(target, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                           FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!out) return 4;
  LARGE_INTEGER start, end;
  ::QueryPerformanceCounter(&start);
  for (const std::string_view line : lines) {
    DWORD written = 0;
    ::WriteFile(out.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  }
  ::QueryPerformanceCounter(&end);
  const double seconds = Seconds(start, end);
  std::printf("raw %zu %.6f %.0f\n", lines.size(), seconds, lines.size() / seconds);
  return 0;
}

// The cross-process lock alone, as the logger takes it around every line.
int BenchMutex(int count) {
  const std::wstring name = L"Global\\QvBenchMutex_" + std::to_wstring(::GetCurrentProcessId());
  const UniqueHandle mutex(::CreateMutexW(nullptr, FALSE, name.c_str()));
  if (!mutex) return 3;
  LARGE_INTEGER start, end;
  ::QueryPerformanceCounter(&start);
  for (int i = 0; i < count; ++i) {
    ::WaitForSingleObject(mutex.get(), 500);
    ::ReleaseMutex(mutex.get());
  }
  ::QueryPerformanceCounter(&end);
  const double seconds = Seconds(start, end);
  std::printf("mutex %d %.6f %.0f\n", count, seconds, count / seconds);
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::wstring mode = argc > 1 ? argv[1] : L"";
  if (mode == L"write" && argc >= 5)
    return Write(argv[2], _wtoi(argv[3]), argv[4], argc > 5 ? argv[5] : nullptr);
  if (mode == L"bench-logger" && argc >= 4)
    return BenchLogger(argv[2], _wtoi(argv[3]), argc > 4 ? wcstoul(argv[4], nullptr, 0) : 0);
  if (mode == L"bench-raw" && argc >= 4) return BenchRaw(argv[2], argv[3]);
  if (mode == L"bench-mutex" && argc >= 3) return BenchMutex(_wtoi(argv[2]));
  std::fprintf(stderr, "usage: log_writer write|bench-logger|bench-raw|bench-mutex ...\n");
  return 2;
}
