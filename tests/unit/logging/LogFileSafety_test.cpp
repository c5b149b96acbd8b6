// The elevated log file against a standard user who owns or links what lies on its way: owners of
// its folders, links in place of the file and of its generations, folders held while it is reached.
#include "logging/FileContext.h"

#include <shlobj.h>

#include <gtest/gtest.h>

#include <functional>

#include "LogTestSupport.h"
#include "logging/QvBrelLogging.h"

namespace {

namespace FS = QvBrelLogging::LogFileIo;
using LogTest::ReadFileBytes;
using Owners = std::function<std::wstring(const std::wstring& path)>;

constexpr wchar_t kUser[] = L"S-1-5-21-1004336348-1177238915-682003330-1001";

// What the logger tells a debugger about a refusal, seen through the exception OutputDebugStringW
// raises (under Wine only DBG_PRINTEXCEPTION_C, with the ANSI text).
std::vector<std::string> refusals;
LONG CALLBACK CaptureRefusal(EXCEPTION_POINTERS* pointers) {
  const EXCEPTION_RECORD* record = pointers->ExceptionRecord;
  if (record->ExceptionCode != DBG_PRINTEXCEPTION_C || record->NumberParameters < 2)
    return EXCEPTION_CONTINUE_SEARCH;
  const std::string text(reinterpret_cast<const char*>(record->ExceptionInformation[1]),
                         static_cast<std::size_t>(record->ExceptionInformation[0]));
  if (text.starts_with("QvBrelLogging: no log file: ")) refusals.push_back(text);
  return EXCEPTION_CONTINUE_SEARCH;
}

// Elevated; the folder owners come from the test when it gives them (Wine keeps none).
class Context : public QvBrelLogging::FileContext {
 public:
  Context(std::unique_ptr<FS::Path> fileSystem, std::wstring nameSpace, std::wstring component, Owners owners)
      : FileContext(std::move(fileSystem), nameSpace, component, L"app", QvBrelLogging::LevelInfo, 0),
        owners_(std::move(owners)) {}

 protected:
  bool QueryElevated() override { return true; }
  std::wstring QueryFolderOwner(const std::wstring& path, HANDLE folder) override {
    return owners_ ? owners_(path) : FileContext::QueryFolderOwner(path, folder);
  }
  Owners owners_;
};

// Renames `folder` from another handle (and back) whenever a generation is renamed or deleted.
struct ProbedPath : FS::Path {
  std::wstring folder;
  std::vector<DWORD> errors;
  void Try() {
    const BOOL renamed = ::MoveFileExW(folder.c_str(), (folder + L"_moved").c_str(), 0);
    errors.push_back(renamed ? ERROR_SUCCESS : ::GetLastError());
    if (renamed) ::MoveFileExW((folder + L"_moved").c_str(), folder.c_str(), 0);
  }
  bool RenameIn(const FS::FolderPins& pins, const std::wstring& from, const std::wstring& to) override {
    Try();
    return Path::RenameIn(pins, from, to);
  }
  bool DeleteIn(const FS::FolderPins& pins, const std::wstring& name) override {
    Try();
    return Path::DeleteIn(pins, name);
  }
};

class LogFileSafetyTest : public LogTest::LoggingTest {
 protected:
  void SetUp() override {
    LoggingTest::SetUp();
    refusals.clear();
    handler_ = ::AddVectoredExceptionHandler(1, CaptureRefusal);
  }
  void TearDown() override {
    ::RemoveVectoredExceptionHandler(handler_);
    LoggingTest::TearDown();
  }
  std::unique_ptr<Context> NewContext(Owners owners = {}, const std::wstring& nameSpace = L"",
                                      std::unique_ptr<FS::Path> fileSystem = std::make_unique<FS::Path>()) {
    auto context = std::make_unique<Context>(std::move(fileSystem), nameSpace, component_, std::move(owners));
    context->Initialize();
    return context;
  }
  std::wstring Generation(int index) const {
    return index == 0 ? LogFile(L"app") : Dir() + L"\\app." + std::to_wstring(index) + L".log";
  }
  std::string Content(int index) const { return ReadFileBytes(Generation(index)).value_or("<missing>"); }
  // A throw-away folder beside the log folders, removed after the test, holding keep.txt.
  std::wstring Outside(const std::wstring& name) {
    const std::wstring folder =
        LogTest::ProgramData() + L"\\QvTest" + name + std::to_wstring(::GetCurrentProcessId());
    Claim(folder);
    EXPECT_EQ(::SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr), ERROR_SUCCESS);
    EXPECT_TRUE(QvTest::WriteWholeFile(folder + L"\\keep.txt", "keep\r\n"));
    return folder;
  }
  PVOID handler_ = nullptr;
};

}  // namespace

