// The undo material of a run, against the real registry, files and reg.exe: what the tool's own
// deletions take comes back through `reg import` byte for byte, deleted files are listed with their
// digest, the newest five runs stay, an export that cannot be kept follows --require-undo, and the
// undo folder is never reached through a link.
#include "sysops/UndoMaterial.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>
#include <string>
#include <tuple>
#include <vector>

#include "FileTestSupport.h"
#include "base/ChangeJournal.h"
#include "base/Utf8.h"
#include "core/Status.h"
#include "logging/LogFolder.h"
#include "sysops/FileOps.h"
#include "sysops/registry/RegOps.h"
#include "tests/support/MsiRegistration.h"
#include "tests/support/RegistryContents.h"
#include "tests/support/ScratchKey.h"

using namespace QvTest;

namespace {

FILETIME Now() {
  FILETIME now{};
  ::GetSystemTimeAsFileTime(&now);
  return now;
}

FILETIME At(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second) {
  const SYSTEMTIME time{year, month, 0, day, hour, minute, second, 0};
  FILETIME file{};
  ::SystemTimeToFileTime(&time, &file);
  return file;
}

// One run: its own log folder (the capture's), undo material kept from the start, journal and
// status cleared; forgotten again at the end.
class UndoRun {
 public:
  explicit UndoRun(bool required = false, const FILETIME& started = Now()) {
    started_ = capture.Start();
    UndoMaterial::Instance().Reset();
    UndoMaterial::Instance().Begin(started, required);
    ChangeJournal::Instance().Clear();
    Status::Instance().Reset();
  }
  ~UndoRun() {
    UndoMaterial::Instance().Reset();
    ChangeJournal::Instance().Clear();
    Status::Instance().Reset();
  }
  ::testing::AssertionResult Started() const { return started_; }
  std::wstring UndoFolder() const { return QvBrelLogging::LogFolder() + L"\\Undo"; }
  std::wstring File(const wchar_t* name) const { return UndoMaterial::Instance().Folder() + L"\\" + name; }

  LogCapture capture;

