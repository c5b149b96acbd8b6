// Forceful removal on real files: read-only, locked, unremovable and linked entries, deep trees,
// and the access-repair and restart fall-backs (refusals the test machine cannot produce come
// through the system-call seam). Each scenario checks its effect and its log records in one run.
#include "base/WellKnownSids.h"
#include "sysops/FileOps.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FileTestSupport.h"
#include "core/Status.h"
#include "logging/QvBrelLogging.h"
#include "base/HandleInfo.h"
#include "base/Utf8.h"
#include "sysops/FileAccess.h"
#include "sysops/FileAccessSeam.h"
#include "sysops/FileOpsSeam.h"
#include "sysops/WorkingDirectory.h"
#include "tests/support/SeamOverride.h"

using namespace FileTest;
using namespace QvTest;

namespace {

// What the replaced system calls saw.
struct SeamCalls {
  int deletes = 0;
  int removes = 0;
  std::vector<std::wstring> scheduled;
  std::vector<DWORD> scheduleFlags;
} calls;

BOOL WINAPI CountDelete(LPCWSTR path) {
  ++calls.deletes;
  return ::DeleteFileW(path);
}
BOOL WINAPI RefuseFirstDelete(LPCWSTR path) {
  if (calls.deletes++ > 0) return ::DeleteFileW(path);
  ::SetLastError(ERROR_ACCESS_DENIED);
  return FALSE;
}
BOOL WINAPI RefuseDelete(LPCWSTR) {
  ++calls.deletes;
  ::SetLastError(ERROR_ACCESS_DENIED);
  return FALSE;
}
BOOL WINAPI RefuseFirstRemove(LPCWSTR path) {
  if (calls.removes++ > 0) return ::RemoveDirectoryW(path);
  ::SetLastError(ERROR_ACCESS_DENIED);
  return FALSE;
}
BOOL WINAPI RefuseRemove(LPCWSTR) {
  ++calls.removes;
  ::SetLastError(ERROR_ACCESS_DENIED);
  return FALSE;
}
BOOL WINAPI RecordSchedule(LPCWSTR path, LPCWSTR target, DWORD flags) {
  calls.scheduled.emplace_back(path);
  calls.scheduleFlags.push_back(target == nullptr ? flags : 0xFFFFFFFF);
  return TRUE;
}
BOOL WINAPI RefuseSchedule(LPCWSTR, LPCWSTR, DWORD) {
  ::SetLastError(ERROR_ACCESS_DENIED);
  return FALSE;
}

using DeleteSeam = QvTest::SeamOverride<FileOpsSeam::DeleteFileCall>;
using RemoveSeam = QvTest::SeamOverride<FileOpsSeam::RemoveDirectoryCall>;
using ScheduleSeam = QvTest::SeamOverride<FileOpsSeam::MoveFileExCall>;

class FileOpsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    calls = {};
    Status::Instance().Reset();
    ASSERT_TRUE(Exists(scratch.Path()));
    ASSERT_TRUE(log.Start());
  }
  bool RebootNeeded() { return Status::Instance().IsRebootNeeded(); }

  ScratchDir scratch;
  LogCapture log;
};

TEST_F(FileOpsTest, ReadOnlyFileIsDeletedWithoutAccessRepair) {
  const std::wstring file = scratch / L"readonly.txt";
  ASSERT_TRUE(MakeFile(file, FILE_ATTRIBUTE_READONLY));
  ASSERT_TRUE(Attributes(file) & FILE_ATTRIBUTE_READONLY);
  DeleteSeam seam(FileOpsSeam::deleteFile, CountDelete);

  EXPECT_TRUE(FileOpsInternal::TryWipeFile(Guarded(file), Attributes(file)));
  EXPECT_FALSE(Exists(file));
  EXPECT_EQ(calls.deletes, 1);
  EXPECT_FALSE(RebootNeeded());
  EXPECT_TRUE(log.Records().empty());
}

