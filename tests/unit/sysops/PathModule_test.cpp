// Path.RemoveFromPendingOperation on the machine's real restart schedule: which entries go, the
// bytes that stay, and the cases that write nothing.
#include "sysops/PathModule.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "base/Utf8.h"
#include "logging/QvBrelLogging.h"
#include "tests/support/LogCapture.h"
#include "tests/support/LuaChunk.h"
#include "tests/support/PendingRenames.h"

namespace {

using namespace std::string_literals;
using QvTest::PendingRenames;

// Two deletions as the system stores them: each source with an empty target, then the NUL that ends
// the list.
const std::wstring kTwoDeletions = L"\\??\\C:\\P\\a.dll\0\0\\??\\C:\\Q\\b.dll\0\0\0"s;
const std::wstring kSecondOnly = L"\\??\\C:\\Q\\b.dll\0\0\0"s;
// Other software's entries (an update's rename, another vendor's deletion) around ours.
const std::wstring kMixed =
    L"\\??\\C:\\Windows\\SoftwareDistribution\\x.tmp\0!\\??\\C:\\Windows\\System32\\x.dll\0"
    L"\\??\\C:\\Program Files\\Quorvel\\drv.sys\0\0"
    L"\\??\\C:\\Program Files\\Other\\Quorvel\\y.dll\0\0"
    L"\\??\\C:\\Program Files\\Quorvel\\new.sys\0!\\??\\C:\\Program Files\\Quorvel\\drv.sys\0"
    L"\\??\\C:\\Users\\me\\C:\\Program Files\\Quorvel\\z\0\0\0"s;
const std::wstring kMixedOthers =
    L"\\??\\C:\\Windows\\SoftwareDistribution\\x.tmp\0!\\??\\C:\\Windows\\System32\\x.dll\0"
    L"\\??\\C:\\Program Files\\Other\\Quorvel\\y.dll\0\0"
    L"\\??\\C:\\Users\\me\\C:\\Program Files\\Quorvel\\z\0\0\0"s;

TEST(PathModule, RemovesOnlyEntriesStartingWithThePrefix) {
  PendingRenames schedule;
  ASSERT_TRUE(schedule.Locked());
  QvTest::LogCapture capture;
  ASSERT_TRUE(capture.Start());
  QvTest::LuaChunk lua;
  ASSERT_TRUE(lua.Valid());

  const struct {
    const char* name;
    std::optional<std::wstring> stored;  // nothing: the value is absent
    std::wstring prefix;
    const char* result;
    std::optional<std::wstring> after;
  } cases[] = {
      {"described example", kTwoDeletions, L"C:\\P", "n:1 number:1", kSecondOnly},
      {"NT prefix matches at 0", kTwoDeletions, L"\\??\\C:\\P", "n:1 number:1", kSecondOnly},
      {"prefix at 2 or 10", L"XYC:\\P\\x.dll\0\0\\??\\C:\\Q\\xC:\\P\\y\0\0\0"s, L"C:\\P", "n:1 number:0",
       L"XYC:\\P\\x.dll\0\0\\??\\C:\\Q\\xC:\\P\\y\0\0\0"s},
      {"case-sensitive", L"\\??\\c:\\p\\a.dll\0\0\\??\\C:\\p\\b.dll\0\0\0"s, L"C:\\P", "n:1 number:0",
       L"\\??\\c:\\p\\a.dll\0\0\\??\\C:\\p\\b.dll\0\0\0"s},
      {"a name that only starts like the prefix stays", L"\\??\\C:\\Program\\a.dll\0\0\\??\\C:\\P\0\0\0"s,
       L"C:\\P", "n:1 number:1", L"\\??\\C:\\Program\\a.dll\0\0\0"s},
      {"other software's entries stay", kMixed, L"C:\\Program Files\\Quorvel", "n:1 number:2", kMixedOthers},
      {"odd number of strings", L"\\??\\C:\\P\\a.dll\0\0"s, L"C:\\P", "n:0", L"\\??\\C:\\P\\a.dll\0\0"s},
      {"missing value", std::nullopt, L"C:\\P", "n:0", std::nullopt},
      {"empty prefix removes nothing", kMixed, L"", "n:1 number:0", kMixed},
      {"a relative prefix removes nothing", kMixed, L"Program Files", "n:1 number:0", kMixed},
      {"a '..' in the prefix removes nothing", L"\\??\\C:\\Quorvel\\..\\a\0\0\0"s, L"C:\\Quorvel\\..",
       "n:1 number:0", L"\\??\\C:\\Quorvel\\..\\a\0\0\0"s},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(PendingRenames::Write(c.stored));
    lua.SetGlobal("PREFIX", c.prefix);
    EXPECT_EQ(lua.Run("return Path.RemoveFromPendingOperation(PREFIX)"), c.result);
    EXPECT_EQ(PendingRenames::Read(), c.after);
  }

  // The removal of the described example (twice), the failed reads, and writes only where told.
  EXPECT_EQ(capture.Count(QV_DEBUG, "::RemoveByPrefix",
                          L"Removing path from PendingOperation '\\??\\C:\\P\\a.dll'->''"),
            2);
  EXPECT_EQ(capture.CountStartingWith(QV_DEBUG, "::GetAllPendingPairs",
                                      L"Error reading 'PendingFileRenameOperations'. Error "),
            2);
  EXPECT_EQ(capture.Count(QV_INFO, "::Win32RegistryForTools::SetValueRaw",
                          L"Set value 'PendingFileRenameOperations' on "
                          L"'SYSTEM\\CurrentControlSet\\Control\\Session Manager'"),
            6);
  EXPECT_EQ(capture.Count(QV_WARNING, "Lua::Path::RemoveFromPendingOperation",
                          L"Empty prefix: no pending operation removed"),
            1);
  EXPECT_EQ(capture.Count(QV_WARNING, "Lua::Path::RemoveFromPendingOperation",
                          L"Refusing prefix 'C:\\Quorvel\\..': '..' is not a plain component"),
            1);
}

}  // namespace
