// Script archive extraction from a real RCDATA 103: each case writes its archive into a copy of the
// tool's executable, loads the copy as a data file and extracts from it.
#include "app/ResDropper.h"

#include <gtest/gtest.h>

#include "base/UniqueHandle.h"
#include "tests/support/ResourceFile.h"
#include "tests/support/ScratchDir.h"
#include "tests/unit/app/TestZip.h"

namespace {

using QvTest::DirectoryExists;
using QvTest::FileExists;
using QvTest::ReadWholeFile;
using QvTest::ZipEntry;

class ResDropperTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(scratch_.Path().empty());
    target_ = scratch_ / L"work";
    ASSERT_TRUE(::CreateDirectoryW(target_.c_str(), nullptr));
  }

  // A module whose RCDATA 103 holds exactly these bytes.
  UniqueModule ArchiveModule(const std::string& archive) {
    const std::wstring exe = QvTest::ProgramFolder() + L"UninstallationTool.exe";
    const std::wstring copy = scratch_ / (L"archive" + std::to_wstring(++copies_) + L".exe");
    EXPECT_TRUE(::CopyFileW(exe.c_str(), copy.c_str(), FALSE)) << "the tool must be built next to the tests";
    EXPECT_EQ(0u, QvTest::ReplaceRcData(copy, ResDropper::ScriptArchiveId, archive));
    UniqueModule module(::LoadLibraryExW(copy.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    EXPECT_TRUE(module.valid()) << ::GetLastError();
    return module;
  }

  bool Extract(const std::vector<ZipEntry>& entries) { return ExtractBytes(QvTest::MakeZip(entries)); }
  bool ExtractBytes(const std::string& archive) {
    UniqueModule module = ArchiveModule(archive);
    if (!module) return false;
    return ResDropper::ExtractZipFromResource(target_, module.get());
  }

  QvTest::ScratchDir scratch_{L"qvzip"};
  std::wstring target_;
  int copies_ = 0;
};

TEST_F(ResDropperTest, WritesTopLevelAndNestedEntriesCreatingFolders) {
  ASSERT_TRUE(Extract({{"main.lua", "return 1"}, {"lib/x.lua", "local x = 2"}, {"lib/deep/er/y.lua", "y"}}));
  EXPECT_EQ("return 1", ReadWholeFile(target_ + L"\\main.lua"));
  EXPECT_EQ("local x = 2", ReadWholeFile(target_ + L"\\lib\\x.lua"));
  EXPECT_EQ("y", ReadWholeFile(target_ + L"\\lib\\deep\\er\\y.lua"));
}

TEST_F(ResDropperTest, StoredAndDeflatedEntriesLargerThanTheBuffer) {
  std::string big;
  for (int i = 0; big.size() < 200000; ++i) big += "line " + std::to_string(i * 7919 % 1000) + "\n";
  std::string binary;
  for (int i = 0; i < 10000; ++i) binary += static_cast<char>((i * 131 + i / 7) & 0xff);
  ASSERT_TRUE(Extract({{"stored.lua", big, false},
                       {"deflated.lua", big, true},
                       {"bin.dat", binary, true},
                       {"empty.lua", "", false}}));
  EXPECT_EQ(big, ReadWholeFile(target_ + L"\\stored.lua"));
  EXPECT_EQ(big, ReadWholeFile(target_ + L"\\deflated.lua"));
  EXPECT_EQ(binary, ReadWholeFile(target_ + L"\\bin.dat"));
  EXPECT_TRUE(FileExists(target_ + L"\\empty.lua"));
  EXPECT_EQ("", ReadWholeFile(target_ + L"\\empty.lua"));
}

TEST_F(ResDropperTest, Utf8EntryNamesBecomeWideNames) {
  ASSERT_TRUE(Extract({{"skripty/\xC5\xA1\xC4\x8D\xC5\x99-\xE6\x97\xA5\xE6\x9C\xAC.lua", "utf"}}));
  EXPECT_EQ("utf", ReadWholeFile(target_ + L"\\skripty\\\x0161\x010D\x0159-\x65E5\x672C.lua"));
}

TEST_F(ResDropperTest, DirectoryEntriesCreateNothingByThemselves) {
  ASSERT_TRUE(Extract({{"lib/", ""}, {"other/sub/", ""}}));
  EXPECT_EQ(0, QvTest::CountEntries(target_));
}

TEST_F(ResDropperTest, EmptyArchiveSucceeds) {
  ASSERT_TRUE(Extract({}));
  EXPECT_EQ(0, QvTest::CountEntries(target_));
}

TEST_F(ResDropperTest, ExistingFilesAreOverwritten) {
  {
    UniqueFileHandle old(::CreateFileW((target_ + L"\\a.lua").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(old.valid());
    DWORD written = 0;
    ASSERT_TRUE(::WriteFile(old.get(), "a much longer old content", 25, &written, nullptr));
  }
  ASSERT_TRUE(Extract({{"a.lua", "new"}}));
  EXPECT_EQ("new", ReadWholeFile(target_ + L"\\a.lua"));
}

TEST_F(ResDropperTest, UnsafeNamesStopTheExtractionAtThatEntry) {
  // Two dots anywhere, or a component ending in a dot or a space (which Win32 strips).
  for (const char* bad : {"../x.lua", "a..b.lua", "lib/../../x.lua", "..\\x.lua", ". ./x.lua", "lib./x.lua",
                          "a /x.lua", "x.lua.", "x.lua ", "lib\\sub./x.lua", "./x.lua"}) {
    SCOPED_TRACE(bad);
    QvTest::ScratchDir scratch(L"qvzipdots");
    target_ = scratch / L"work";
    ASSERT_TRUE(::CreateDirectoryW(target_.c_str(), nullptr));
    EXPECT_FALSE(Extract({{"first.lua", "1"}, {bad, "escaped"}, {"after.lua", "2"}}));
    // Only what came before the refused entry is there; nothing landed beside the target.
    EXPECT_TRUE(FileExists(target_ + L"\\first.lua"));
    EXPECT_EQ(1, QvTest::CountEntries(target_));
    EXPECT_EQ(1, QvTest::CountEntries(scratch.Path()));
  }
}

TEST_F(ResDropperTest, RootedNamesStayInsideTheTarget) {
  // A leading slash only doubles the separator after the target; the file still lands inside it.
  ASSERT_TRUE(Extract({{"/rooted.lua", "r"}}));
  EXPECT_EQ("r", ReadWholeFile(target_ + L"\\rooted.lua"));
  EXPECT_FALSE(FileExists(L"C:\\rooted.lua"));
  // A drive inside an entry name is no way out either (Windows refuses the name; Wine keeps the
  // colon as part of a folder name below the target).
  Extract({{"C:/qv_drive_escape.lua", "d"}});
  EXPECT_FALSE(FileExists(L"C:\\qv_drive_escape.lua"));
}

TEST_F(ResDropperTest, DamagedArchivesFailWithoutCrashing) {
  const std::string good = QvTest::MakeZip({{"a.lua", "some script text", true}, {"b.lua", "more"}});
  EXPECT_FALSE(ExtractBytes("this is not a zip archive at all"));
  const std::string empty = QvTest::MakeZip({});
  EXPECT_FALSE(ExtractBytes(empty.substr(0, empty.size() - 1)));  // end record cut short
  std::string claimsEntries = empty;
  claimsEntries[8] = claimsEntries[10] = 1;  // an end record announcing an entry that is not there
  EXPECT_FALSE(ExtractBytes(claimsEntries));
  EXPECT_FALSE(ExtractBytes(good.substr(0, good.size() / 2)));  // central directory cut off
  std::string garbledData = good;
  for (size_t i = 40; i < 60; ++i) garbledData[i] = static_cast<char>(0xff);  // inside a.lua's data
  EXPECT_FALSE(ExtractBytes(garbledData));
  std::string garbledHeader = good;
  garbledHeader[0] = 'X';  // local header signature of a.lua
  EXPECT_FALSE(ExtractBytes(garbledHeader));
}

TEST_F(ResDropperTest, EntryWithWrongChecksumFails) {
  EXPECT_FALSE(Extract({{"a.lua", "content", false, true}}));
  EXPECT_FALSE(Extract({{"b.lua", "deflated content", true, true}}));
}

TEST_F(ResDropperTest, AnEntryThatCannotBeCreatedFails) {
  // A folder of the same name is in the way of the file.
  ASSERT_TRUE(::CreateDirectoryW((target_ + L"\\taken.lua").c_str(), nullptr));
  EXPECT_FALSE(Extract({{"taken.lua", "x"}}));
  // A file is in the way of a folder.
  EXPECT_FALSE(Extract({{"file.lua", "x"}, {"file.lua/inner.lua", "y"}}));
}

TEST_F(ResDropperTest, TargetMustBeAnExistingDirectory) {
  const std::string archive = QvTest::MakeZip({{"a.lua", "x"}});
  UniqueModule module = ArchiveModule(archive);
  ASSERT_TRUE(module.valid());
  EXPECT_FALSE(ResDropper::ExtractZipFromResource(L"", module.get()));
  EXPECT_FALSE(ResDropper::ExtractZipFromResource(scratch_ / L"missing", module.get()));
  ASSERT_TRUE(Extract({{"plain.lua", "x"}}));
  EXPECT_FALSE(ResDropper::ExtractZipFromResource(target_ + L"\\plain.lua", module.get()));
  // A trailing backslash on the target is fine.
  EXPECT_TRUE(ResDropper::ExtractZipFromResource(target_ + L"\\", module.get()));
  EXPECT_EQ("x", ReadWholeFile(target_ + L"\\a.lua"));
}

TEST_F(ResDropperTest, ModuleWithoutArchiveFails) {
  // The test program itself carries no RCDATA 103.
  EXPECT_FALSE(ResDropper::ExtractZipFromResource(target_));
  EXPECT_EQ(0, QvTest::CountEntries(target_));
}

}  // namespace
