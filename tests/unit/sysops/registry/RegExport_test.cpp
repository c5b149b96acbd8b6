// The registry file writer against the real registry and the system's own importer: a branch with
// every value type in both views goes out as a file, is deleted, and `reg import` of the file puts
// back every value byte for byte; a link inside the branch is neither followed nor written.
#include "sysops/registry/RegExport.h"

#include <gtest/gtest.h>

#include <cwctype>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "base/Win32Registry.h"
#include "tests/support/MsiRegistration.h"
#include "tests/support/ScratchKey.h"

namespace {

using QvTest::ScratchKey;

using Bytes = std::vector<BYTE>;

Bytes Text(const std::wstring& text, bool terminated = true) {
  const auto* data = reinterpret_cast<const BYTE*>(text.c_str());
  return Bytes(data, data + (text.size() + (terminated ? 1 : 0)) * sizeof(wchar_t));
}

// Everything below a key, as (sub-path, value name) -> (type, data); keys without values as a row
// with type REG_NONE + 1000 so that they count too.
using Contents = std::map<std::pair<std::wstring, std::wstring>, std::pair<DWORD, Bytes>>;

void Read(HKEY key, const std::wstring& path, Contents& contents) {
  contents[{path, L"(key)"}] = {REG_NONE + 1000, {}};
  for (DWORD index = 0;; ++index) {
    wchar_t name[16384];
    DWORD nameLength = 16384, type = 0, size = 0;
    if (::RegEnumValueW(key, index, name, &nameLength, nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
      break;
    Bytes data(size);
    nameLength = 16384;
    ::RegEnumValueW(key, index, name, &nameLength, nullptr, &type, data.data(), &size);
    contents[{path, std::wstring(name, nameLength)}] = {type, data};
  }
  std::vector<std::wstring> subkeys;
  RegLink::ListSubkeys(key, subkeys);
  for (const std::wstring& sub : subkeys) {
    UniqueHKey child;
    if (::RegOpenKeyExW(key, sub.c_str(), REG_OPTION_OPEN_LINK, KEY_READ, child.put()) == ERROR_SUCCESS)
      Read(child.get(), path + L"\\" + sub, contents);
  }
}

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

TEST(RegExport, AnExportedBranchComesBackByteForByteThroughRegImportInBothViews) {
  ScratchKey scratch;
  ASSERT_TRUE(scratch.Created());
  const std::wstring longName(255, L'k');
  const ULONGLONG qword = 0x0102030405060708ull;
  const DWORD dword = 7;
  const std::vector<std::tuple<const wchar_t*, DWORD, Bytes>> values = {
      {L"", REG_SZ, Text(L"default")},
      {L"plain", REG_SZ, Text(L"text")},
      {L"quote\" and \\ back", REG_SZ, Text(L"\"quoted\" \\ and ä ж 漢")},
      {L"näme", REG_SZ, Text(L"")},
      {L"unterminated", REG_SZ, Text(L"abc", false)},
      {L"expand", REG_EXPAND_SZ, Text(L"%SystemRoot%\\x")},
      {L"multi", REG_MULTI_SZ, Text(std::wstring(L"a\0b\0", 4))},
      {L"dword", REG_DWORD,
       Bytes(reinterpret_cast<const BYTE*>(&dword), reinterpret_cast<const BYTE*>(&dword) + 4)},
      {L"qword", REG_QWORD,
       Bytes(reinterpret_cast<const BYTE*>(&qword), reinterpret_cast<const BYTE*>(&qword) + 8)},
      {L"binary", REG_BINARY, Bytes(300, 0x5a)},
      {L"none", REG_NONE, Bytes{}},
      {L"none data", REG_NONE, Bytes{1, 2, 3}},
      {L"own type", 0x1234, Bytes{9}},
  };
  for (REGSAM view : ScratchKey::kViews) {
    UniqueHKey full = scratch.Create(view, L"branch");
    ASSERT_TRUE(full);
    for (const auto& [name, type, data] : values)
      ASSERT_EQ(::RegSetValueExW(full.get(), name, 0, type, data.data(), static_cast<DWORD>(data.size())),
                ERROR_SUCCESS)
          << name;
    ASSERT_TRUE(scratch.Create(view, L"branch\\empty"));
    UniqueHKey deep = scratch.Create(view, L"branch\\" + longName);
    ASSERT_TRUE(deep);
    const std::wstring viewName = view == KEY_WOW64_32KEY ? L"32" : L"64";
    ASSERT_EQ(::RegSetValueExW(deep.get(), L"view", 0, REG_SZ, Text(viewName).data(), 6), ERROR_SUCCESS);
  }

  std::wstring text = RegExport::Header();
  Contents before[2];
  for (int i = 0; i < 2; ++i) {
    const REGSAM view = ScratchKey::kViews[i];
    UniqueHKey parent = scratch.Open(view, KEY_READ);
    ASSERT_EQ(RegExport::AppendBranch(parent.get(), L"branch", view, text, 64u << 20),
              RegExport::Result::Written);
    UniqueHKey branch = scratch.Open(view, KEY_READ, L"branch");
    Read(branch.get(), L"", before[i]);
    ASSERT_EQ(before[i].size(), values.size() + 4) << "every value, the branch and its three sub-keys";
    EXPECT_EQ(RegExport::AppendBranch(parent.get(), L"missing", view, text, 64u << 20),
              RegExport::Result::Missing);
  }
  std::wstring lower = text;
  for (wchar_t& c : lower) c = static_cast<wchar_t>(::towlower(c));
  EXPECT_NE(lower.find(L"\\wow6432node\\"), std::wstring::npos) << "the 32-bit view under its own path";
  std::wstring small;
  {
    UniqueHKey parent = scratch.Open(KEY_WOW64_64KEY, KEY_READ);
    EXPECT_EQ(RegExport::AppendBranch(parent.get(), L"branch", KEY_WOW64_64KEY, small, 100),
              RegExport::Result::TooLarge);
    EXPECT_TRUE(small.empty()) << "nothing of a branch that does not fit";
  }

  for (REGSAM view : ScratchKey::kViews)
    ASSERT_TRUE(QvTest::DeleteMachineTree(scratch.Child(L"branch"), view));
  ASSERT_TRUE(QvTest::ImportRegText(text));  // through reg.exe, as a UTF-16 file with its mark
  for (int i = 0; i < 2; ++i) {
    UniqueHKey branch = scratch.Open(ScratchKey::kViews[i], KEY_READ, L"branch");
    ASSERT_TRUE(branch);
    Contents after;
    Read(branch.get(), L"", after);
    EXPECT_EQ(after, before[i]) << "view " << i;
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
  ASSERT_EQ(RegExport::AppendBranch(parent.get(), L"branch", KEY_WOW64_64KEY, text, 1u << 20),
            RegExport::Result::Written);
  EXPECT_EQ(text.find(L"canary"), std::wstring::npos);
  EXPECT_EQ(text.find(L"\\link]"), std::wstring::npos);
}

}  // namespace
