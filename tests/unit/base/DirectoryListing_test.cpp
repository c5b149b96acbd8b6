// Folder listing on real folders: every entry once, dots left out, the end told from a failure.
#include "base/DirectoryListing.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "tests/support/ScratchDir.h"

namespace {

TEST(DirectoryListingTest, ListsEveryEntryWithItsAttributesAndTellsHowItEnded) {
  QvTest::ScratchDir scratch;
  ASSERT_TRUE(QvTest::MakeFolder(scratch / L"sub"));
  ASSERT_TRUE(QvTest::MakeFile(scratch / L"a.txt"));
  ASSERT_TRUE(QvTest::MakeFile(scratch / L"ro.txt", FILE_ATTRIBUTE_READONLY));
  ASSERT_TRUE(QvTest::MakeFile(scratch / L".hidden"));

  const struct {
    std::wstring pattern;
    std::map<std::wstring, DWORD> entries;  // name -> the attribute bits looked at
    bool opened;
    DWORD error;
  } cases[] = {
      {scratch / L"*",
       {{L"sub", FILE_ATTRIBUTE_DIRECTORY},
        {L"a.txt", 0},
        {L"ro.txt", FILE_ATTRIBUTE_READONLY},
        {L".hidden", 0}},
       true,
       ERROR_NO_MORE_FILES},
      {scratch / L"sub\\*", {}, true, ERROR_NO_MORE_FILES},  // only "." and ".."
      {scratch / L"*.txt", {{L"a.txt", 0}, {L"ro.txt", FILE_ATTRIBUTE_READONLY}}, true, ERROR_NO_MORE_FILES},
      {QvTest::Extended(scratch / L"*"),
       {{L"sub", FILE_ATTRIBUTE_DIRECTORY},
        {L"a.txt", 0},
        {L"ro.txt", FILE_ATTRIBUTE_READONLY},
        {L".hidden", 0}},
       true,
       ERROR_NO_MORE_FILES},
      {scratch / L"missing\\*", {}, false, ERROR_PATH_NOT_FOUND},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(QvText::ToUtf8(c.pattern));
    QvPath::DirectoryListing listing(c.pattern);
    EXPECT_EQ(listing.Opened(), c.opened);
    std::map<std::wstring, DWORD> seen;
    while (listing.Next()) {
      EXPECT_EQ(listing.IsDirectory(), (listing.Attributes() & FILE_ATTRIBUTE_DIRECTORY) != 0);
      EXPECT_TRUE(seen.emplace(listing.Name(),
                               listing.Attributes() & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY))
                      .second);
    }
    EXPECT_EQ(seen, c.entries);
    EXPECT_EQ(listing.Error(), c.error);
    EXPECT_EQ(listing.Completed(), c.error == ERROR_NO_MORE_FILES);
    EXPECT_FALSE(listing.Next());  // stays at its end
  }
  // Listing takes nothing away.
  EXPECT_EQ(QvTest::CountEntries(scratch.Path()), 4);
}

}  // namespace
