// The log file context on the real file system: location, mutex, size limit, rotation, and the
// refusal to write through hard links or linked directories.
#include "logging/FileContext.h"

#include <shlobj.h>

#include <gtest/gtest.h>

#include <thread>

#include "LogTestSupport.h"
#include "logging/QvBrelLogging.h"

namespace {

using LogTest::ReadFileBytes;
using QvBrelLogging::FileContext;

class FileContextTest : public LogTest::LoggingTest {
 protected:
  std::unique_ptr<FileContext> NewContext(unsigned flags = 0) {
    return std::make_unique<FileContext>(std::make_unique<QvBrelLogging::LogFileIo::Path>(), L"", component_,
                                         L"app", QvBrelLogging::LevelInfo, flags);
  }
  std::wstring Generation(int index) const {
    return index == 0 ? LogFile(L"app") : Dir() + L"\\app." + std::to_wstring(index) + L".log";
  }
  std::string Content(int index) const { return ReadFileBytes(Generation(index)).value_or("<missing>"); }
  // A scratch folder of the test's own, removed after the test.
  std::wstring Scratch(const wchar_t* prefix) {
    scratch_.push_back(std::make_unique<QvTest::ScratchDir>(prefix));
    EXPECT_TRUE(scratch_.back()->Created());
    return scratch_.back()->Path();
  }
  // Gives Dir() its parents, so a test can put something where the component folder goes.
  void CreateParents() {
    const std::wstring quorvel = LogTest::ProgramData() + L"\\Quorvel";
    ::CreateDirectoryW(quorvel.c_str(), nullptr);
    ::CreateDirectoryW((quorvel + L"\\Log").c_str(), nullptr);
  }

  std::vector<std::unique_ptr<QvTest::ScratchDir>> scratch_;
};

bool MutexExists(const std::wstring& name) {
  return UniqueHandle(::OpenMutexW(SYNCHRONIZE, FALSE, name.c_str())).valid();
}

using QvTest::ListFolder;

}  // namespace

TEST_F(FileContextTest, ResolvesOnceIntoProgramDataWithNamedMutex) {
  auto context = NewContext();
  EXPECT_FALSE(QvTest::DirectoryExists(Dir()));  // nothing on disk before Initialize
  ASSERT_TRUE(context->Initialize());
  if (!context->IsElevated()) GTEST_SKIP() << "tests are expected to run as an administrator";
  EXPECT_FALSE(context->IsLowIntegrity());
  EXPECT_EQ(context->GetBasePath(), Dir() + L"\\app");
  EXPECT_TRUE(QvTest::DirectoryExists(Dir()));
  EXPECT_FALSE(context->Initialize());  // resolved once only
  EXPECT_EQ(context->GetFileName(0), Dir() + L"\\app.log");
  EXPECT_EQ(context->GetFileName(2), Dir() + L"\\app.2.log");

  std::wstring expected = L"Global\\QvBrelLogging_" + Dir() + L"\\app";
  for (std::size_t i = 7; i < expected.size(); ++i)
    if (expected[i] == L'\\') expected[i] = L'_';
  EXPECT_EQ(context->GetMutexName(false), expected);
  EXPECT_EQ(context->GetMutexName(true), L"Local" + expected.substr(6));
  EXPECT_TRUE(MutexExists(expected));
  context.reset();
  EXPECT_FALSE(MutexExists(expected));

  // Flag 0x01: a private mutex, still serialising this context's writes.
  context = NewContext(QvBrelLogging::FlagUnnamedMutex);
  ASSERT_TRUE(context->Initialize());
  EXPECT_FALSE(MutexExists(expected));
  context->Write("private\r\n");
  context->Flush();
  EXPECT_EQ(Content(0), "private\r\n");
}

// Wine accepts a low integrity level for a new token but ignores it, so the token facts are replaced.
class LowIntegrityContext : public FileContext {
 public:
  using FileContext::FileContext;

 protected:
  bool QueryElevated() override { return false; }
  bool QueryLowIntegrity() override { return true; }
};

TEST_F(FileContextTest, LowIntegrityUsesLocalAppDataLowAndASessionMutex) {
  const std::wstring lowDir =
      LogTest::KnownFolder(FOLDERID_LocalAppDataLow) + L"\\Quorvel\\Log\\" + component_;
  Claim(lowDir);
  LowIntegrityContext context(std::make_unique<QvBrelLogging::LogFileIo::Path>(), L"", component_, L"app",
                              QvBrelLogging::LevelInfo, 0);
  ASSERT_TRUE(context.Initialize());
  EXPECT_FALSE(context.IsElevated());
  EXPECT_TRUE(context.IsLowIntegrity());
  EXPECT_EQ(context.GetBasePath(), lowDir + L"\\app");
  EXPECT_TRUE(MutexExists(context.GetMutexName(true)));
  EXPECT_FALSE(MutexExists(context.GetMutexName(false)));
  context.Write("low\r\n");
  EXPECT_EQ(ReadFileBytes(lowDir + L"\\app.log").value_or(""), "low\r\n");
  EXPECT_FALSE(QvTest::DirectoryExists(Dir()));
}

