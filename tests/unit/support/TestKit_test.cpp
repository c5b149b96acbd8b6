// The shared test machinery itself: scratch folders and keys go without taking anything outside them,
// children report what they did, and the log capture pins the logging values and puts them back.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "logging/QvBrelLogging.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/LogCapture.h"
#include "tests/support/LoggingValues.h"
#include "tests/support/ScratchDir.h"
#include "tests/support/ScratchKey.h"

namespace {

using namespace QvTest;

TEST(ScratchDirTest, RemovalTakesLinksAwayAsLinksAndKeepsTheirTargets) {
  ScratchDir outside(L"qvkitoutside");
  ASSERT_TRUE(outside.Created());
  ASSERT_TRUE(MakeFile(outside / L"keep.txt"));
  ASSERT_TRUE(MakeFolder(outside / L"inner"));
  ASSERT_TRUE(MakeFile(outside / L"inner\\deep.txt"));
  std::wstring removed;
  {
    ScratchDir scratch(L"qvkit");
    ASSERT_TRUE(scratch.Created());
    removed = scratch.Path();
    std::wstring deep = scratch / L"deep";
    ASSERT_TRUE(MakeFolder(deep));
    for (int level = 0; deep.size() < MAX_PATH + 20; ++level) {
      deep += L"\\level" + std::to_wstring(level);
      ASSERT_TRUE(MakeFolder(deep));
    }
    ASSERT_TRUE(MakeFile(deep + L"\\bottom.txt", FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(MakeFolderLink(scratch / L"link", outside.Path()));
    ASSERT_TRUE(MakeFolder(scratch / L"sub"));
    ASSERT_TRUE(MakeFolderLink(scratch / L"sub\\nested", outside / L"inner"));
  }
  EXPECT_FALSE(Exists(removed));
  EXPECT_EQ(ReadWholeFile(outside / L"keep.txt"), "content");
  EXPECT_EQ(ReadWholeFile(outside / L"inner\\deep.txt"), "content");
  EXPECT_EQ(CountEntries(outside.Path()), 2);
}

TEST(ScratchDirTest, ClaimRemovesLeftoversNowAndWhatIsThereAtTheEnd) {
  ScratchDir parent;
  const std::wstring path = parent / L"claimed";
  ASSERT_TRUE(MakeFolder(path));
  ASSERT_TRUE(MakeFile(path + L"\\leftover.txt"));
  {
    ScratchDir claimed(ScratchDir::Claim{path});
    EXPECT_FALSE(Exists(path));
    ASSERT_TRUE(MakeFolder(path));
    ASSERT_TRUE(MakeFile(path + L"\\new.txt"));
  }
  EXPECT_FALSE(Exists(path));
  EXPECT_TRUE(DirectoryExists(parent.Path()));
}

TEST(ScratchKeyTest, BothViewsAreSeparateAndBothGoAtTheEnd) {
  ScratchKey other;
  ASSERT_TRUE(other.Created());
  std::wstring path;
  {
    ScratchKey key;
    ASSERT_TRUE(key.Created());
    path = key.Path();
    for (REGSAM view : ScratchKey::kViews) {
      const DWORD value = view == KEY_WOW64_64KEY ? 64 : 32;
      UniqueHKey sub = key.Create(view, L"sub");
      ASSERT_TRUE(sub);
      ASSERT_EQ(::RegSetValueExW(sub.get(), L"Bits", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                                 sizeof(value)),
                ERROR_SUCCESS);
    }
    for (REGSAM view : ScratchKey::kViews) {
      DWORD value = 0, size = sizeof(value);
      UniqueHKey sub = key.Open(view, KEY_READ, L"sub");
      ASSERT_TRUE(sub);
      ASSERT_EQ(::RegGetValueW(sub.get(), nullptr, L"Bits", RRF_RT_REG_DWORD, nullptr, &value, &size),
                ERROR_SUCCESS);
      EXPECT_EQ(value, view == KEY_WOW64_64KEY ? 64u : 32u);
    }
  }
  for (REGSAM view : ScratchKey::kViews) {
    EXPECT_FALSE(MachineKeyExists(path, view)) << view;
    EXPECT_TRUE(other.Open(view, KEY_READ)) << view;  // a key of another test stays
  }
}

TEST(ChildProcessTest, ReportsExitCodeOutputAndEnvironment) {
  struct Case {
    const wchar_t* commandLine;
    const wchar_t* environment;
    bool merged;
    DWORD exitCode;
    const char* output;  // expected start of each stream
    const char* errors;
  };
  const Case cases[] = {
      {L"cmd.exe /c exit 7", L"", false, 7, "", ""},
      {L"cmd.exe /c echo out& echo err 1>&2", L"", false, 0, "out", "err"},
      {L"cmd.exe /c echo out& echo err 1>&2", L"", true, 0, "out\r\nerr", ""},
      {L"cmd.exe /c echo %QV_KIT_VALUE%", L"QV_KIT_VALUE=seen", false, 0, "seen", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(QvText::ToUtf8(c.commandLine));
    ChildOptions options;
    options.extraEnvironment = c.environment;
    options.errorsIntoOutput = c.merged;
    const ChildResult result = RunChild(c.commandLine, 60000, options);
    ASSERT_TRUE(result.started && result.finished);
    EXPECT_EQ(result.exitCode, c.exitCode);
    EXPECT_TRUE(result.output.starts_with(c.output)) << result.output;
    EXPECT_TRUE(result.errors.starts_with(c.errors)) << result.errors;
    if (*c.output == '\0') {
      EXPECT_EQ(result.output, "");
    }
  }
  const ChildResult missing = RunChild(L"qv-no-such-program.exe");
  EXPECT_FALSE(missing.started || missing.finished);
}

TEST(ChildProcessTest, AChildPastItsTimeLimitIsEnded) {
  ScratchDir scratch;
  const std::wstring file = scratch / L"held.txt";
  ASSERT_TRUE(MakeFile(file));
  const std::wstring suffix = std::to_wstring(::GetCurrentProcessId());
  UniqueHandle ready(::CreateEventW(nullptr, TRUE, FALSE, (L"QvKitReady" + suffix).c_str()));
  UniqueHandle release(::CreateEventW(nullptr, TRUE, FALSE, (L"QvKitRelease" + suffix).c_str()));
  ASSERT_TRUE(ready && release);
  // hold_file keeps the file open until the release event, which never comes.
  const ChildResult result = RunChild(
      HelperCommand(L"hold_file", L"\"" + file + L"\" QvKitReady" + suffix + L" QvKitRelease" + suffix),
      1500);
  EXPECT_TRUE(result.started);
  EXPECT_FALSE(result.finished);
  EXPECT_EQ(::WaitForSingleObject(ready.get(), 0), WAIT_OBJECT_0);  // it did hold the file
  EXPECT_TRUE(::DeleteFileW(file.c_str())) << ::GetLastError();     // and holds it no more
}

// The capture pins what it needs whatever the machine says, and gives the machine its values back.
TEST(LogCaptureTest, PinsTheLoggingValuesAndRestoresThem) {
  LoggingLock lock;  // taken again by the captures below (same thread)
  ASSERT_TRUE(lock.Acquire());
  LoggingValues machine;
  ASSERT_TRUE(machine.Saved());
  ASSERT_TRUE(machine.Set(L"LogLevel", QvBrelLogging::LevelError));
  ASSERT_TRUE(machine.Set(L"LogMaxSizeKB", 1));
  ASSERT_TRUE(machine.Clear(L"DebugOutputLogging"));
  {
    LogCapture capture;
    ASSERT_TRUE(capture.Start());
    EXPECT_EQ(LoggingValues::Read(L"LogLevel"), DWORD{QvBrelLogging::LevelVerbose});
    for (int i = 0; i < 40; ++i)
      QvBrelLogging::LogTagged(QV_VERBOSE, "Kit", L"verbose record %d padded to fill a kilobyte soon", i);
    EXPECT_EQ(capture.CountStartingWith(QV_VERBOSE, "Kit", L"verbose record "), 40) << capture.Text();

    // A second capture cannot start while the process logger runs for the first one.
    LogCapture second;
    EXPECT_FALSE(second.Start());
  }
  EXPECT_EQ(LoggingValues::Read(L"LogLevel"), DWORD{QvBrelLogging::LevelError});
  EXPECT_EQ(LoggingValues::Read(L"LogMaxSizeKB"), 1u);
  EXPECT_FALSE(LoggingValues::Read(L"DebugOutputLogging").has_value());
}

}  // namespace
