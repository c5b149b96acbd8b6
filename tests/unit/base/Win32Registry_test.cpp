// Win32Registry against the real registry: views, readers and their result codes, multi-strings,
// key creation and deletion, long sub-key names.
#include "base/Win32Registry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/Utf8.h"
#include "tests/support/ScratchKey.h"

namespace {

using namespace std::string_literals;
using QvTest::ScratchKey;

class Win32RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(scratch_.Created()); }

  void Put(REGSAM view, const wchar_t* name, DWORD type, const void* data, DWORD bytes) {
    UniqueHKey key = scratch_.Open(view);
    ASSERT_TRUE(key);
    ASSERT_EQ(::RegSetValueExW(key.get(), name, 0, type, static_cast<const BYTE*>(data), bytes),
              ERROR_SUCCESS);
  }
  void PutText(const wchar_t* name, DWORD type, const std::wstring& text) {
    Put(KEY_WOW64_64KEY, name, type, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
  }

  ScratchKey scratch_;
};

TEST_F(Win32RegistryTest, ThirtyTwoBitViewLandsUnderWow6432Node) {
  const std::wstring wowPath =
      L"SOFTWARE\\Wow6432Node" + scratch_.Path().substr(std::wstring(L"SOFTWARE").size());
  Win32Registry in32(HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY);
  ASSERT_TRUE(in32.SetString(scratch_.Path(), L"Bits", L"32"));
  ASSERT_TRUE(in32.CreateKeyPath(scratch_.Path() + L"\\a\\b"));

  Win32Registry in64(HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY);
  std::wstring text = L"stale";
  EXPECT_TRUE(in64.GetString(wowPath, L"Bits", text));
  EXPECT_EQ(text, L"32");
  EXPECT_TRUE(in64.KeyExists(wowPath + L"\\a\\b"));
  EXPECT_FALSE(in64.GetString(scratch_.Path(), L"Bits", text));
  EXPECT_EQ(in64.GetLastResult(), RegResult::NotFound);
  EXPECT_EQ(text, L"");
  EXPECT_FALSE(in64.KeyExists(scratch_.Path(), L"a"));
  // The process's own view is the 64-bit one.
  Win32Registry native;
  EXPECT_FALSE(native.KeyExists(scratch_.Path() + L"\\a"));
}

