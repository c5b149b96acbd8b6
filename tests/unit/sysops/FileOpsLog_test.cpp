// Log records of the file primitives that have no scenario of their own in FileOps_test.cpp.
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