TEST_F(FileOpsTest, AbsentEntriesCountAsRemoved) {
  const std::wstring missing = scratch / L"missing";
  EXPECT_TRUE(FileOpsInternal::TryWipeFile(Guarded(missing), FILE_ATTRIBUTE_NORMAL));
  EXPECT_TRUE(FileOpsInternal::TryWipeDirectory(Guarded(missing)));
  EXPECT_TRUE(FileOpsInternal::TryWipeRecursive(Guarded(missing)));
  EXPECT_TRUE(FileOpsInternal::TryWipeRecursive(Guarded(missing + L"\\below")));
  EXPECT_TRUE(FileOps::WipeDirectoryIfEmpty(Guarded(missing)));
  EXPECT_FALSE(RebootNeeded());
}

TEST_F(FileOpsTest, LockedFileIsScheduledForRestart) {
  const std::wstring first = scratch / L"locked1.txt";
  const std::wstring second = scratch / L"locked2.txt";
  ASSERT_TRUE(MakeFile(first));
  ASSERT_TRUE(MakeFile(second));
  FileHolder holdFirst(first), holdSecond(second);
  ASSERT_TRUE(holdFirst.IsHolding());
  ASSERT_TRUE(holdSecond.IsHolding());
  PendingDeletions pending;
  pending.CleanUpLater(first);
  pending.CleanUpLater(second);

  EXPECT_TRUE(FileOpsInternal::TryWipeFile(Guarded(first), Attributes(first)));
  EXPECT_TRUE(Exists(first));
  EXPECT_TRUE(pending.Contains(first));
  EXPECT_TRUE(RebootNeeded());

  EXPECT_TRUE(FileOpsInternal::TryWipeFile(Guarded(second), Attributes(second)));
  EXPECT_TRUE(pending.Contains(second));
  EXPECT_TRUE(RebootNeeded());
  // Each scheduled deletion is logged; the restart once per run, with the first reason.
  EXPECT_EQ(log.Count(QV_DEBUG, "FileOpsInternal::DelayDelete", L"Delay delete: '" + first + L"'"), 1);
  EXPECT_EQ(log.Count(QV_DEBUG, "FileOpsInternal::DelayDelete", L"Delay delete: '" + second + L"'"), 1);
  EXPECT_EQ(log.Count(QV_INFO, "Status::SetRebootNeeded", L"Reboot is needed (" + first + L")"), 1);
  EXPECT_EQ(log.CountStartingWith(QV_INFO, "Status::SetRebootNeeded", L"Reboot is needed"), 1);
  EXPECT_EQ(log.CountStartingWith(QV_DEBUG, "FileAccess::AddFullAccessForAdmins", L"Granting access for '"),
            2);
}

TEST_F(FileOpsTest, TreeWithUnremovableFileLosesEverythingElse) {
  const std::wstring tree = scratch / L"tree";
  ASSERT_TRUE(MakeFolder(tree));
  ASSERT_TRUE(MakeFile(tree + L"\\a.txt", FILE_ATTRIBUTE_READONLY));
  ASSERT_TRUE(MakeFile(tree + L"\\held.txt"));
  ASSERT_TRUE(MakeFolder(tree + L"\\sub"));
  ASSERT_TRUE(MakeFile(tree + L"\\sub\\b.txt"));
  ASSERT_TRUE(MakeFolder(tree + L"\\sub\\deeper"));
  ASSERT_TRUE(MakeFile(tree + L"\\sub\\deeper\\c.txt"));
  ASSERT_TRUE(MakeFolder(tree + L"\\empty"));
  ASSERT_TRUE(MakeFile(tree + L"\\z.txt"));
  FileHolder hold(tree + L"\\held.txt");
  ASSERT_TRUE(hold.IsHolding());
  ScheduleSeam seam(FileOpsSeam::moveFileEx, RefuseSchedule);

  EXPECT_FALSE(FileOpsInternal::TryWipeRecursive(Guarded(tree)));
  EXPECT_TRUE(Exists(tree));
  EXPECT_TRUE(Exists(tree + L"\\held.txt"));
  for (const wchar_t* gone : {L"\\a.txt", L"\\sub", L"\\empty", L"\\z.txt"})
    EXPECT_FALSE(Exists(tree + gone)) << gone;
  EXPECT_FALSE(RebootNeeded());
}

