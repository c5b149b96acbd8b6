// The run's undo folder, its registry file and its list of deleted files.
#include "sysops/UndoMaterial.h"

#include <algorithm>
#include <cwchar>
#include <cwctype>

#include "base/ChangeJournal.h"
#include "base/DirectoryListing.h"
#include "base/SecurityAttributes.h"
#include "base/UniqueHandle.h"
#include "base/UtcText.h"
#include "base/Utf8.h"
#include "core/Status.h"
#include "logging/LogFolder.h"
#include "logging/QvBrelLogging.h"
#include "sysops/FileDigest.h"

namespace {

namespace LogFiles = QvBrelLogging::LogFileIo;

constexpr wchar_t kUndoFolder[] = L"Undo";
// Full access for SYSTEM and Administrators only, nothing inherited from above: the exports hold
// other users' registry data.
constexpr wchar_t kUndoFolderSddl[] = L"D:(A;OICI;GA;;;SY)(A;OICI;GA;;;BA)";
constexpr char kFileListHeader[] = "path\tsize\tlastWrite\tsha256\tremoval\r\n";

// A run folder's name: a stamp, optionally "-<n>" for a second run within the same second.
bool IsRunName(const std::wstring& name) {
  constexpr std::size_t kStampLength = 16;
  if (name.size() < kStampLength || name[8] != L'T' || name[15] != L'Z') return false;
  for (std::size_t i = 0; i < kStampLength; ++i)
    if (i != 8 && i != 15 && !std::iswdigit(name[i])) return false;
  if (name.size() == kStampLength) return true;
  if (name[kStampLength] != L'-' || name.size() == kStampLength + 1) return false;
  return std::all_of(name.begin() + kStampLength + 1, name.end(), [](wchar_t c) { return std::iswdigit(c); });
}

// Oldest first: the stamp, then the number of a same-second run.
bool RunsInOrder(const std::wstring& a, const std::wstring& b) {
  const std::wstring stampA = a.substr(0, 16), stampB = b.substr(0, 16);
  if (stampA != stampB) return stampA < stampB;
  const auto number = [](const std::wstring& name) {
    return name.size() > 17 ? std::wcstoul(name.c_str() + 17, nullptr, 10) : 1ul;
  };
  return number(a) < number(b);
}

std::vector<std::wstring> EntriesOf(const LogFiles::FolderPins& pins, bool folders) {
  std::vector<std::wstring> names;
  QvPath::DirectoryListing listing(pins.Resolved() + L"\\*");
  while (listing.Next())
    if (listing.IsDirectory() == folders) names.emplace_back(listing.Name());
  return names;
}

// A path as one field: Windows names hold no control characters; one that comes from elsewhere
// (a host file system) would break the line, so it is written as U+FFFD.
std::string Field(const std::wstring& text) {
  std::wstring clean = text;
  for (wchar_t& c : clean)
    if (c < 0x20 || c == 0x7F) c = 0xFFFD;
  return QvText::ToUtf8(clean);
}

ChangeJournal& Journal() { return ChangeJournal::Instance(); }

}  // namespace

UndoMaterial& UndoMaterial::Instance() {
  static UndoMaterial material;
  return material;
}

void UndoMaterial::Begin(const FILETIME& started, bool required) {
  std::lock_guard lock(mutex_);
  active_ = true;
  started_ = started;
  required_ = required;
}

bool UndoMaterial::BeforeBranchDeletion(const RegOps::CheckedBranch& branch, RegExport::HeldKey* held) {
  if (!Active() || branch.Parent() == nullptr || Journal().Planning()) return true;
  std::wstring text;
  RegExport::HeldKey keys;
  const RegExport::Result result =
      RegExport::AppendBranch(branch.Root(), branch.Parent(), branch.Name(), branch.View(), text,
                              kExportLimitBytes / sizeof(wchar_t), held != nullptr ? &keys : nullptr);
  bool written = false;
  const bool go = Keep(result, text, RegistryTarget(branch.Root(), branch.Text(), branch.View()), written);
  // Only what is on disk may go by the held keys; anything else goes by the deletion's own walk.
  if (go && written && held != nullptr) *held = std::move(keys);
  return go;
}

