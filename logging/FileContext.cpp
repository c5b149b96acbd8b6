// Log file location, directories, rotation and the cross-process lock.
#include "logging/FileContext.h"

#include "base/PathText.h"

#include "logging/QvBrelLogging.h"

namespace QvBrelLogging {

namespace {

constexpr GUID kFolderProgramData = {
    0x62AB5D82, 0xFDC1, 0x4DC3, {0xA9, 0xDD, 0x07, 0x0D, 0x1D, 0x49, 0x5D, 0x97}};
constexpr GUID kFolderLocalAppDataLow = {
    0xA520A1A4, 0x1780, 0x4FF6, {0xBD, 0x18, 0x16, 0x73, 0x43, 0xC5, 0xAF, 0x16}};
constexpr GUID kFolderLocalAppData = {
    0xF1B32785, 0x6FBA, 0x4FCF, {0x9D, 0x55, 0x7B, 0x8E, 0x7F, 0x15, 0x70, 0x91}};

// Full access for SYSTEM and Administrators, read and execute for authenticated users, inherited.
constexpr wchar_t kDirectorySddl[] = L"D:(A;OICI;GA;;;SY)(A;OICI;GA;;;BA)(A;OICI;GRGX;;;AU)";
constexpr wchar_t kRestrictedDirectorySddl[] = L"D:(A;;GA;;;SY)(A;;GA;;;BA)";
constexpr wchar_t kMutexSddl[] = L"D:(A;;GA;;;SY)(A;;GA;;;BA)";

constexpr DWORD kMutexWaitMs = 500;
constexpr DWORD kDefaultMaxSizeKb = 50;

// SYSTEM, BUILTIN\Administrators, NT SERVICE\TrustedInstaller.
constexpr const wchar_t* kTrustedOwners[] = {
    L"S-1-5-18", L"S-1-5-32-544", L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464"};

bool IsTrustedOwner(const std::wstring& owner, const std::wstring& rootOwner) {
  if (owner.empty()) return false;
  for (const wchar_t* trusted : kTrustedOwners)
    if (owner == trusted) return true;
  // Whoever owns the known folder controls everything below it anyway; a file system that keeps
  // no owners reports that same owner for every folder.
  return owner == rootOwner;
}

bool SameText(const std::wstring& a, const std::wstring& b) {
  return ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()),
                                TRUE) == CSTR_EQUAL;
}

}  // namespace

FileContextBase::FileContextBase(std::unique_ptr<LogFileIo::Path> fileSystem, std::wstring nameSpace,
                                 std::wstring component, std::wstring fileName, unsigned flags)
    : fileSystem_(std::move(fileSystem)),
      nameSpace_(std::move(nameSpace)),
      component_(std::move(component)),
      fileName_(std::move(fileName)),
      flags_(flags) {}

FileContextBase::~FileContextBase() = default;

bool FileContextBase::Initialize() {
  if (initialized_) return false;
  elevated_ = QueryElevated();
  std::wstring folder;
  if (elevated_) {
    folder = Platform::GetKnownFolder(kFolderProgramData);
    // Inheritable entries of ProgramData still apply to the folders below it.
    security_ = std::make_unique<SecurityAttributes>(SecurityAttributes::FromSddl(
        (flags_ & FlagRestrictedDirectories) ? kRestrictedDirectorySddl : kDirectorySddl, false));
  } else if (QueryLowIntegrity()) {
    folder = Platform::GetKnownFolder(kFolderLocalAppDataLow);
    lowIntegrity_ = true;
  } else {
    folder = Platform::GetKnownFolder(kFolderLocalAppData);
  }
  initialized_ = true;
  return BuildLogPath(folder, elevated_);
}

bool FileContextBase::QueryElevated() { return Platform::IsElevated(); }

bool FileContextBase::QueryLowIntegrity() { return Platform::IsLowIntegrity(); }

std::wstring FileContextBase::QueryFolderOwner(const std::wstring&, HANDLE folder) {
  return Platform::GetOwnerSidString(folder);
}