TEST_F(FileContextTest, SizeLimitIsReadAtEveryInitialize) {
  auto context = NewContext();
  ASSERT_TRUE(context->Initialize());
  EXPECT_EQ(context->GetSizeLimit(), 50 * 1024);
  SetRegistryDword(L"LogMaxSizeKB", 7);
  EXPECT_FALSE(context->Initialize());
  EXPECT_EQ(context->GetSizeLimit(), 7 * 1024);
  EXPECT_EQ(context->GetLevel(), QvBrelLogging::LevelInfo);
  SetRegistryDword(L"LogLevel", 0xFFFFFFFF);
  EXPECT_EQ(context->GetLevel(), -1);  // signed
}

TEST_F(FileContextTest, ZeroSizeLimitRotatesAtEveryWrite) {
  SetRegistryDword(L"LogMaxSizeKB", 0);
  auto context = NewContext();
  ASSERT_TRUE(context->Initialize());
  for (const char* line : {"one\r\n", "two\r\n", "three\r\n", "four\r\n"}) context->Write(line);
  context.reset();
  EXPECT_EQ(Content(0), "four\r\n");
  EXPECT_EQ(Content(1), "three\r\n");
  EXPECT_EQ(Content(2), "two\r\n");
  EXPECT_FALSE(QvTest::FileExists(Generation(3)));
  EXPECT_EQ(ListFolder(Dir()).size(), 3u);
}

TEST_F(FileContextTest, FullFileRotatesWhenTheFirstGenerationIsMissing) {
  SetRegistryDword(L"LogMaxSizeKB", 1);
  auto context = NewContext();
  ASSERT_TRUE(context->Initialize());
  const std::string full(1024, 'f');
  ASSERT_TRUE(QvTest::WriteWholeFile(Generation(0), full));
  ASSERT_TRUE(QvTest::WriteWholeFile(Generation(2), "oldest\r\n"));
  context->Write("new\r\n");
  EXPECT_EQ(Content(0), "new\r\n");
  EXPECT_EQ(Content(1), full);
  EXPECT_FALSE(QvTest::FileExists(Generation(2)));

  // Below the limit the open file is appended to; at the limit the next write rotates again.
  const std::string line = std::string(400, 'a') + "\r\n";
  for (int i = 0; i < 3; ++i) context->Write(line);  // 5 + 2 * 402 bytes are below 1024: appended
  const std::string grown = "new\r\n" + line + line + line;
  EXPECT_EQ(Content(0), grown);
  context->Write(line);
  EXPECT_EQ(Content(0), line);
  EXPECT_EQ(Content(1), grown);
  EXPECT_EQ(Content(2), full);
}

TEST_F(FileContextTest, RotationThatCannotMoveTheFileAppendsInstead) {
  SetRegistryDword(L"LogMaxSizeKB", 0);
  auto context = NewContext();
  ASSERT_TRUE(context->Initialize());
  context->Write("first\r\n");
  {
    // A reader without delete sharing keeps the file from being renamed.
    const UniqueFileHandle reader(::CreateFileW(Generation(0).c_str(), GENERIC_READ,
                                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                                nullptr));
    ASSERT_TRUE(reader);
    context->Write("second\r\n");
  }
  EXPECT_EQ(Content(0), "first\r\nsecond\r\n");
  EXPECT_FALSE(QvTest::FileExists(Generation(1)));
}

TEST_F(FileContextTest, SecondHardLinkIsRefusedAndRotatedAway) {
  const std::wstring outside = Scratch(L"QvTestOutside_") + L"\\victim.txt";
  ASSERT_TRUE(QvTest::WriteWholeFile(outside, "victim\r\n"));
  auto context = NewContext();
  ASSERT_TRUE(context->Initialize());
  ASSERT_TRUE(::CreateHardLinkW(Generation(0).c_str(), outside.c_str(), nullptr));

  context->Write("line\r\n");
  context.reset();
  EXPECT_EQ(ReadFileBytes(outside).value_or(""), "victim\r\n");
  EXPECT_EQ(Content(0), "line\r\n");
  EXPECT_EQ(Content(1), "victim\r\n");  // moved aside, untouched
}

TEST_F(FileContextTest, FileWhereTheFolderBelongsDisablesLogging) {
  CreateParents();
  ASSERT_TRUE(QvTest::WriteWholeFile(Dir(), "not a folder"));
  auto context = NewContext();
  EXPECT_FALSE(context->Initialize());
  EXPECT_TRUE(context->GetBasePath().empty());
  context->Write("dropped\r\n");
  context->Flush();
  EXPECT_EQ(ReadFileBytes(Dir()).value_or(""), "not a folder");
  ASSERT_TRUE(::DeleteFileW(Dir().c_str()));
}