TEST_F(Win32RegistryTest, ReadersGiveTheTypeCodeAndAnEmptyResultOnMismatch) {
  const DWORD number = 7;
  const ULONGLONG wide = 0x1122334455667788ull;
  const BYTE bytes[] = {1, 2, 3};
  PutText(L"Sz", REG_SZ, L"text longer than eight bytes");
  PutText(L"Expand", REG_EXPAND_SZ, L"%SystemRoot%\\x");
  Put(KEY_WOW64_64KEY, L"Dword", REG_DWORD, &number, sizeof(number));
  Put(KEY_WOW64_64KEY, L"Qword", REG_QWORD, &wide, sizeof(wide));
  Put(KEY_WOW64_64KEY, L"Binary", REG_BINARY, bytes, sizeof(bytes));
  Put(KEY_WOW64_64KEY, L"Multi", REG_MULTI_SZ, L"a\0b\0", 10);
  const std::wstring branch = scratch_.Path();
  const std::wstring missingBranch = branch + L"\\missing";

  // What each reader answers for one value: result, code and whether the output is empty.
  using Reader = bool (*)(Win32Registry&, const std::wstring&, const wchar_t*, bool& empty);
  const Reader getString = [](Win32Registry& r, const std::wstring& b, const wchar_t* k, bool& empty) {
    std::wstring out = L"stale";
    const bool ok = r.GetString(b, k, out);
    empty = out.empty();
    return ok;
  };
  const Reader getDword = [](Win32Registry& r, const std::wstring& b, const wchar_t* k, bool& empty) {
    DWORD out = 99;
    const bool ok = r.GetDWORD(b, k, out);
    empty = out == 0;
    return ok;
  };
  const Reader getQword = [](Win32Registry& r, const std::wstring& b, const wchar_t* k, bool& empty) {
    ULONGLONG out = 99;
    const bool ok = r.GetQWORD(b, k, out);
    empty = out == 0;
    return ok;
  };
  const Reader getMulti = [](Win32Registry& r, const std::wstring& b, const wchar_t* k, bool& empty) {
    std::vector<std::wstring> out{L"stale"};
    const bool ok = r.GetMultiString(b, k, out);
    empty = out.empty();
    return ok;
  };
  const Reader getBinary = [](Win32Registry& r, const std::wstring& b, const wchar_t* k, bool& empty) {
    std::vector<BYTE> out{9};
    const bool ok = r.GetBinary(b, k, out);
    empty = out.empty();
    return ok;
  };
  const struct {
    const char* reader;
    Reader read;
    const wchar_t* good;
    std::vector<const wchar_t*> wrong;
  } cases[] = {
      {"GetString", getString, L"Expand", {L"Dword", L"Qword", L"Binary", L"Multi"}},
      {"GetDWORD", getDword, L"Dword", {L"Sz", L"Qword", L"Binary", L"Multi"}},
      {"GetQWORD", getQword, L"Qword", {L"Sz", L"Dword", L"Binary", L"Multi"}},
      {"GetMultiString", getMulti, L"Multi", {L"Sz", L"Expand", L"Dword", L"Binary"}},
      {"GetBinary", getBinary, L"Binary", {L"Sz", L"Dword", L"Qword", L"Multi"}},
  };
  for (const auto& c : cases) {
    Win32Registry registry;
    bool empty = true;
    EXPECT_TRUE(c.read(registry, branch, c.good, empty)) << c.reader;
    EXPECT_FALSE(empty) << c.reader;
    for (const wchar_t* wrong : c.wrong) {
      EXPECT_FALSE(c.read(registry, branch, wrong, empty)) << c.reader << " " << wrong;
      EXPECT_EQ(registry.GetLastResult(), RegResult::WrongType) << c.reader << " " << wrong;
      EXPECT_TRUE(empty) << c.reader << " " << wrong;
    }
    for (const auto& [b, k] : {std::pair{branch, L"Missing"}, std::pair{missingBranch, c.good}}) {
      EXPECT_FALSE(c.read(registry, b, k, empty)) << c.reader;
      EXPECT_EQ(registry.GetLastResult(), RegResult::NotFound) << c.reader;
      EXPECT_TRUE(empty) << c.reader;
    }
  }

  Win32Registry registry;
  std::string text;
  ASSERT_TRUE(registry.GetString(branch, L"Expand", text));
  EXPECT_EQ(text, "%SystemRoot%\\x");  // never expanded
  EXPECT_EQ(registry.GetValueType(branch, L"Qword"), static_cast<DWORD>(REG_QWORD));
  EXPECT_EQ(registry.GetValueType(branch, L"Missing"), 0u);
}

TEST_F(Win32RegistryTest, MultiStringsRoundTripAndRefuseEmptyEntries) {
  const std::wstring branch = scratch_.Path();
  Win32Registry registry;
  const std::vector<std::wstring> list{L"Grüße", L"\x65e5\x672c", L"plain"};
  ASSERT_TRUE(registry.SetMultiString(branch, L"List", list));
  std::vector<std::wstring> back;
  EXPECT_TRUE(registry.GetMultiString(branch, L"List", back));
  EXPECT_EQ(back, list);
  std::vector<std::string> utf8;
  EXPECT_TRUE(registry.GetMultiString(QvText::ToUtf8(branch), "List", utf8));
  EXPECT_EQ(utf8, (std::vector<std::string>{"Grüße", "\xe6\x97\xa5\xe6\x9c\xac", "plain"}));

  // The empty list is stored as two NULs.
  ASSERT_TRUE(registry.SetMultiString(branch, L"Empty", std::vector<std::wstring>{}));
  std::vector<BYTE> raw;
  DWORD type = 0;
  ASSERT_TRUE(registry.GetValue(branch, L"Empty", raw, type));
  EXPECT_EQ(type, static_cast<DWORD>(REG_MULTI_SZ));
  EXPECT_EQ(raw, std::vector<BYTE>(4, 0));
  EXPECT_TRUE(registry.GetMultiString(branch, L"Empty", back));
  EXPECT_TRUE(back.empty());

  // A list holding an empty string would end early for every reader: refused, nothing written.
  EXPECT_FALSE(registry.SetMultiString(branch, L"List", {L"a", L"", L"b"}));
  EXPECT_EQ(registry.GetLastResult(), RegResult::InvalidArgument);
  EXPECT_FALSE(registry.SetMultiString(branch, L"New", {L""}));
  EXPECT_TRUE(registry.GetMultiString(branch, L"List", back));
  EXPECT_EQ(back, list);
  EXPECT_EQ(registry.GetValueType(branch, L"New"), 0u);

  // Data without its final NUL (the writer's count stops short and the next character is not a
  // NUL, so the system adds none): the cut-short last segment is dropped.
  const wchar_t cut[] = L"one\0twoX";
  Put(KEY_WOW64_64KEY, L"Cut", REG_MULTI_SZ, cut, 7 * sizeof(wchar_t));
  ASSERT_TRUE(registry.GetValue(branch, L"Cut", raw, type));
  ASSERT_EQ(raw.size(), 7 * sizeof(wchar_t));
  EXPECT_TRUE(registry.GetMultiString(branch, L"Cut", back));
  EXPECT_EQ(back, std::vector<std::wstring>{L"one"});
}