TEST_F(FileOpsTest, LinkedFoldersAreRemovedAsLinksNeverEntered) {
  // The targets live outside the trees and must keep every file.
  const std::wstring target = scratch / L"target";
  ASSERT_TRUE(MakeFolder(target));
  ASSERT_TRUE(MakeFile(target + L"\\keep.txt"));
  ASSERT_TRUE(MakeFolder(target + L"\\inner"));
  ASSERT_TRUE(MakeFile(target + L"\\inner\\deep.txt"));
  const std::wstring tree = scratch / L"tree";
  const std::wstring workTree = scratch / L"worktree";
  for (const auto& root : {tree, workTree}) {
    ASSERT_TRUE(MakeFolder(root));
    ASSERT_TRUE(MakeFile(root + L"\\a.txt"));
    ASSERT_TRUE(MakeFolderLink(root + L"\\link", target));
  }
  PendingDeletions pending;
  for (const auto& root : {tree, workTree}) {
    pending.CleanUpLater(root + L"\\link");
    pending.CleanUpLater(root);
  }

  EXPECT_TRUE(FileOpsInternal::TryWipeRecursive(Guarded(tree)));
  EXPECT_TRUE(QvPath::RemoveDirectoryTree(workTree, true));

  EXPECT_TRUE(Exists(target + L"\\keep.txt"));
  EXPECT_TRUE(Exists(target + L"\\inner\\deep.txt"));
  for (const auto& root : {tree, workTree}) {
    EXPECT_FALSE(Exists(root + L"\\a.txt"));
    // Windows removes the link itself. Wine can only act on a unix link's target, which is not
    // empty, so the link stays and its removal is left to the restart.
    if (Exists(root + L"\\link")) {
      EXPECT_TRUE(pending.Contains(root + L"\\link")) << root;
    }
  }
}

TEST_F(FileOpsTest, ALinkGivenAsTheTreeIsNotEntered) {
  const std::wstring target = scratch / L"target";
  ASSERT_TRUE(MakeFolder(target));
  ASSERT_TRUE(MakeFile(target + L"\\keep.txt"));
  const std::wstring link = scratch / L"link";
  ASSERT_TRUE(MakeFolderLink(link, target));
  PendingDeletions pending;
  pending.CleanUpLater(link);

  FileOpsInternal::TryWipeRecursive(Guarded(link));

  EXPECT_TRUE(Exists(target + L"\\keep.txt"));
}

TEST_F(FileOpsTest, TreesDeeperThanMaxPathAreRemoved) {
  for (const wchar_t* name : {L"deep1", L"deep2"}) {
    std::wstring path = scratch / name;
    ASSERT_TRUE(MakeFolder(path));
    for (int level = 0; level < 24; ++level) {
      path += L"\\level-abcdefghijk";
      ASSERT_TRUE(MakeFolder(path));
      ASSERT_TRUE(MakeFile(path + L"\\f.txt", level % 2 ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL));
    }
    ASSERT_GT(path.size(), 400u);
  }

  EXPECT_TRUE(FileOpsInternal::TryWipeRecursive(Guarded(scratch / L"deep1")));
  EXPECT_TRUE(QvPath::RemoveDirectoryTree(scratch / L"deep2", false));
  EXPECT_FALSE(Exists(scratch / L"deep1"));
  EXPECT_FALSE(Exists(scratch / L"deep2"));
  EXPECT_FALSE(RebootNeeded());
}

TEST_F(FileOpsTest, WipeDirectoryIfEmptyLeavesFoldersWithContent) {
  const std::wstring full = scratch / L"full";
  const std::wstring empty = scratch / L"empty";
  ASSERT_TRUE(MakeFolder(full));
  ASSERT_TRUE(MakeFile(full + L"\\a.txt"));
  ASSERT_TRUE(MakeFolder(empty));

  EXPECT_FALSE(FileOps::WipeDirectoryIfEmpty(Guarded(full)));
  EXPECT_TRUE(Exists(full + L"\\a.txt"));
  // A folder with content is no failure worth more than a debug record.
  EXPECT_EQ(log.Count(QV_DEBUG, "FileOps::WipeDirectoryIfEmpty",
                      L"Failed to remove directory '" + full + L"', error: 145"),
            1);
  EXPECT_EQ(log.CountAtOrAbove(QV_INFO), 0);
  EXPECT_TRUE(FileOps::WipeDirectoryIfEmpty(Guarded(empty)));
  EXPECT_FALSE(Exists(empty));
  EXPECT_FALSE(RebootNeeded());
}