bool UndoMaterial::BeforeValueDeletion(const RegOps::CheckedBranch& branch, const std::wstring& value) {
  if (!Active() || branch.Parent() == nullptr || Journal().Planning()) return true;
  std::wstring text;
  const RegExport::Result result =
      RegExport::AppendValue(branch.Parent(), branch.Name(), branch.View(), value, text);
  bool written = false;
  return Keep(result, text, RegistryTarget(branch.Root(), branch.Text(), branch.View(), &value), written);
}

bool UndoMaterial::Keep(RegExport::Result result, const std::wstring& text, const std::wstring& target,
                        bool& written) {
  std::lock_guard lock(mutex_);
  written = false;
  if (!active_) return true;
  switch (result) {
    case RegExport::Result::Missing:
      return true;
    case RegExport::Result::TooLarge:
      QV_BREL_LOG(QV_WARNING, L"Deleting '%s' without an export: it is larger than %u MiB as registry text",
                  target.c_str(), static_cast<unsigned>(kExportLimitBytes >> 20));
      return true;
    case RegExport::Result::Written:
      if (text == lastExport_) return written = true;
      if (OpenRunFolder() &&
          OpenFile(kRegistryFileName, registryFile_, RegExport::FileBytes(RegExport::Header())) &&
          registryFile_->Write(text.data(), text.size() * sizeof(wchar_t))) {
        lastExport_ = text;
        return written = true;
      }
      QV_BREL_LOG(QV_ERROR, L"Failed to write the export of '%s' to the undo folder", target.c_str());
      break;
    case RegExport::Result::Failed:
      QV_BREL_LOG(QV_ERROR, L"Failed to export '%s' before its deletion", target.c_str());
      break;
  }
  if (!required_) return true;
  QV_BREL_LOG(QV_ERROR, L"Not deleting '%s': --require-undo is given and it could not be exported",
              target.c_str());
  Status::Instance().SetFailed();
  return false;
}