TEST_F(Win32RegistryTest, KeysAreCreatedAndDeletedOneAtATime) {
  const std::wstring base = scratch_.Path();
  Win32Registry registry;
  const struct {
    const char* what;
    bool result;
    DWORD code;
    bool (*call)(Win32Registry&, const std::wstring&);
  } cases[] = {
      {"path of one component", false, RegResult::InvalidArgument,
       [](Win32Registry& r, const std::wstring&) { return r.DeleteKey(L"SOFTWARE"); }},
      {"empty child to create", false, RegResult::InvalidArgument,
       [](Win32Registry& r, const std::wstring& b) { return r.CreateKey(b, L""); }},
      {"empty child to delete", false, RegResult::InvalidArgument,
       [](Win32Registry& r, const std::wstring& b) { return r.DeleteKey(b, L""); }},
      {"empty child of a tree", false, RegResult::InvalidArgument,
       [](Win32Registry& r, const std::wstring& b) { return r.DeleteTree(b, L""); }},
      {"string into a missing branch", false, RegResult::NotFound,
       [](Win32Registry& r, const std::wstring& b) { return r.SetString(b + L"\\nope", L"v", L"x"); }},
      {"number into a missing branch", false, RegResult::NotFound,
       [](Win32Registry& r, const std::wstring& b) { return r.SetDWORD(b + L"\\nope", L"v", 1); }},
      {"missing key", false, RegResult::NotFound,
       [](Win32Registry& r, const std::wstring& b) { return r.DeleteKey(b + L"\\nope"); }},
      {"whole path", true, RegResult::Success,
       [](Win32Registry& r, const std::wstring& b) { return r.CreateKeyPath(b + L"\\p\\q\\r"); }},
      {"key with a sub-key", false, RegResult::AccessDenied,
       [](Win32Registry& r, const std::wstring& b) { return r.DeleteKey(b + L"\\p\\q"); }},
      {"leaf", true, RegResult::Success,
       [](Win32Registry& r, const std::wstring& b) { return r.DeleteKey(b + L"\\p\\q", L"r"); }},
      {"tree", true, RegResult::Success,
       [](Win32Registry& r, const std::wstring& b) {
         return r.CreateKey(b + L"\\p\\q", L"s") && r.DeleteTree(b, L"p");
       }},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.call(registry, base), c.result) << c.what;
    EXPECT_EQ(registry.GetLastResult(), c.code) << c.what;
  }
  std::vector<std::wstring> names{L"stale"};
  EXPECT_EQ(registry.GetSubkeys(base, names), 0u);  // nothing survives of p
  EXPECT_FALSE(registry.KeyExists(base + L"\\nope"));
}

TEST_F(Win32RegistryTest, ListingsHoldTheLongestNamesAndEmptyOnFailure) {
  const std::wstring longest(255, L'k');
  ASSERT_TRUE(scratch_.Create(KEY_WOW64_64KEY, longest));
  ASSERT_TRUE(scratch_.Create(KEY_WOW64_64KEY, L"short"));
  const std::wstring longValue(16383, L'v');
  PutText(longValue.c_str(), REG_SZ, L"x");
  PutText(L"v2", REG_SZ, L"y");

  Win32Registry registry;
  std::vector<std::wstring> names;
  EXPECT_EQ(registry.GetSubkeys(scratch_.Path(), names), 2u);
  EXPECT_EQ(registry.GetLastResult(), RegResult::Success);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::wstring>{longest, L"short"}));
  EXPECT_EQ(registry.GetValueNames(scratch_.Path(), names), 2u);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::wstring>{L"v2", longValue}));

  EXPECT_EQ(registry.GetSubkeys(scratch_.Child(L"missing"), names), 0u);
  EXPECT_EQ(registry.GetLastResult(), RegResult::NotFound);
  EXPECT_TRUE(names.empty());
}

}  // namespace