TEST_F(LogFileSafetyTest, FolderOwnersDecideWhetherThereIsALogFile) {
  struct Case {
    const wchar_t* nameSpace;
    std::wstring folder;  // made beforehand and owned by `owner`; the others by Administrators
    const wchar_t* owner;
    const wchar_t* rootOwner;  // of ProgramData
    bool logs;
  };
  const Case cases[] = {
      {L"", L"\\Quorvel", L"S-1-5-18", L"S-1-5-18", true},
      {L"", L"\\Log", L"S-1-5-32-544", L"S-1-5-18", true},
      {L"", L"\\" + component_, L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464",
       L"S-1-5-18", true},
      {L"", L"\\" + component_, kUser, kUser, true},  // a file system without owners shows one everywhere
      {L"", L"\\Quorvel", kUser, L"S-1-5-18", false},
      {L"", L"\\" + component_, L"", L"S-1-5-18", false},  // unreadable
      {L"QvTestNs", L"\\NS", kUser, L"S-1-5-18", false},
      {L"QvTestNs", L"\\QvTestNs", kUser, L"S-1-5-18", false},
  };
  Claim(LogTest::ProgramData() + L"\\Quorvel\\NS\\QvTestNs");
  for (const Case& c : cases) {
    SCOPED_TRACE(LogTest::Narrow(c.folder + L" " + c.owner));
    const std::wstring dir = LogTest::ProgramData() + L"\\Quorvel" +
                             (*c.nameSpace ? L"\\NS\\" + std::wstring(c.nameSpace) : L"") + L"\\Log\\" +
                             component_;
    ASSERT_EQ(::SHCreateDirectoryExW(nullptr, dir.c_str(), nullptr), ERROR_SUCCESS);
    refusals.clear();
    auto context = NewContext(
        [&](const std::wstring& path) -> std::wstring {
          if (path == LogTest::ProgramData()) return c.rootOwner;
          return path.ends_with(c.folder) ? c.owner : L"S-1-5-32-544";
        },
        c.nameSpace);
    EXPECT_EQ(context->GetBasePath().empty(), !c.logs);
    for (int i = 0; i < 3; ++i) context->Write("line\r\n");
    context.reset();
    EXPECT_EQ(ReadFileBytes(dir + L"\\app.log").value_or("<missing>"),
              c.logs ? "line\r\nline\r\nline\r\n" : "<missing>");
    ASSERT_EQ(refusals.size(), c.logs ? 0u : 1u);
    for (const std::string& text : refusals)  // names the owner
      EXPECT_NE(text.find(LogTest::Narrow(*c.owner ? c.owner : L"unknown owner")), std::string::npos);
    QvTest::RemoveTree(dir);
  }
}

TEST_F(LogFileSafetyTest, FoldersBelowTheLogFolderPassTheSameChecks) {
  const struct {
    const wchar_t* relative;
    const wchar_t* userOwns;  // the folder (ending so) a standard user owns; empty: none
    bool pinned;
  } cases[] = {
      {L"Undo\\run", L"", true},       {L"Undo\\run", L"\\Undo", false},
      {L"Undo\\run", L"\\run", false}, {L"Undo\\..\\run", L"", false},
      {L"Undo\\.", L"", false},        {L"Undo\\\\run", L"", false},
      {L"\\Undo", L"", false},         {L"", L"", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(LogTest::Narrow(std::wstring(c.relative) + L" " + c.userOwns));
    auto context = NewContext([&](const std::wstring& path) -> std::wstring {
      return *c.userOwns && path.ends_with(c.userOwns) ? kUser : L"S-1-5-32-544";
    });
    ASSERT_FALSE(context->GetBasePath().empty());
    FS::FolderPins pins;
    EXPECT_EQ(context->PinBelowLogFolder(c.relative, true, nullptr, pins), c.pinned);
    EXPECT_EQ(pins.Held(), c.pinned);
    if (c.pinned) {
      EXPECT_EQ(pins.Folders().back().path, Dir() + L"\\" + c.relative);
    }
    EXPECT_FALSE(QvTest::Exists(Dir() + L"\\run")) << "nothing made beside the folder asked for";
    QvTest::RemoveTree(Dir() + L"\\Undo");
  }
}

TEST_F(LogFileSafetyTest, LinkInPlaceOfTheLogFileIsNeverWrittenThrough) {
  Claim(Dir() + L"_beside.txt");
  for (const std::wstring& target : {Outside(L"LinkTarget_") + L"\\keep.txt", Dir() + L"_beside.txt"}) {
    SCOPED_TRACE(LogTest::Narrow(target));
    QvTest::RemoveTree(Dir());
    auto context = NewContext();
    ASSERT_TRUE(QvTest::WriteWholeFile(target, "keep\r\n"));
    ASSERT_TRUE(QvTest::MakeFileLink(Generation(0), target));
    context->Write("line\r\n");
    context.reset();
    EXPECT_EQ(ReadFileBytes(target).value_or(""), "keep\r\n");
    EXPECT_EQ(Content(0), "line\r\n");
    EXPECT_EQ(Content(1), "<missing>");  // the link went, not what it led to
  }
}

TEST_F(LogFileSafetyTest, LinkInPlaceOfAGenerationIsRemovedAsALink) {
  SetRegistryDword(L"LogMaxSizeKB", 0);  // every line rotates
  const std::wstring file = Outside(L"GenerationFile_") + L"\\keep.txt";
  const std::wstring folder = Outside(L"GenerationFolder_");
  struct Case {
    int generation;
    std::wstring target;  // empty: the current file
    bool safeDelete;      // of the link, instead of a line
    const char* expected[3];
  };
  const Case cases[] = {
      {2, file, false, {"two\r\n", "one\r\n", "<missing>"}},
      {1, file, false, {"two\r\n", "one\r\n", "<missing>"}},
      {1, L"", false, {"two\r\n", "one\r\n", "<missing>"}},
      {1, file, true, {"one\r\n", "<missing>", "<missing>"}},
      {2, folder, false, {"two\r\n", "one\r\n", nullptr}},  // Wine cannot remove this link: it stays
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.generation);
    QvTest::RemoveTree(Dir());
    auto context = NewContext();
    ASSERT_TRUE(QvTest::WriteWholeFile(Generation(0), "one\r\n"));
    const std::wstring target = c.target.empty() ? Generation(0) : c.target;
    ASSERT_TRUE(c.target == folder ? QvTest::MakeFolderLink(Generation(c.generation), target)
                                   : QvTest::MakeFileLink(Generation(c.generation), target));
    c.safeDelete ? context->SafeDelete(Generation(c.generation)) : context->Write("two\r\n");
    context.reset();
    for (int i = 0; i < 3; ++i) EXPECT_EQ(Content(i), c.expected[i] ? c.expected[i] : Content(i)) << i;
    EXPECT_EQ(ReadFileBytes(file).value_or(""), "keep\r\n");
    EXPECT_EQ(ReadFileBytes(folder + L"\\keep.txt").value_or(""), "keep\r\n");
  }
}