TEST_F(FileContextTest, LinkedLogFolderIsNeverWrittenThrough) {
  const std::wstring target = Scratch(L"QvTestLinkTarget_");
  ASSERT_TRUE(QvTest::WriteWholeFile(target + L"\\keep.txt", "keep"));
  CreateParents();
  // The test's end removes the link as a link (Wine would act on the target).
  ASSERT_TRUE(QvTest::MakeFolderLink(Dir(), target));

  auto context = NewContext();
  const bool resolved = context->Initialize();
  context->Write("line\r\n");
  context.reset();

  // Whatever the platform does with the link, the folder it pointed to is left alone.
  EXPECT_EQ(ListFolder(target), std::vector<std::wstring>{L"keep.txt"});
  EXPECT_EQ(ReadFileBytes(target + L"\\keep.txt").value_or(""), "keep");
  const DWORD attributes = ::GetFileAttributesW(Dir().c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    // Wine: removing the link acts on its non-empty target and fails, so nothing is logged.
    EXPECT_FALSE(resolved);
  } else {
    // Windows: the link is replaced by a real folder that holds the log.
    EXPECT_TRUE(resolved);
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(Content(0), "line\r\n");
  }
}

TEST_F(FileContextTest, LineIsLostWhenAnotherWriterHoldsTheMutexTooLong) {
  auto context = NewContext();
  ASSERT_TRUE(context->Initialize());
  const std::wstring name = context->GetMutexName(false);
  const UniqueHandle held(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  const UniqueHandle release(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  std::thread holder([&] {
    const UniqueHandle mutex(::OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, name.c_str()));
    if (!mutex || ::WaitForSingleObject(mutex.get(), 10000) != WAIT_OBJECT_0) return;
    ::SetEvent(held.get());
    ::WaitForSingleObject(release.get(), 30000);
    ::ReleaseMutex(mutex.get());
  });
  const bool gotHeld = ::WaitForSingleObject(held.get(), 10000) == WAIT_OBJECT_0;
  const ULONGLONG start = ::GetTickCount64();
  if (gotHeld) context->Write("lost\r\n");
  const ULONGLONG waited = ::GetTickCount64() - start;
  ::SetEvent(release.get());
  holder.join();
  ASSERT_TRUE(gotHeld);
  EXPECT_GE(waited, 400u);
  EXPECT_LT(waited, 5000u);
  context->Write("kept\r\n");
  EXPECT_EQ(Content(0), "kept\r\n");
}

TEST_F(FileContextTest, DeletionMovesAsideOrWaitsForRestart) {
  const std::wstring folder = Scratch(L"QvTestDelete_");
  auto context = NewContext();
  const std::wstring file = folder + L"\\old.log";
  ASSERT_TRUE(QvTest::WriteWholeFile(file, "old"));
  context->SafeDelete(file);
  EXPECT_TRUE(ListFolder(folder).empty());
  context->SafeDelete(file);  // a missing file is no error
  QvBrelLogging::LogFileIo::Path path;
  EXPECT_TRUE(path.Delete(file));

  // A file held open without delete sharing is scheduled for deletion at restart.
  constexpr wchar_t kSessionManager[] = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";
  constexpr wchar_t kPending[] = L"PendingFileRenameOperations";
  std::vector<BYTE> saved(1 << 16);
  DWORD savedSize = static_cast<DWORD>(saved.size());
  DWORD savedType = 0;
  const bool hadPending = ::RegGetValueW(HKEY_LOCAL_MACHINE, kSessionManager, kPending, RRF_RT_ANY,
                                         &savedType, saved.data(), &savedSize) == ERROR_SUCCESS;
  const ScopeExit restore([&] {
    if (hadPending)
      ::RegSetKeyValueW(HKEY_LOCAL_MACHINE, kSessionManager, kPending, savedType, saved.data(), savedSize);
    else
      ::RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kSessionManager, kPending);
  });
  const std::wstring locked = folder + L"\\locked.log";
  ASSERT_TRUE(QvTest::WriteWholeFile(locked, "locked"));
  {
    const UniqueFileHandle open(
        ::CreateFileW(locked.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(open);
    EXPECT_TRUE(path.Delete(locked));
  }
  std::vector<wchar_t> pending(1 << 16);
  DWORD size = static_cast<DWORD>(pending.size() * sizeof(wchar_t));
  ASSERT_EQ(::RegGetValueW(HKEY_LOCAL_MACHINE, kSessionManager, kPending, RRF_RT_REG_MULTI_SZ, nullptr,
                           pending.data(), &size),
            ERROR_SUCCESS);
  const std::wstring entries(pending.data(), size / sizeof(wchar_t));
  EXPECT_NE(entries.find(L"\\??\\" + locked), std::wstring::npos);
}
