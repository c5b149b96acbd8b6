// The registry file writer: value lines as the importer reads them, and a link inside a branch
// neither followed nor written. (The round trip through `reg import` is in the undo material's
// tests, where the tool's own deletions write the file.)
#include "sysops/registry/RegExport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/Win32Registry.h"
#include "tests/support/MsiRegistration.h"
#include "tests/support/RegistryContents.h"
#include "tests/support/ScratchKey.h"

namespace {

using QvTest::ScratchKey;

using QvTest::Bytes;

Bytes Text(const std::wstring& text, bool terminated = true) { return QvTest::TextBytes(text, terminated); }

TEST(RegExport, ValueLinesEscapeNamesAndFallBackToHexWhereAStringWouldNotCarryTheData) {
  const DWORD dword = 0x12ab;
  const struct {
    const wchar_t* name;
    DWORD type;
    Bytes data;
    const wchar_t* line;
  } cases[] = {
      {L"", REG_SZ, Text(L"x"), L"@=\"x\""},
      {L"a\"b\\c", REG_SZ, Text(L"q\"\\"), L"\"a\\\"b\\\\c\"=\"q\\\"\\\\\""},
      {L"n", REG_SZ, Text(L"x", false), L"\"n\"=hex(1):78,00"},  // no terminator
      {L"n", REG_SZ, Text(L"a\nb"), L"\"n\"=hex(1):61,00,0a,00,62,00,00,00"},
      {L"n", REG_DWORD,
       Bytes(reinterpret_cast<const BYTE*>(&dword), reinterpret_cast<const BYTE*>(&dword) + 4),
       L"\"n\"=dword:000012ab"},
      {L"n", REG_DWORD, Bytes{1, 2}, L"\"n\"=hex(4):01,02"},
      {L"n", REG_BINARY, Bytes{}, L"\"n\"=hex:"},
      {L"n", REG_NONE, Bytes{0xff}, L"\"n\"=hex(0):ff"},
      {L"n", 0x20, Bytes{1}, L"\"n\"=hex(20):01"},
  };
  for (const auto& c : cases) {
    std::wstring line;
    ASSERT_TRUE(RegExport::ValueLine(c.name, c.type, c.data.data(), static_cast<DWORD>(c.data.size()), line));
    EXPECT_EQ(line, c.line);
  }
  std::wstring line;
  EXPECT_FALSE(RegExport::ValueLine(L"a\r\nb", REG_SZ, Text(L"x").data(), 4, line));
  // Long data goes on in continuation lines of at most about 80 characters.
  const Bytes many(200, 0xab);
  ASSERT_TRUE(RegExport::ValueLine(L"long", REG_BINARY, many.data(), 200, line));
  for (std::size_t start = 0, end; start < line.size(); start = end + 2) {
    end = line.find(L"\r\n", start);
    if (end == std::wstring::npos) end = line.size();
    EXPECT_LE(end - start, 80u);
  }
}

TEST(RegExport, ALinkInsideTheBranchIsNeitherFollowedNorWritten) {
  ScratchKey scratch;
  ASSERT_TRUE(scratch.Created());
  ASSERT_TRUE(scratch.Create(KEY_WOW64_64KEY, L"target"));
  UniqueHKey target = scratch.Open(KEY_WOW64_64KEY, KEY_ALL_ACCESS, L"target");
  ASSERT_EQ(::RegSetValueExW(target.get(), L"canary", 0, REG_SZ, Text(L"c").data(), 4), ERROR_SUCCESS);
  ASSERT_TRUE(scratch.Create(KEY_WOW64_64KEY, L"branch"));
  QvTest::MachineLink link(scratch.Child(L"branch\\link"), KEY_WOW64_64KEY, scratch.Child(L"target"));
  ASSERT_TRUE(link.Made());
  std::wstring text;
  UniqueHKey parent = scratch.Open(KEY_WOW64_64KEY, KEY_READ);
  ASSERT_EQ(
      RegExport::AppendBranch(HKEY_LOCAL_MACHINE, parent.get(), L"branch", KEY_WOW64_64KEY, text, 1u << 20),
      RegExport::Result::Written);
  EXPECT_EQ(text.find(L"canary"), std::wstring::npos);
  EXPECT_EQ(text.find(L"\\link]"), std::wstring::npos);
}

}  // namespace
