#include "tests/kit/ToolLog.h"

#include <windows.h>
#include <shlobj.h>

#include "tests/support/ScratchDir.h"

namespace QvKit {

namespace {
constexpr size_t kMarkBytes = 512;

std::wstring OlderGeneration(const std::wstring& current) {
  return current.substr(0, current.size() - 4) + L".1.log";
}
}  // namespace

std::wstring ToolLogFile() {
  wchar_t* programData = nullptr;
  std::wstring folder;
  if (SUCCEEDED(::SHGetKnownFolderPath(FOLDERID_ProgramData, 0, nullptr, &programData))) folder = programData;
  ::CoTaskMemFree(programData);
  return folder + L"\\Quorvel\\Log\\UninstallationTool\\UninstallationTool.log";
}

std::string LogMark(const std::string& current) {
  return current.size() <= kMarkBytes ? current : current.substr(current.size() - kMarkBytes);
}

std::string WrittenSince(const std::string& mark, const std::string& older, const std::string& current) {
  if (mark.empty()) return current;
  const size_t inCurrent = current.rfind(mark);
  if (inCurrent != std::string::npos) return current.substr(inCurrent + mark.size());
  const std::string both = older + current;
  const size_t inBoth = both.rfind(mark);
  return inBoth == std::string::npos ? both : both.substr(inBoth + mark.size());
}

std::string MarkToolLog() { return LogMark(QvTest::ReadWholeFile(ToolLogFile())); }

std::string ToolLogSince(const std::string& mark) {
  const std::wstring current = ToolLogFile();
  return WrittenSince(mark, QvTest::ReadWholeFile(OlderGeneration(current)), QvTest::ReadWholeFile(current));
}

}  // namespace QvKit