TEST_F(FileOpsTest, RecursiveWipeOfAFileLeavesTheFile) {
  const std::wstring file = scratch / L"plain.txt";
  ASSERT_TRUE(MakeFile(file));
  EXPECT_FALSE(FileOpsInternal::TryWipeRecursive(Guarded(file)));
  EXPECT_TRUE(Exists(file));
  EXPECT_EQ(log.CountStartingWith(QV_WARNING, "FileOpsInternal::TryWipeRecursive",
                                  L"Failed to enumerate: '" + file + L"': "),
            1);
}

TEST_F(FileOpsTest, AccessRepairLetsRefusedDeletionsThrough) {
  const std::wstring file = scratch / L"protected.txt";
  const std::wstring folder = scratch / L"protected";
  ASSERT_TRUE(MakeFile(file));
  ASSERT_TRUE(MakeFolder(folder));
  DeleteSeam deleteSeam(FileOpsSeam::deleteFile, RefuseFirstDelete);
  RemoveSeam removeSeam(FileOpsSeam::removeDirectory, RefuseFirstRemove);
  ScheduleSeam scheduleSeam(FileOpsSeam::moveFileEx, RecordSchedule);

  EXPECT_TRUE(FileOpsInternal::TryWipeFile(Guarded(file), Attributes(file)));
  EXPECT_TRUE(FileOpsInternal::TryWipeDirectory(Guarded(folder)));

  EXPECT_FALSE(Exists(file));
  EXPECT_FALSE(Exists(folder));
  EXPECT_EQ(calls.deletes, 2);
  EXPECT_EQ(calls.removes, 2);
  EXPECT_TRUE(calls.scheduled.empty());
  EXPECT_FALSE(RebootNeeded());
}

TEST_F(FileOpsTest, DeletionsRefusedDespiteRepairFallBackToRestart) {
  const std::wstring file = scratch / L"stubborn.txt";
  const std::wstring folder = scratch / L"stubborn";
  ASSERT_TRUE(MakeFile(file));
  ASSERT_TRUE(MakeFolder(folder));
  DeleteSeam deleteSeam(FileOpsSeam::deleteFile, RefuseDelete);
  RemoveSeam removeSeam(FileOpsSeam::removeDirectory, RefuseRemove);
  {
    ScheduleSeam scheduleSeam(FileOpsSeam::moveFileEx, RecordSchedule);
    EXPECT_TRUE(FileOpsInternal::TryWipeFile(Guarded(file), Attributes(file)));
    EXPECT_EQ(calls.deletes, 2);
    EXPECT_EQ(calls.scheduled, std::vector<std::wstring>{file});
    EXPECT_EQ(calls.scheduleFlags, std::vector<DWORD>{MOVEFILE_DELAY_UNTIL_REBOOT});
    EXPECT_TRUE(RebootNeeded());
  }
  Status::Instance().Reset();
  ScheduleSeam scheduleSeam(FileOpsSeam::moveFileEx, RefuseSchedule);
  EXPECT_FALSE(FileOpsInternal::TryWipeDirectory(Guarded(folder)));
  EXPECT_EQ(calls.removes, 2);
  EXPECT_TRUE(Exists(folder));
  EXPECT_FALSE(RebootNeeded());
  EXPECT_EQ(
      log.Count(QV_DEBUG, "FileAccess::AddFullAccessForAdmins", L"Granting access for '" + folder + L"'"), 1);
  EXPECT_EQ(log.Count(QV_WARNING, "FileOpsInternal::TryWipeDirectory",
                      L"Failed to remove directory '" + folder + L"', error: 5"),
            1);
}

