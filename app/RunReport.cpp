// Report document and its writing.
#include "app/RunReport.h"

#include <windows.h>

#include <nlohmann/json.hpp>

#include "app/RunRecord.h"
#include "base/ChangeJournal.h"
#include "base/UtcText.h"
#include "base/Utf8.h"
#include "logging/QvBrelLogging.h"
#include "sysops/FileReplace.h"
#include "sysops/UndoMaterial.h"

namespace RunReport {

namespace {

// Keys in the order they are written.
using Json = nlohmann::ordered_json;

std::string ComputerName() {
  wchar_t name[MAX_COMPUTERNAME_LENGTH + 1];
  DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
  return ::GetComputerNameW(name, &size) ? QvText::ToUtf8(std::wstring(name, size)) : std::string();
}

Json ChangeOf(const Change& change) {
  Json entry = {{"op", QvText::ToUtf8(change.op)},
                {"target", QvText::ToUtf8(change.target)},
                {"result", ChangeResultName(change.result)}};
  if (change.result == ChangeResult::Failed) entry["error"] = change.error;
  if (!change.detail.empty()) entry["detail"] = QvText::ToUtf8(change.detail);
  return entry;
}

}  // namespace

// The run's undo folder and the files in it; null when the run kept nothing.
Json UndoOf(const UndoMaterial& undo) {
  const std::wstring folder = undo.Folder();
  if (folder.empty()) return nullptr;
  Json files = Json::array();
  for (const std::wstring& file : undo.Files()) files.push_back(QvText::ToUtf8(file));
  return {{"folder", QvText::ToUtf8(folder)}, {"files", std::move(files)}};
}

std::string Document(int exitCode, int describedExitCode) {
  const RunRecord& record = RunRecord::Instance();
  FILETIME ended{};
  ::GetSystemTimeAsFileTime(&ended);
  Json products = Json::array();
  for (const ProductRun& run : record.Products()) {
    Json changes = Json::array();
    for (const Change& change : ChangeJournal::Instance().ChangesOf(run.id))
      changes.push_back(ChangeOf(change));
    products.push_back({{"id", QvText::ToUtf8(run.id)},
                        {"subProduct", QvText::ToUtf8(run.subProduct)},
                        {"name", QvText::ToUtf8(run.name)},
                        {"priority", run.priority},
                        {"detected", run.detected},
                        {"selected", run.selected},
                        {"outcome", run.outcome},
                        {"seconds", run.seconds},
                        {"changes", std::move(changes)}});
  }
  const Json document = {{"schema", 1},
                         {"version", QV_PRODUCT_VERSION},
                         {"computer", ComputerName()},
                         {"started", QvText::IsoUtc(record.Started())},
                         {"ended", QvText::IsoUtc(ended)},
                         {"mode", record.Mode()},
                         {"exitCode", exitCode},
                         {"describedExitCode", describedExitCode},
                         {"restartNeeded", record.RestartNeeded()},
                         {"restartTriggered", record.RestartTriggered()},
                         {"products", std::move(products)},
                         {"undo", UndoOf(UndoMaterial::Instance())}};
  return document.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

void Write(const std::wstring& path, int exitCode, int describedExitCode) {
  std::wstring error;
  if (FileReplace::Write(path, Document(exitCode, describedExitCode), error))
    QV_BREL_LOG(QV_INFO, L"Report written to '%s'", path.c_str());
  else
    QV_BREL_LOG(QV_ERROR, L"Failed to write the report '%s': %s", path.c_str(), error.c_str());
}

}  // namespace RunReport