bool FileContextBase::PinFolders(LogFileIo::FolderPins& pins, bool existingOnly, const std::wstring& path) {
  if (!pins.Pin(root_, path, existingOnly)) {
    if (path == folder_) ReportRefusal(L"'" + folder_ + L"' is not a chain of real folders");
    return false;
  }
  const auto& folders = pins.Folders();
  const std::wstring rootOwner = QueryFolderOwner(folders.front().path, folders.front().handle);
  for (std::size_t i = 1; i < folders.size(); ++i) {
    const std::wstring owner = QueryFolderOwner(folders[i].path, folders[i].handle);
    if (IsTrustedOwner(owner, rootOwner)) continue;
    // Its owner could have made it, or could still make it, lead anywhere.
    if (path == folder_)
      ReportRefusal(L"'" + folders[i].path + L"' is owned by " +
                    (owner.empty() ? L"an unknown owner" : owner) +
                    L", not by SYSTEM, Administrators or TrustedInstaller");
    pins.Release();
    return false;
  }
  return true;
}

void FileContextBase::ReportRefusal(const std::wstring& reason) {
  if (refusalReported_) return;
  refusalReported_ = true;
  ::OutputDebugStringW((L"QvBrelLogging: no log file: " + reason + L"\r\n").c_str());
}

std::wstring FileContextBase::LeafName(int index) const {
  return GetFileName(index).substr(folder_.size() + 1);
}

void FileContextBase::RotateIn(const LogFileIo::FolderPins& pins, int count) {
  fileSystem_->DeleteIn(pins, LeafName(count));
  for (int i = count - 1; i >= 0; --i) fileSystem_->RenameIn(pins, LeafName(i), LeafName(i + 1));
}

void FileContextBase::Rotate(int count) {
  if (guarded_) {
    LogFileIo::FolderPins pins;
    if (!basePath_.empty() && PinFolders(pins)) RotateIn(pins, count);
    return;
  }
  for (int i = 0; i <= count; ++i) {
    if (i == 0) {
      fileSystem_->Delete(GetFileName(count));
      continue;
    }
    const std::wstring from = GetFileName(count - i);
    if (fileSystem_->FileExists(from)) fileSystem_->Rename(from, GetFileName(count - i + 1));
  }
}

bool FileContextBase::BuildLogPath(const std::wstring& folder, bool elevated) {
  basePath_.clear();
  // Without its known folder the walk would start at the root of whatever drive is current:
  // rather log nothing.
  if (folder.empty()) return false;
  std::wstring path = folder + L"\\Quorvel";
  if (!nameSpace_.empty() && nameSpace_ != L"default")
    path += L"\\NS\\" + nameSpace_ + L"\\Log\\" + component_;
  else
    path += L"\\Log\\" + component_;
  root_ = folder;
  folder_ = path;
  guarded_ = elevated;
  if (elevated) {
    // Folders someone already made are checked before anything is made inside them, and held so
    // that none is swapped while the rest is made.
    LogFileIo::FolderPins existing;
    if (!PinFolders(existing, true)) return false;
    if (!fileSystem_->CreateDirectories(path, folder.size() + 1, Security())) return false;
    LogFileIo::FolderPins pins;
    if (!PinFolders(pins)) return false;
  } else if (!fileSystem_->CreateDirectories(path, folder.size() + 1, Security())) {
    return false;
  }
  basePath_ = path + L"\\" + fileName_;
  if (elevated && (flags_ & FlagUserSidInFileName)) basePath_ += L"." + Platform::GetUserSidString();
  return true;
}

bool FileContextBase::PinBelowLogFolder(const std::wstring& relative, bool create,
                                        SECURITY_ATTRIBUTES* security, LogFileIo::FolderPins& pins) {
  pins.Release();
  if (basePath_.empty() || relative.empty() || relative.back() == L'\\') return false;
  const std::wstring path = folder_ + L"\\" + relative;
  if (QvPath::CheckCanonical(path) != QvPath::PathProblem::None) return false;
  if (create) {
    // As for the log folder: what exists is checked and held before anything is made inside it.
    LogFileIo::FolderPins existing;
    if (guarded_ && !PinFolders(existing, true, path)) return false;
    if (!fileSystem_->CreateDirectories(path, folder_.size() + 1, security)) return false;
  }
  return guarded_ ? PinFolders(pins, false, path) : pins.Pin(root_, path);
}

std::wstring FileContextBase::GetFileName(int index) const {
  if (index == 0) return basePath_ + L".log";
  return basePath_ + L"." + std::to_wstring(index) + L".log";
}

FileContext::FileContext(std::unique_ptr<LogFileIo::Path> fileSystem, std::wstring nameSpace,
                         std::wstring component, std::wstring fileName, int level, unsigned flags)
    : FileContextBase(std::move(fileSystem), std::move(nameSpace), std::move(component), std::move(fileName),
                      flags),
      level_(level) {
  file_ = fileSystem_->NewFile();
}

