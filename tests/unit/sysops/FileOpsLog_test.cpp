// Log records of the file primitives: texts, levels and tags.
#include <gtest/gtest.h>

#include <string>

#include "FileTestSupport.h"
#include "core/Status.h"
#include "logging/QvBrelLogging.h"
#include "sysops/FileAccess.h"
#include "sysops/FileOps.h"
#include "sysops/FileOpsSeam.h"
#include "sysops/WorkingDirectory.h"
#include "tests/support/SeamOverride.h"

using namespace FileTest;
using namespace QvTest;

namespace {

BOOL WINAPI RefuseWithAccessDenied(LPCWSTR) {
  ::SetLastError(ERROR_ACCESS_DENIED);
  return FALSE;
}
BOOL WINAPI RefuseSchedule(LPCWSTR, LPCWSTR, DWORD) {
  ::SetLastError(ERROR_ACCESS_DENIED);
  return FALSE;
}

class FileOpsLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Status::Instance().Reset();
    ASSERT_TRUE(log.Start());
  }
  ScratchDir scratch;
  LogCapture log;
};

TEST_F(FileOpsLogTest, ScheduledDeletionAndRestartAreLoggedOncePerRun) {
  const std::wstring first = scratch / L"locked1.txt", second = scratch / L"locked2.txt";
  ASSERT_TRUE(MakeFile(first));
  ASSERT_TRUE(MakeFile(second));
  FileHolder holdFirst(first), holdSecond(second);
  ASSERT_TRUE(holdFirst.IsHolding() && holdSecond.IsHolding());
  PendingDeletions pending;
  pending.CleanUpLater(first);
  pending.CleanUpLater(second);

  ASSERT_TRUE(FileOpsInternal::TryWipeFile(Guarded(first), Attributes(first)));
  ASSERT_TRUE(FileOpsInternal::TryWipeFile(Guarded(second), Attributes(second)));
  EXPECT_EQ(log.Count(QV_DEBUG, "FileOpsInternal::DelayDelete", L"Delay delete: '" + first + L"'"), 1);
  EXPECT_EQ(log.Count(QV_DEBUG, "FileOpsInternal::DelayDelete", L"Delay delete: '" + second + L"'"), 1);
  EXPECT_EQ(log.Count(QV_INFO, "Status::SetRebootNeeded", L"Reboot is needed (" + first + L")"), 1);
  EXPECT_EQ(log.CountStartingWith(QV_INFO, "Status::SetRebootNeeded", L"Reboot is needed"), 1);
  EXPECT_EQ(log.CountStartingWith(QV_DEBUG, "FileAccess::AddFullAccessForAdmins", L"Granting access for '"),
            2);
}

TEST_F(FileOpsLogTest, UnremovableFileReportsTheFirstRefusal) {
  const std::wstring file = scratch / L"held.txt";
  ASSERT_TRUE(MakeFile(file));
  FileHolder hold(file);
  ASSERT_TRUE(hold.IsHolding());
  QvTest::SeamOverride seam(FileOpsSeam::moveFileEx, RefuseSchedule);

  ASSERT_FALSE(FileOpsInternal::TryWipeFile(Guarded(file), Attributes(file)));
  EXPECT_EQ(log.Count(QV_ERROR, "FileOpsInternal::DelayDelete", L"MoveFileEx('" + file + L"') failed: 5"), 1);
  EXPECT_EQ(log.Count(QV_WARNING, "FileOpsInternal::TryWipeFile",
                      L"Failed to remove file '" + file + L"', error: 32"),
            1);
}

TEST_F(FileOpsLogTest, UnremovableFolderIsReported) {
  const std::wstring folder = scratch / L"folder";
  ASSERT_TRUE(MakeFolder(folder));
  QvTest::SeamOverride removeSeam(FileOpsSeam::removeDirectory, RefuseWithAccessDenied);
  QvTest::SeamOverride scheduleSeam(FileOpsSeam::moveFileEx, RefuseSchedule);

  ASSERT_FALSE(FileOpsInternal::TryWipeDirectory(Guarded(folder)));
  EXPECT_EQ(
      log.Count(QV_DEBUG, "FileAccess::AddFullAccessForAdmins", L"Granting access for '" + folder + L"'"), 1);
  EXPECT_EQ(log.Count(QV_WARNING, "FileOpsInternal::TryWipeDirectory",
                      L"Failed to remove directory '" + folder + L"', error: 5"),
            1);
}

TEST_F(FileOpsLogTest, UnlistableFolderIsReported) {
  const std::wstring file = scratch / L"not-a-folder.txt";
  ASSERT_TRUE(MakeFile(file));
  ASSERT_FALSE(FileOpsInternal::TryWipeRecursive(Guarded(file)));
  EXPECT_EQ(log.CountStartingWith(QV_WARNING, "FileOpsInternal::TryWipeRecursive",
                                  L"Failed to enumerate: '" + file + L"': "),
            1);
}

TEST_F(FileOpsLogTest, FolderWithContentIsOnlyADebugRecord) {
  const std::wstring folder = scratch / L"full";
  ASSERT_TRUE(MakeFolder(folder));
  ASSERT_TRUE(MakeFile(folder + L"\\a.txt"));
  ASSERT_FALSE(FileOps::WipeDirectoryIfEmpty(Guarded(folder)));
  EXPECT_EQ(log.Count(QV_DEBUG, "FileOps::WipeDirectoryIfEmpty",
                      L"Failed to remove directory '" + folder + L"', error: 145"),
            1);
  EXPECT_EQ(log.CountAtOrAbove(QV_INFO), 0);
}

TEST_F(FileOpsLogTest, ReadOnlyFileNeedsNoAccessRepair) {
  const std::wstring file = scratch / L"readonly.txt";
  ASSERT_TRUE(MakeFile(file, FILE_ATTRIBUTE_READONLY));
  ASSERT_TRUE(FileOpsInternal::TryWipeFile(Guarded(file), Attributes(file)));
  EXPECT_TRUE(log.Records().empty());
}

TEST_F(FileOpsLogTest, AccessRepairOfAMissingPath) {
  const std::wstring missing = scratch / L"missing.txt";
  ASSERT_FALSE(FileAccess::AddFullAccessForAdmins(Guarded(missing)));
  EXPECT_EQ(
      log.Count(QV_DEBUG, "FileAccess::AddFullAccessForAdmins", L"Granting access for '" + missing + L"'"),
      1);
  EXPECT_EQ(log.Count(QV_WARNING, "FileAccess::AddFullAccessForAdmins",
                      L"Failed to add full access for '" + missing + L"', error. 2"),
            1);
}

TEST_F(FileOpsLogTest, WorkingDirectoryRemovalLogsNothing) {
  const std::wstring tree = scratch / L"work";
  ASSERT_TRUE(MakeFolder(tree));
  ASSERT_TRUE(MakeFile(tree + L"\\held.lua"));
  FileHolder hold(tree + L"\\held.lua");
  ASSERT_TRUE(hold.IsHolding());
  PendingDeletions pending;
  pending.CleanUpLater(tree + L"\\held.lua");
  pending.CleanUpLater(tree);
  ASSERT_TRUE(QvPath::RemoveDirectoryTree(tree, true));
  EXPECT_TRUE(log.Records().empty());
}

}  // namespace