 private:
  ::testing::AssertionResult started_ = ::testing::AssertionFailure();
};

const Change* FindChange(const std::vector<Change>& changes, const std::wstring& op) {
  for (const Change& change : changes)
    if (change.op == op) return &change;
  return nullptr;
}

TEST(UndoMaterial, WhatTheToolDeletesComesBackByteForByteThroughRegImportInBothViews) {
  UndoRun run;
  ASSERT_TRUE(run.Started());
  ScratchKey scratch;
  ASSERT_TRUE(scratch.Created());
  const std::wstring longName(255, L'k');
  const ULONGLONG qword = 0x0102030405060708ull;
  const DWORD dword = 7;
  const auto raw = [](const auto& value) {
    const auto* bytes = reinterpret_cast<const BYTE*>(&value);
    return Bytes(bytes, bytes + sizeof(value));
  };
  const std::vector<std::tuple<const wchar_t*, DWORD, Bytes>> values = {
      {L"", REG_SZ, TextBytes(L"default")},
      {L"plain", REG_SZ, TextBytes(L"text")},
      {L"quote\" and \\ back", REG_SZ, TextBytes(L"\"quoted\" \\ and ä ж 漢")},
      {L"näme", REG_SZ, TextBytes(L"")},
      {L"unterminated", REG_SZ, TextBytes(L"abc", false)},
      {L"expand", REG_EXPAND_SZ, TextBytes(L"%SystemRoot%\\x")},
      {L"multi", REG_MULTI_SZ, TextBytes(std::wstring(L"a\0b\0", 4))},
      {L"dword", REG_DWORD, raw(dword)},
      {L"qword", REG_QWORD, raw(qword)},
      {L"binary", REG_BINARY, Bytes(300, 0x5a)},
      {L"none", REG_NONE, Bytes{}},
      {L"none data", REG_NONE, Bytes{1, 2, 3}},
      {L"own type", 0x1234, Bytes{9}},
  };
  // Three deletions per view: a whole branch, one value of another key, a key on its own.
  RegistryContents before[2];
  for (int i = 0; i < 2; ++i) {
    const REGSAM view = ScratchKey::kViews[i];
    for (const wchar_t* key : {L"branch", L"values", L"single"}) {
      UniqueHKey created = scratch.Create(view, key);
      ASSERT_TRUE(created);
      for (const auto& [name, type, data] : values)
        ASSERT_EQ(
            ::RegSetValueExW(created.get(), name, 0, type, data.data(), static_cast<DWORD>(data.size())),
            ERROR_SUCCESS)
            << name;
    }
    ASSERT_TRUE(scratch.Create(view, L"branch\\empty"));
    UniqueHKey deep = scratch.Create(view, L"branch\\" + longName);
    ASSERT_TRUE(deep);
    const Bytes viewName = TextBytes(i == 0 ? L"64" : L"32");
    ASSERT_EQ(::RegSetValueExW(deep.get(), L"view", 0, REG_SZ, viewName.data(), 6), ERROR_SUCCESS);
    UniqueHKey canary = scratch.Create(view, L"canary");
    ASSERT_EQ(::RegSetValueExW(canary.get(), L"kept", 0, REG_SZ, viewName.data(), 6), ERROR_SUCCESS);
    UniqueHKey all = scratch.Open(view, KEY_READ);
    ReadContents(all.get(), L"", before[i]);
    ASSERT_EQ(before[i].size(), 3 * values.size() + 9) << "every value, every key";
    // A link inside the branch goes as a link: what it names stays, and nothing of it is exported.
    MachineLink link(scratch.Child(L"branch\\link"), view, scratch.Child(L"canary"));
    ASSERT_TRUE(link.Made());

    ASSERT_TRUE(RegOps::WipeBranch(HKEY_LOCAL_MACHINE, view, scratch.Child(L"branch")));
    ASSERT_TRUE(
        RegOps::DeleteKey(HKEY_LOCAL_MACHINE, view, scratch.Child(L"values"), L"quote\" and \\ back"));
    ASSERT_TRUE(RegOps::DeleteKey(HKEY_LOCAL_MACHINE, view, scratch.Child(L"values"), L""));
    const auto single = RegOps::BranchGuard::ForRemoval(HKEY_LOCAL_MACHINE, view, scratch.Child(L"single"));
    ASSERT_TRUE(single);
    ASSERT_EQ(RegOps::DeleteSingleKey(*single), static_cast<DWORD>(ERROR_SUCCESS));
    // Nothing there: nothing exported.
    ASSERT_TRUE(RegOps::WipeBranch(HKEY_LOCAL_MACHINE, view, scratch.Child(L"missing")));
    ASSERT_TRUE(RegOps::DeleteKey(HKEY_LOCAL_MACHINE, view, scratch.Child(L"values"), L"missing"));
    EXPECT_FALSE(MachineKeyExists(scratch.Child(L"branch"), view));
    EXPECT_FALSE(link.Exists());
  }
  const std::vector<std::wstring> files = UndoMaterial::Instance().Files();
  ASSERT_EQ(files, std::vector<std::wstring>{run.File(UndoMaterial::kRegistryFileName)});
  EXPECT_EQ(
      run.capture.Count("Undo material of this run: '" + QvText::ToUtf8(UndoMaterial::Instance().Folder())),
      1u);
  std::string text = ReadWholeFile(files[0]);
  ASSERT_TRUE(text.starts_with("\xFF\xFE")) << "UTF-16 LE with its byte-order mark";
  const std::wstring wide(reinterpret_cast<const wchar_t*>(text.data() + 2), (text.size() - 2) / 2);
  EXPECT_TRUE(wide.starts_with(L"Windows Registry Editor Version 5.00\r\n\r\n"));
  EXPECT_EQ(wide.find(L"missing"), std::wstring::npos);
  EXPECT_EQ(wide.find(L"kept"), std::wstring::npos);
  std::wstring lower = wide;
  for (wchar_t& c : lower) c = static_cast<wchar_t>(std::towlower(c));
  EXPECT_NE(lower.find(L"\\wow6432node\\"), std::wstring::npos) << "the 32-bit view under its own path";

  UndoMaterial::Instance().End();
  ASSERT_TRUE(ImportRegFile(files[0]));
  for (int i = 0; i < 2; ++i) {
    UniqueHKey all = scratch.Open(ScratchKey::kViews[i], KEY_READ);
    RegistryContents after;
    ReadContents(all.get(), L"", after);
    EXPECT_EQ(after, before[i]) << "view " << i;
  }
}

TEST(UndoMaterial, DeletedFilesAreListedWithSizeLastWriteAndDigestAndNothingElse) {
  UndoRun run;
  ASSERT_TRUE(run.Started());
  ScratchDir dir;
  ASSERT_TRUE(dir.Created());
  ASSERT_TRUE(dir.Write(L"abc.txt", "abc"));
  ASSERT_TRUE(MakeFolder(dir.Path() + L"\\tree"));
  ASSERT_TRUE(dir.Write(L"tree\\empty", ""));
  ASSERT_TRUE(dir.Write(L"tree\\näme.bin", "x"));
  ASSERT_TRUE(dir.Write(L"held.txt", "held"));
  ASSERT_TRUE(dir.Write(L"kept.txt", "kept"));
  WIN32_FILE_ATTRIBUTE_DATA abc{};
  ASSERT_TRUE(::GetFileAttributesExW((dir.Path() + L"\\abc.txt").c_str(), GetFileExInfoStandard, &abc));
  {
    FileTest::PendingDeletions pending;
    pending.CleanUpLater(dir.Path() + L"\\held.txt");
    FileTest::FileHolder holder(dir.Path() + L"\\held.txt");
    ASSERT_TRUE(holder.IsHolding());
    EXPECT_TRUE(FileOps::RemoveFile(FileTest::Guarded(dir.Path() + L"\\abc.txt")));
    EXPECT_TRUE(FileOps::RemoveTree(FileTest::Guarded(dir.Path() + L"\\tree")));
    EXPECT_TRUE(FileOps::RemoveFile(FileTest::Guarded(dir.Path() + L"\\held.txt")));
    EXPECT_FALSE(FileOps::RemoveFile(FileTest::Guarded(dir.Path() + L"\\absent.txt")));
  }
  ASSERT_EQ(UndoMaterial::Instance().Files(),
            std::vector<std::wstring>{run.File(UndoMaterial::kFileListName)});
  const std::string list = ReadWholeFile(run.File(UndoMaterial::kFileListName));
  std::vector<std::string> lines;
  for (std::size_t start = 0, end; start < list.size(); start = end + 2) {
    end = list.find("\r\n", start);
    ASSERT_NE(end, std::string::npos) << "every line ends";
    lines.push_back(list.substr(start, end - start));
  }
  ASSERT_EQ(lines.size(), 5u) << list;
  EXPECT_EQ(lines[0], "path\tsize\tlastWrite\tsha256\tremoval");
  SYSTEMTIME written{};
  ::FileTimeToSystemTime(&abc.ftLastWriteTime, &written);
  char time[32];
  std::snprintf(time, sizeof(time), "%04u-%02u-%02uT%02u:%02u:%02uZ", written.wYear, written.wMonth,
                written.wDay, written.wHour, written.wMinute, written.wSecond);
  const std::string folder = QvText::ToUtf8(dir.Path());
  EXPECT_EQ(lines[1], folder + "\\abc.txt\t3\t" + time +
                          "\tba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad\tdeleted");
  const std::string emptyDigest = "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855";
  const std::string xDigest = "2d711642b726b04401627ca9fbac32f5c8530fb1903cc4db02258717921a4881";
  std::vector<std::string> tree = {lines[2].substr(0, lines[2].find('\t', lines[2].find('\t') + 1)),
                                   lines[3].substr(0, lines[3].find('\t', lines[3].find('\t') + 1))};
  std::sort(tree.begin(), tree.end());
  EXPECT_EQ(tree, (std::vector<std::string>{folder + "\\tree\\empty\t0", folder + "\\tree\\näme.bin\t1"}));
  EXPECT_TRUE(lines[2].find(emptyDigest) != std::string::npos || lines[2].find(xDigest) != std::string::npos);
  EXPECT_TRUE(lines[4].starts_with(folder + "\\held.txt\t4\t")) << lines[4];
  EXPECT_TRUE(lines[4].ends_with("\trestart")) << "scheduled at the next restart: " << lines[4];
  EXPECT_EQ(list.find("kept.txt"), std::string::npos);
  EXPECT_EQ(list.find("absent.txt"), std::string::npos);
}

TEST(UndoMaterial, ARunThatDeletesNothingLeavesNoFolderAndANewRunKeepsTheNewestFive) {
  ScratchKey scratch;
  ASSERT_TRUE(scratch.Created());
  {
    UndoRun run;
    ASSERT_TRUE(run.Started());
    EXPECT_TRUE(RegOps::WipeBranch(HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, scratch.Child(L"missing")));
    EXPECT_TRUE(UndoMaterial::Instance().Folder().empty());
    EXPECT_FALSE(Exists(run.UndoFolder()));
  }
  UndoRun run;
  ASSERT_TRUE(run.Started());
  ASSERT_TRUE(MakeFolder(run.UndoFolder()));
  const std::vector<std::wstring> older = {L"20000101T000000Z", L"20000101T000001Z", L"20000101T000001Z-2",
                                           L"20000101T000002Z", L"20000101T000003Z", L"20000101T000004Z"};
  for (const std::wstring& name : older) {
    ASSERT_TRUE(MakeFolder(run.UndoFolder() + L"\\" + name));
    ASSERT_TRUE(WriteWholeFile(run.UndoFolder() + L"\\" + name + L"\\registry.reg", "x"));
  }
  ASSERT_TRUE(MakeFolder(run.UndoFolder() + L"\\notes"));  // not a run folder: never removed
  ASSERT_TRUE(scratch.Create(KEY_WOW64_64KEY, L"gone"));
  ASSERT_TRUE(RegOps::WipeBranch(HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, scratch.Child(L"gone")));
  std::vector<std::wstring> left = ListFolder(run.UndoFolder());
  std::sort(left.begin(), left.end());
  const std::wstring current = UndoMaterial::Instance().Folder().substr(run.UndoFolder().size() + 1);
  std::vector<std::wstring> expected = {L"20000101T000001Z-2",
                                        L"20000101T000002Z",
                                        L"20000101T000003Z",
                                        L"20000101T000004Z",
                                        current,
                                        L"notes"};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(left, expected);
  EXPECT_EQ(run.capture.Count("Removed the undo material of an earlier run: '20000101T000000Z'"), 1u);
}

TEST(UndoMaterial, AnExportThatCannotBeKeptSkipsTheDeletionOnlyUnderRequireUndo) {
  const struct {
    const char* name;
    bool blockFolder;  // a file where the Undo folder belongs
    bool tooLarge;
    bool required;
    bool deleted;
    const char* line;
  } cases[] = {
      {"kept", false, false, true, true, "Undo material of this run"},
      {"no folder", true, false, false, true, "Failed to write the export of"},
      {"no folder, required", true, false, true, false,
       "--require-undo is given and it could not be exported"},
      {"too large, required", false, true, true, true, "without an export: it is larger than 64 MiB"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    UndoRun run(c.required);
    ASSERT_TRUE(run.Started());
    ScratchKey scratch;
    ASSERT_TRUE(scratch.Created());
    UniqueHKey key = scratch.Create(KEY_WOW64_64KEY, L"branch");
    ASSERT_TRUE(key);
    // 11 values of 1 MiB are 66 MiB as hex text.
    const Bytes mebibyte(c.tooLarge ? 1u << 20 : 1, 0xab);
    for (int i = 0; i < (c.tooLarge ? 11 : 1); ++i)
      ASSERT_EQ(::RegSetValueExW(key.get(), std::to_wstring(i).c_str(), 0, REG_BINARY, mebibyte.data(),
                                 static_cast<DWORD>(mebibyte.size())),
                ERROR_SUCCESS);
    key.reset();
    if (c.blockFolder) {
      ASSERT_TRUE(WriteWholeFile(run.UndoFolder(), "x"));
    }
    EXPECT_EQ(RegOps::WipeBranch(HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, scratch.Child(L"branch")), c.deleted);
    EXPECT_EQ(MachineKeyExists(scratch.Child(L"branch"), KEY_WOW64_64KEY), !c.deleted);
    EXPECT_EQ(run.capture.Count(c.line), 1u) << run.capture.Text();
    EXPECT_EQ(Status::Instance().IsFailed(), !c.deleted);
    const Change* change = FindChange(ChangeJournal::Instance().Changes(), L"registry.deleteBranch");
    ASSERT_NE(change, nullptr);
    EXPECT_EQ(change->result, c.deleted ? ChangeResult::Done : ChangeResult::Failed);
    if (!c.deleted) {
      EXPECT_EQ(change->error, static_cast<DWORD>(ERROR_CANCELLED));
    }
    if (c.blockFolder) ::DeleteFileW(run.UndoFolder().c_str());
  }
}

TEST(UndoMaterial, ALinkAtTheUndoFolderOrAtTheRunFolderIsNotFollowed) {
  const FILETIME started = At(2026, 1, 2, 3, 4, 5);
  for (const wchar_t* at : {L"", L"\\20260102T030405Z"}) {
    SCOPED_TRACE(QvText::ToUtf8(at));
    UndoRun run(false, started);
    ASSERT_TRUE(run.Started());
    ScratchDir canary(L"qvcanary");
    ASSERT_TRUE(canary.Created());
    ASSERT_TRUE(canary.Write(L"canary.txt", "canary"));
    if (*at != L'\0') {
      ASSERT_TRUE(MakeFolder(run.UndoFolder()));
    }
    const std::wstring link = run.UndoFolder() + at;
    ASSERT_TRUE(MakeFolderLink(link, canary.Path()));
    ScratchKey scratch;
    ASSERT_TRUE(scratch.Created());
    ASSERT_TRUE(scratch.Create(KEY_WOW64_64KEY, L"gone"));
    EXPECT_TRUE(RegOps::WipeBranch(HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, scratch.Child(L"gone")))
        << "the removal does not stop for its undo material";
    EXPECT_FALSE(MachineKeyExists(scratch.Child(L"gone"), KEY_WOW64_64KEY));
    EXPECT_EQ(ListFolder(canary.Path()), std::vector<std::wstring>{L"canary.txt"});
    EXPECT_EQ(ReadWholeFile(canary.Path() + L"\\canary.txt"), "canary");
    const std::wstring folder = UndoMaterial::Instance().Folder();
    if (*at != L'\0') {
      // The planted name is taken: the run gets the next one, a real folder of its own.
      EXPECT_EQ(folder, link + L"-2");
    } else if (IsWine()) {
      // No Win32 call removes a host link, so there is no safe folder: nothing kept, and said so.
      EXPECT_TRUE(folder.empty());
      EXPECT_EQ(run.capture.Count("No undo material for this run"), 1u) << run.capture.Text();
    } else {
      // Windows removes the link itself and makes a real folder in its place.
      EXPECT_EQ(folder, link + L"\\20260102T030405Z");
    }
    if (!folder.empty()) {
      EXPECT_FALSE(IsLink(folder));
      EXPECT_TRUE(FileExists(folder + L"\\registry.reg"));
    }
    RemoveLink(link);
  }
}

}  // namespace