FileContext::~FileContext() {
  mutex_.reset();
  file_.reset();
}

bool FileContext::Initialize() {
  DWORD maxSizeKb = kDefaultMaxSizeKb;
  Platform::ReadLoggingDword(L"LogMaxSizeKB", maxSizeKb);
  sizeLimit_ = static_cast<std::int64_t>(maxSizeKb) * 1024;

  if (!FileContextBase::Initialize()) return false;
  if (basePath_.empty()) return true;

  if (flags_ & FlagUnnamedMutex) {
    mutex_.reset(::CreateMutexW(nullptr, FALSE, nullptr));
    return true;
  }
  const std::wstring name = GetMutexName(lowIntegrity_);
  SecurityAttributes mutexSecurity = SecurityAttributes::FromSddl(elevated_ ? kMutexSddl : nullptr, false);
  mutex_.reset(::CreateMutexW(mutexSecurity.Get(), FALSE, name.c_str()));
  // Created by a more privileged writer: waiting and releasing is all we need.
  if (!mutex_ && ::GetLastError() == ERROR_ACCESS_DENIED)
    mutex_.reset(::OpenMutexW(SYNCHRONIZE, FALSE, name.c_str()));
  return true;
}

bool FileContext::AcquireMutex() {
  if (!mutex_) return false;
  const DWORD result = ::WaitForSingleObject(mutex_.get(), kMutexWaitMs);
  return result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
}

void FileContext::Write(std::string_view line) {
  if (!AcquireMutex()) return;
  EnsureOpen();
  file_->Write(line.data(), line.size());
  ::ReleaseMutex(mutex_.get());
}

void FileContext::Flush() {
  if (!AcquireMutex()) return;
  file_->Flush();
  ::ReleaseMutex(mutex_.get());
}

int FileContext::GetLevel() {
  DWORD level = static_cast<DWORD>(level_);
  Platform::ReadLoggingDword(L"LogLevel", level);
  return static_cast<int>(level);
}

bool FileContext::OpenFile(const LogFileIo::FolderPins& pins) {
  return guarded_ ? file_->OpenIn(pins, LeafName(0), Security()) : file_->Open(GetFileName(0), Security());
}

bool FileContext::OpenCurrent(const LogFileIo::FolderPins& pins) {
  if (!OpenFile(pins)) return false;
  // The current file may still hold lines (a rotation that could not move it away): append.
  file_->SeekToEnd();
  return true;
}

bool FileContext::EnsureOpen() {
  if (file_->IsOpen()) {
    if (file_->SeekToEnd() < sizeLimit_) return true;
    file_->Close();
  }
  if (basePath_.empty()) return false;
  // Held until the file is open again: its folders cannot be swapped meanwhile.
  LogFileIo::FolderPins pins;
  if (guarded_ && !PinFolders(pins)) return false;
  if (OpenFile(pins)) {
    if (file_->SeekToEnd() < sizeLimit_) return true;
    file_->Close();
  }
  // Full, or unusable (a second hard link, a link): move it aside and start a new one.
  if (guarded_)
    RotateIn(pins, 2);
  else
    Rotate(2);
  return OpenCurrent(pins);
}

void FileContext::SafeDelete(const std::wstring& path) {
  const std::wstring suffix = L"__delete_" + std::to_wstring(::GetTickCount64());
  if (!guarded_) {
    const std::wstring aside = path + suffix;
    fileSystem_->Delete(fileSystem_->Rename(path, aside) ? aside : path);
    return;
  }
  const std::size_t separator = path.rfind(L'\\');
  if (basePath_.empty() || separator == std::wstring::npos || !SameText(path.substr(0, separator), folder_))
    return;
  LogFileIo::FolderPins pins;
  if (!PinFolders(pins)) return;
  const std::wstring name = path.substr(separator + 1);
  const std::wstring aside = name + suffix;
  fileSystem_->DeleteIn(pins, fileSystem_->RenameIn(pins, name, aside) ? aside : name);
}

std::wstring FileContext::GetMutexName(bool lowIntegrity) const {
  std::wstring name = lowIntegrity ? L"Local\\QvBrelLogging_" : L"Global\\QvBrelLogging_";
  for (const wchar_t c : basePath_) name.push_back(c == L'\\' ? L'_' : c);
  return name;
}

}  // namespace QvBrelLogging
