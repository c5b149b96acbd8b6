// The log file of one logger: where it lives, its directories and access rights, size limit and
// rotation through three generations, and the named mutex shared with other writing processes.
// Elevated, the file is only ever reached through pinned folders owned by the system or the
// administrators, and never through a link.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "base/SecurityAttributes.h"
#include "logging/LogFileIo.h"
#include "logging/LogPlatform.h"

namespace QvBrelLogging {

class FileContextBase {
 public:
  FileContextBase(std::unique_ptr<LogFileIo::Path> fileSystem, std::wstring nameSpace, std::wstring component,
                  std::wstring fileName, unsigned flags);
  FileContextBase(const FileContextBase&) = delete;
  FileContextBase& operator=(const FileContextBase&) = delete;
  virtual ~FileContextBase();

  // Chooses the folder and creates the directories the first time it is called; true only then, and
  // only when that succeeded.
  virtual bool Initialize();
  // Deletes generation `count`, then shifts every older one up by one: base.log becomes base.1.log.
  // Elevated, with the folders pinned, and removing a link in a generation's place as a link.
  virtual void Rotate(int count);
  // <folder>\Quorvel[\NS\<namespace>]\Log\<component>, made of real directories; sets the base path
  // (left empty on failure). Elevated, also fails when a folder below `folder` is owned by anyone
  // but SYSTEM, Administrators or TrustedInstaller (or the owner of `folder` itself), or cannot be
  // pinned as a real folder.
  virtual bool BuildLogPath(const std::wstring& folder, bool elevated);
  // Index 0: "<base>.log"; n > 0: "<base>.<n>.log".
  virtual std::wstring GetFileName(int index) const;
  // The folder `relative` ("A\\B") below the log folder, pinned with the log folder's checks:
  // real folders all the way (with `create`, missing ones are made with `security` and a link in
  // the way is replaced) and, elevated, every one owned as the log folder must be. False, holding
  // nothing, without a log folder, for a path that is not canonical (base/PathText.h), or on
  // refusal.
  bool PinBelowLogFolder(const std::wstring& relative, bool create, SECURITY_ATTRIBUTES* security,
                         LogFileIo::FolderPins& pins);

  // Directory plus file name without extension; empty until resolved or when resolving failed.
  const std::wstring& GetBasePath() const { return basePath_; }
  bool IsElevated() const { return elevated_; }
  bool IsLowIntegrity() const { return lowIntegrity_; }

 protected:
  SECURITY_ATTRIBUTES* Security() { return security_ ? security_->Get() : nullptr; }
  // The process token's facts that choose the folder; replaceable because a test machine cannot
  // always produce them (a low-integrity token, for one).
  virtual bool QueryElevated();
  virtual bool QueryLowIntegrity();
  // String SID of the owner of a pinned folder (opened with READ_CONTROL); empty when unknown.
  // Replaceable because a test machine may keep no file owners.
  virtual std::wstring QueryFolderOwner(const std::wstring& path, HANDLE folder);

  // Pins the known folder and every folder down to the log folder and checks their owners; false,
  // holding nothing, on refusal. With `existingOnly`, pins and checks only what exists up to the
  // first missing folder or link.
  bool PinFolders(LogFileIo::FolderPins& pins, bool existingOnly = false) {
    return PinFolders(pins, existingOnly, folder_);
  }
  // The same for `path`, the log folder or a folder below it.
  bool PinFolders(LogFileIo::FolderPins& pins, bool existingOnly, const std::wstring& path);
  void RotateIn(const LogFileIo::FolderPins& pins, int count);
  // GetFileName(index) without the folder.
  std::wstring LeafName(int index) const;
  // Tells the debugger, once per context, why there is no log file.
  void ReportRefusal(const std::wstring& reason);

  std::unique_ptr<LogFileIo::Path> fileSystem_;
  std::wstring nameSpace_;
  std::wstring component_;
  std::wstring fileName_;
  unsigned flags_;
  bool initialized_ = false;
  std::wstring basePath_;
  std::unique_ptr<SecurityAttributes> security_;
  bool elevated_ = false;
  bool lowIntegrity_ = false;
  // Known folder and log folder of the base path; the file is reached through pins when guarded.
  std::wstring root_;
  std::wstring folder_;
  bool guarded_ = false;
  bool refusalReported_ = false;
};

class FileContext : public FileContextBase {
 public:
  // Touches nothing on disk; `level` is the default for the "LogLevel" value.
  FileContext(std::unique_ptr<LogFileIo::Path> fileSystem, std::wstring nameSpace, std::wstring component,
              std::wstring fileName, int level, unsigned flags);
  ~FileContext() override;

  // Re-reads the size limit on every call; resolves the file and creates its mutex the first time.
  bool Initialize() override;
  // Appends one line under the mutex (waiting at most 500 ms, else the line is lost).
  virtual void Write(std::string_view line);
  virtual void Flush();
  // "LogLevel" from the registry, or the initialisation level.
  virtual int GetLevel();
  // Opens the current file, rotating first when it is full or cannot be used.
  virtual bool EnsureOpen();
  // Moves the file aside under a unique name, then deletes it. Elevated, only a file of the log
  // folder, through the pinned folders.
  virtual void SafeDelete(const std::wstring& path);
  // "Global\QvBrelLogging_" (or "Local\…" at low integrity) + base path with '\' replaced by '_'.
  virtual std::wstring GetMutexName(bool lowIntegrity) const;

  std::int64_t GetSizeLimit() const { return sizeLimit_; }

 private:
  bool AcquireMutex();
  // Through `pins` when guarded.
  bool OpenFile(const LogFileIo::FolderPins& pins);
  bool OpenCurrent(const LogFileIo::FolderPins& pins);

  int level_;
  UniqueHandle mutex_;
  std::int64_t sizeLimit_ = 50 * 1024;
  std::unique_ptr<LogFileIo::File> file_;
};

}  // namespace QvBrelLogging
