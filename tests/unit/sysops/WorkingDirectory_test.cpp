// The working directory: its descriptor, its unique name under the temporary folder, its removal.
#include "sysops/WorkingDirectory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "FileTestSupport.h"
#include "core/Status.h"

using namespace FileTest;
using namespace QvTest;

namespace {

std::wstring SidText(PSID sid) {
  UniqueLocalMem text;
  if (!::ConvertSidToStringSidW(sid, reinterpret_cast<LPWSTR*>(text.put()))) return {};
  return static_cast<const wchar_t*>(text.get());
}

TEST(WorkingDirectoryTest, DescriptorIsProtectedAndInherited) {
  SecurityAttributes security = SecurityAttributes::FromSddl(QvPath::WorkDirSddl);
  ASSERT_FALSE(security.IsEmpty());
  ASSERT_NE(security.Get(), nullptr);
  EXPECT_EQ(security.Get()->nLength, sizeof(SECURITY_ATTRIBUTES));
  EXPECT_FALSE(security.Get()->bInheritHandle);
  EXPECT_EQ(security.Get()->lpSecurityDescriptor, security.Descriptor());

  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  ASSERT_TRUE(::GetSecurityDescriptorControl(security.Descriptor(), &control, &revision));
  EXPECT_TRUE(control & SE_DACL_PROTECTED);
  BOOL present = FALSE, defaulted = FALSE;
  PACL dacl = nullptr;
  ASSERT_TRUE(::GetSecurityDescriptorDacl(security.Descriptor(), &present, &dacl, &defaulted));
  ASSERT_TRUE(present);
  ASSERT_NE(dacl, nullptr);

  struct Expected {
    BYTE type;
    ACCESS_MASK mask;
    const wchar_t* sid;  // null: the machine's own Administrator account
  };
  const Expected expected[] = {
      {ACCESS_DENIED_ACE_TYPE, GENERIC_ALL, L"S-1-5-7"},
      {ACCESS_DENIED_ACE_TYPE, GENERIC_ALL, L"S-1-5-2"},
      {ACCESS_DENIED_ACE_TYPE, GENERIC_ALL, L"S-1-5-19"},
      {ACCESS_ALLOWED_ACE_TYPE, 0x1200a9, L"S-1-5-32-546"},
      {ACCESS_ALLOWED_ACE_TYPE, 0x1200a9, L"S-1-5-32-545"},
      {ACCESS_ALLOWED_ACE_TYPE, GENERIC_ALL, L"S-1-5-32-544"},
      {ACCESS_ALLOWED_ACE_TYPE, GENERIC_ALL, nullptr},
      {ACCESS_ALLOWED_ACE_TYPE, GENERIC_ALL, L"S-1-5-18"},
  };
  ASSERT_EQ(dacl->AceCount, std::size(expected));
  for (DWORD i = 0; i < dacl->AceCount; ++i) {
    void* ace = nullptr;
    ASSERT_TRUE(::GetAce(dacl, i, &ace));
    // Allowed and denied entries share one layout.
    const auto* entry = static_cast<const ACCESS_ALLOWED_ACE*>(ace);
    EXPECT_EQ(entry->Header.AceType, expected[i].type) << i;
    EXPECT_EQ(entry->Header.AceFlags, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE) << i;
    EXPECT_EQ(entry->Mask, expected[i].mask) << i;
    const std::wstring sid = SidText(const_cast<DWORD*>(&entry->SidStart));
    if (expected[i].sid != nullptr) {
      EXPECT_EQ(sid, expected[i].sid) << i;
    } else {
      EXPECT_TRUE(sid.starts_with(L"S-1-5-21-") && sid.ends_with(L"-500")) << i;
    }
  }
}

TEST(WorkingDirectoryTest, TemporaryDirectoryIsAnExistingFolder) {
  const std::wstring temp = QvPath::GetTempDirectory();
  ASSERT_FALSE(temp.empty());
  EXPECT_EQ(temp.back(), L'\\');
  EXPECT_TRUE(Attributes(temp) & FILE_ATTRIBUTE_DIRECTORY);
}

TEST(WorkingDirectoryTest, WorkingDirectoriesOfOneTickDifferInTheirCounter) {
  ScratchDir scratch;
  SecurityAttributes security = SecurityAttributes::FromSddl(QvPath::WorkDirSddl);
  // Take the first name of every tick in a window a little ahead, as runs started earlier within
  // those ticks would have, then create within the window. A window reached before its names are all
  // taken is given up for one further ahead.
  DWORD before = 0, after = 0;
  std::wstring created;
  DWORD windowEnd = 0;
  for (DWORD lead = 200;; lead *= 2) {
    ASSERT_LT(lead, 60000u) << "folders are created more slowly than the ticks pass";
    const DWORD windowStart = std::max(::GetTickCount() + lead, windowEnd);
    windowEnd = windowStart + 500;
    for (DWORD tick = windowStart; tick < windowEnd; ++tick)
      ASSERT_TRUE(MakeFolder(scratch / QvPath::UniqueDirectoryName(tick, 0)));
    if (::GetTickCount() >= windowStart) continue;
    while (::GetTickCount() < windowStart) ::Sleep(1);
    before = ::GetTickCount();
    created = QvPath::CreateUniqueDirectory(scratch.Path(), security);
    after = ::GetTickCount();
    ASSERT_LT(after, windowEnd);
    break;
  }
  ASSERT_FALSE(created.empty());
  EXPECT_TRUE(Attributes(created) & FILE_ATTRIBUTE_DIRECTORY);
  bool secondOfItsTick = false;
  for (DWORD tick = before; tick <= after; ++tick)
    secondOfItsTick |= created == scratch / QvPath::UniqueDirectoryName(tick, 1);
  EXPECT_TRUE(secondOfItsTick) << created;
}

TEST(WorkingDirectoryTest, UniqueDirectoryNeedsAnExistingParent) {
  ScratchDir scratch;
  SecurityAttributes none;
  EXPECT_EQ(QvPath::CreateUniqueDirectory(L"", none), L"");
  EXPECT_EQ(QvPath::CreateUniqueDirectory(scratch / L"missing", none), L"");
  // A free first name is taken as it is.
  const DWORD before = ::GetTickCount();
  const std::wstring created = QvPath::CreateUniqueDirectory(scratch.Path() + L"\\", none);
  const DWORD after = ::GetTickCount();
  bool firstOfItsTick = false;
  for (DWORD tick = before; tick <= after; ++tick)
    firstOfItsTick |= created == scratch / QvPath::UniqueDirectoryName(tick, 0);
  EXPECT_TRUE(firstOfItsTick) << created;
}

TEST(WorkingDirectoryTest, TreeRemovalRejectsWhatIsNoFolder) {
  ScratchDir scratch;
  const std::wstring file = scratch / L"file.txt";
  ASSERT_TRUE(MakeFile(file));
  EXPECT_FALSE(QvPath::RemoveDirectoryTree(L"", true));
  EXPECT_FALSE(QvPath::RemoveDirectoryTree(scratch / L"missing", true));
  EXPECT_FALSE(QvPath::RemoveDirectoryTree(file, true));
  EXPECT_TRUE(Exists(file));
}

TEST(WorkingDirectoryTest, TreeRemovalSchedulesLockedFilesOnlyWhenAsked) {
  ScratchDir scratch;
  Status::Instance().Reset();
  const std::wstring tree = scratch / L"work";
  const std::wstring held = tree + L"\\sub\\held.lua";
  ASSERT_TRUE(MakeFolder(tree));
  ASSERT_TRUE(MakeFile(tree + L"\\a.lua", FILE_ATTRIBUTE_READONLY));
  ASSERT_TRUE(MakeFolder(tree + L"\\sub"));
  ASSERT_TRUE(MakeFile(held));
  ASSERT_TRUE(MakeFile(tree + L"\\sub\\b.lua"));
  FileHolder hold(held);
  ASSERT_TRUE(hold.IsHolding());

  EXPECT_FALSE(QvPath::RemoveDirectoryTree(tree, false));
  EXPECT_TRUE(Exists(held));
  EXPECT_FALSE(Exists(tree + L"\\a.lua"));
  EXPECT_FALSE(Exists(tree + L"\\sub\\b.lua"));

  PendingDeletions pending;
  for (const auto& path : {held, tree + L"\\sub", tree}) pending.CleanUpLater(path);
  EXPECT_TRUE(QvPath::RemoveDirectoryTree(tree, true));
  EXPECT_TRUE(pending.Contains(held));
  EXPECT_TRUE(pending.Contains(tree + L"\\sub"));
  EXPECT_TRUE(pending.Contains(tree));
  // The run's own folder never asks for a restart.
  EXPECT_FALSE(Status::Instance().IsRebootNeeded());
}

}  // namespace