TEST_F(FileOpsTest, AccessRepairForAdministrators) {
  UniqueAllocatedSid admins = QvSids::CreateAdministratorsSid();
  ASSERT_TRUE(admins);
  UniqueLocalMem text;
  ASSERT_TRUE(::ConvertSidToStringSidW(admins.get(), reinterpret_cast<LPWSTR*>(text.put())));
  EXPECT_STREQ(static_cast<const wchar_t*>(text.get()), L"S-1-5-32-544");

  const std::wstring file = scratch / L"present.txt";
  ASSERT_TRUE(MakeFile(file));
  EXPECT_TRUE(FileAccess::AddFullAccessForAdmins(Guarded(file)));
  EXPECT_TRUE(FileAccess::AddFullAccessForAdmins(Guarded(scratch.Path())));
  EXPECT_FALSE(FileAccess::AddFullAccessForAdmins(Guarded(scratch / L"missing.txt")));
}

// Which objects the repair's security calls reached, by where each handle resolves. Wine keeps
// no file security descriptors, so the calls themselves are what can be observed.
std::vector<std::wstring> securityTargets;
DWORD WINAPI RecordGetSecurity(HANDLE handle, SE_OBJECT_TYPE type, SECURITY_INFORMATION info, PSID* owner,
                               PSID* group, PACL* dacl, PACL* sacl, PSECURITY_DESCRIPTOR* descriptor) {
  securityTargets.push_back(QvHandleInfo::FinalPath(handle));
  return ::GetSecurityInfo(handle, type, info, owner, group, dacl, sacl, descriptor);
}
DWORD WINAPI RecordSetSecurity(HANDLE handle, SE_OBJECT_TYPE type, SECURITY_INFORMATION info, PSID owner,
                               PSID group, PACL dacl, PACL sacl) {
  securityTargets.push_back(QvHandleInfo::FinalPath(handle));
  return ::SetSecurityInfo(handle, type, info, owner, group, dacl, sacl);
}

// A refused deletion leads to the access repair; on a link or a file with a second name the
// repair would change the security of what else points there, so it must not happen.
TEST_F(FileOpsTest, AccessRepairNeverReachesALinkOrAFileWithSeveralNames) {
  ScratchDir target;
  ASSERT_TRUE(MakeFile(target / L"keep.txt"));
  ASSERT_TRUE(WriteWholeFile(scratch / L"plain.txt", "plain") &&
              WriteWholeFile(scratch / L"hard.txt", "hard"));
  ASSERT_TRUE(
      ::CreateHardLinkW((scratch / L"other-name.txt").c_str(), (scratch / L"hard.txt").c_str(), nullptr));
  ASSERT_TRUE(MakeFolder(scratch / L"folder"));
  ASSERT_TRUE(MakeFolderLink(scratch / L"link", target.Path()));
  const DeleteSeam deletes(FileOpsSeam::deleteFile, RefuseDelete);
  const RemoveSeam removes(FileOpsSeam::removeDirectory, RefuseRemove);
  const ScheduleSeam schedules(FileOpsSeam::moveFileEx, RecordSchedule);
  const QvTest::SeamOverride<FileAccessSeam::GetSecurityInfoCall> gets(FileAccessSeam::getSecurityInfo,
                                                                       RecordGetSecurity);
  const QvTest::SeamOverride<FileAccessSeam::SetSecurityInfoCall> sets(FileAccessSeam::setSecurityInfo,
                                                                       RecordSetSecurity);

  const struct {
    const wchar_t* name;
    bool folder;
    bool repaired;
  } cases[] = {
      {L"plain.txt", false, true},
      {L"folder", true, true},
      {L"hard.txt", false, false},
      {L"link", true, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(QvText::ToUtf8(c.name));
    securityTargets.clear();
    const std::wstring path = scratch / c.name;
    // Refused, then scheduled: the restart would take it.
    EXPECT_TRUE(c.folder ? FileOpsInternal::TryWipeDirectory(Guarded(path))
                         : FileOpsInternal::TryWipeFile(Guarded(path), Attributes(path)));
    EXPECT_EQ(securityTargets.empty(), !c.repaired);
    for (const std::wstring& reached : securityTargets)
      EXPECT_TRUE(reached.ends_with(std::wstring(L"\\") + c.name)) << QvText::ToUtf8(reached);
  }
  EXPECT_EQ(calls.scheduled.size(), std::size(cases));
  EXPECT_EQ(ReadWholeFile(scratch / L"other-name.txt"), "hard");
  EXPECT_EQ(ListFolder(target.Path()), std::vector<std::wstring>{L"keep.txt"});
}

}  // namespace