TEST_F(LogFileSafetyTest, FoldersAreHeldWhileTheFileIsReached) {
  SetRegistryDword(L"LogMaxSizeKB", 0);
  const std::wstring quorvel = LogTest::ProgramData() + L"\\Quorvel";
  for (const std::wstring& folder : {quorvel, quorvel + L"\\Log", Dir()}) {
    SCOPED_TRACE(LogTest::Narrow(folder));
    QvTest::RemoveTree(Dir());
    auto path = std::make_unique<ProbedPath>();
    ProbedPath& probe = *path;
    probe.folder = folder;
    auto context = NewContext({}, L"", std::move(path));
    context->Write("one\r\n");
    context->Write("two\r\n");
    context->SafeDelete(Generation(1));
    // Each rotation step, move aside and deletion found the folder held.
    EXPECT_EQ(probe.errors, std::vector<DWORD>(8, ERROR_SHARING_VIOLATION));
    context.reset();
    EXPECT_EQ(Content(0), "two\r\n");
    EXPECT_EQ(Content(1), "<missing>");
  }
  ProbedPath probe;  // nothing holds the log folder afterwards
  probe.folder = Dir();
  probe.Try();
  EXPECT_EQ(probe.errors, std::vector<DWORD>{ERROR_SUCCESS});
}

TEST_F(LogFileSafetyTest, FolderSwappedForALinkAfterTheStartGetsNothing) {
  const std::wstring ns = L"QvTestSwap" + std::to_wstring(::GetCurrentProcessId());
  const std::wstring nsFolder = LogTest::ProgramData() + L"\\Quorvel\\NS\\" + ns;
  Claim(nsFolder);
  // The swapped folder, and where the rest of the log folder's path lies below it.
  int row = 0;
  for (const auto& [swapped, below] :
       {std::pair{Dir(), std::wstring()}, {nsFolder, L"\\Log\\" + component_}}) {
    SCOPED_TRACE(LogTest::Narrow(swapped));
    const std::wstring target = Outside(L"Swap" + std::to_wstring(row++));
    ::SHCreateDirectoryExW(nullptr, (target + below).c_str(), nullptr);
    ASSERT_TRUE(QvTest::WriteWholeFile(target + below + L"\\keep.txt", "keep\r\n"));
    refusals.clear();
    auto context = NewContext({}, below.empty() ? L"" : ns);
    Claim(swapped + L"_aside");
    ASSERT_TRUE(::MoveFileExW(swapped.c_str(), (swapped + L"_aside").c_str(), 0));
    ASSERT_TRUE(QvTest::MakeFolderLink(swapped, target));
    context->Write("line\r\n");
    context->Write("line\r\n");
    context.reset();
    EXPECT_EQ(QvTest::ListFolder(target + below), std::vector<std::wstring>{L"keep.txt"});
    EXPECT_EQ(refusals.size(), 1u);
  }
}