UndoMaterial::FileFacts UndoMaterial::DescribeFile(const std::wstring& systemPath,
                                                   const std::wstring& display) const {
  FileFacts facts;
  facts.path = display;
  if (!Active() || Journal().Planning()) return facts;
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!::GetFileAttributesExW(systemPath.c_str(), GetFileExInfoStandard, &data)) return facts;
  facts.found = true;
  facts.size = (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  facts.lastWrite = data.ftLastWriteTime;
  // A link's target is neither read nor listed as what was deleted.
  if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) return facts;
  const UniqueFileHandle file(::CreateFileW(
      systemPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  // Locked or unreadable: listed without its digest.
  if (file) facts.sha256 = FileDigest::Sha256(file.get());
  return facts;
}

void UndoMaterial::ListDeletedFile(const FileFacts& facts, bool scheduled) {
  if (!facts.found) return;
  std::lock_guard lock(mutex_);
  if (!active_) return;
  const std::string line = Field(facts.path) + "\t" + std::to_string(facts.size) + "\t" +
                           QvText::IsoUtc(facts.lastWrite) + "\t" + QvText::ToUtf8(facts.sha256) + "\t" +
                           (scheduled ? "restart" : "deleted") + "\r\n";
  if (!OpenRunFolder() || !OpenFile(kFileListName, fileList_, kFileListHeader) ||
      !fileList_->Write(line.data(), line.size()))
    QV_BREL_LOG(QV_ERROR, L"Failed to list the deleted file '%s' in the undo folder", facts.path.c_str());
}

std::wstring UndoMaterial::Folder() const {
  std::lock_guard lock(mutex_);
  return folderState_ == FolderState::Open ? folder_ : std::wstring();
}

std::vector<std::wstring> UndoMaterial::Files() const {
  std::lock_guard lock(mutex_);
  return files_;
}

bool UndoMaterial::Active() const {
  std::lock_guard lock(mutex_);
  return active_;
}

void UndoMaterial::End() {
  std::lock_guard lock(mutex_);
  active_ = false;
  registryFile_.reset();
  fileList_.reset();
}

void UndoMaterial::Reset() {
  std::lock_guard lock(mutex_);
  registryFile_.reset();
  fileList_.reset();
  active_ = false;
  started_ = {};
  required_ = false;
  folderState_ = FolderState::NotYet;
  runName_.clear();
  folder_.clear();
  files_.clear();
  lastExport_.clear();
}

bool UndoMaterial::OpenRunFolder() {
  if (folderState_ != FolderState::NotYet) return folderState_ == FolderState::Open;
  folderState_ = FolderState::Refused;
  FILETIME started = started_;
  if (started.dwLowDateTime == 0 && started.dwHighDateTime == 0) ::GetSystemTimeAsFileTime(&started);
  const std::wstring stamp = QvText::UtcStamp(started);
  SecurityAttributes security = SecurityAttributes::FromSddl(kUndoFolderSddl, true);
  LogFiles::FolderPins undo;
  if (stamp.empty() || !QvBrelLogging::PinBelowLogFolder(kUndoFolder, true, security.Get(), undo)) {
    QV_BREL_LOG(QV_ERROR, L"No undo material for this run: the folder '%s\\%s' cannot be made safely",
                QvBrelLogging::LogFolder().c_str(), kUndoFolder);
    return false;
  }
  // A run within the same second as an earlier one gets a number.
  const std::vector<std::wstring> existing = EntriesOf(undo, true);
  runName_ = stamp;
  for (unsigned number = 2; std::find(existing.begin(), existing.end(), runName_) != existing.end(); ++number)
    runName_ = stamp + L"-" + std::to_wstring(number);
  undo.Release();
  const std::wstring relative = std::wstring(kUndoFolder) + L"\\" + runName_;
  LogFiles::FolderPins run;
  if (!QvBrelLogging::PinBelowLogFolder(relative, true, security.Get(), run)) {
    QV_BREL_LOG(QV_ERROR, L"No undo material for this run: the folder '%s\\%s' cannot be made safely",
                QvBrelLogging::LogFolder().c_str(), relative.c_str());
    return false;
  }
  folder_ = run.Folders().back().path;
  folderState_ = FolderState::Open;
  QV_BREL_LOG(QV_INFO, L"Undo material of this run: '%s'", folder_.c_str());
  RemoveOldRuns();
  return true;
}

bool UndoMaterial::OpenFile(const wchar_t* name, std::unique_ptr<LogFiles::File>& file,
                            const std::string& firstBytes) {
  if (file) return file->IsOpen();
  file = std::make_unique<LogFiles::File>();
  LogFiles::FolderPins run;
  // Made new: the name is this run's own, a file already there is not.
  if (!QvBrelLogging::PinBelowLogFolder(std::wstring(kUndoFolder) + L"\\" + runName_, false, nullptr, run) ||
      !file->OpenIn(run, name, nullptr) || file->SeekToEnd() != 0 ||
      !file->Write(firstBytes.data(), firstBytes.size())) {
    file->Close();
    return false;
  }
  files_.push_back(folder_ + L"\\" + name);
  return true;
}

void UndoMaterial::RemoveOldRuns() {
  LogFiles::FolderPins undo;
  if (!QvBrelLogging::PinBelowLogFolder(kUndoFolder, false, nullptr, undo)) return;
  std::vector<std::wstring> runs;
  for (const std::wstring& name : EntriesOf(undo, true))
    if (IsRunName(name)) runs.push_back(name);
  undo.Release();
  if (runs.size() <= kRunsKept) return;
  std::sort(runs.begin(), runs.end(), RunsInOrder);
  runs.resize(runs.size() - kRunsKept);
  LogFiles::Path files;
  for (const std::wstring& name : runs) {
    if (name == runName_) continue;
    const std::wstring relative = std::wstring(kUndoFolder) + L"\\" + name;
    bool removed = false;
    LogFiles::FolderPins run;
    if (QvBrelLogging::PinBelowLogFolder(relative, false, nullptr, run)) {
      for (const std::wstring& file : EntriesOf(run, false)) files.DeleteIn(run, file);
      run.Release();
      removed = QvBrelLogging::PinBelowLogFolder(kUndoFolder, false, nullptr, undo) &&
                files.RemoveEmptyFolderIn(undo, name);
      undo.Release();
    }
    if (removed)
      QV_BREL_LOG(QV_INFO, L"Removed the undo material of an earlier run: '%s'", name.c_str());
    else
      QV_BREL_LOG(QV_WARNING, L"Failed to remove the undo material of an earlier run: '%s'", name.c_str());
  }
}
