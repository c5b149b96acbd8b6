// The log file of one logger: where it lives, its directories and access rights, size limit and
// rotation through three generations, and the named mutex shared with other writing processes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "base/SecurityAttributes.h"
#include "logging/FileSystem.h"
#include "logging/LogPlatform.h"

namespace QvBrelLogging {

class FileContextBase {
 public:
  FileContextBase(std::unique_ptr<FileSystem::Path> fileSystem, std::wstring nameSpace,
                  std::wstring component, std::wstring fileName, unsigned flags);
  FileContextBase(const FileContextBase&) = delete;
  FileContextBase& operator=(const FileContextBase&) = delete;
  virtual ~FileContextBase();

  // Chooses the folder and creates the directories the first time it is called; true only then, and
  // only when that succeeded.
  virtual bool Initialize();
  // Deletes generation `count`, then shifts every older one up by one: base.log becomes base.1.log.
  virtual void Rotate(int count);
  // <folder>\Quorvel[\NS\<namespace>]\Log\<component>, made of real directories; sets the base path
  // (left empty on failure).
  virtual bool BuildLogPath(const std::wstring& folder, bool elevated);
  // Index 0: "<base>.log"; n > 0: "<base>.<n>.log".
  virtual std::wstring GetFileName(int index) const;

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

  std::unique_ptr<FileSystem::Path> fileSystem_;
  std::wstring nameSpace_;
  std::wstring component_;
  std::wstring fileName_;
  unsigned flags_;
  bool initialized_ = false;
  std::wstring basePath_;
  std::unique_ptr<SecurityAttributes> security_;
  bool elevated_ = false;
  bool lowIntegrity_ = false;
};

class FileContext : public FileContextBase {
 public:
  // Touches nothing on disk; `level` is the default for the "LogLevel" value.
  FileContext(std::unique_ptr<FileSystem::Path> fileSystem, std::wstring nameSpace, std::wstring component,
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
  // Moves the file aside under a unique name, then deletes it.
  virtual void SafeDelete(const std::wstring& path);
  // "Global\QvBrelLogging_" (or "Local\…" at low integrity) + base path with '\' replaced by '_'.
  virtual std::wstring GetMutexName(bool lowIntegrity) const;

  std::int64_t GetSizeLimit() const { return sizeLimit_; }

 private:
  bool AcquireMutex();
  bool OpenCurrent();

  int level_;
  UniqueHandle mutex_;
  std::int64_t sizeLimit_ = 50 * 1024;
  std::unique_ptr<FileSystem::File> file_;
};

}  // namespace QvBrelLogging
