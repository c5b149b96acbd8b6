// The FileSystem module through a real Lua state with the whole script API, on real files and the
// real registry: joining and splitting, special folders, listings, the restart schedule, the
// deletion family, and the refusal of relative paths and of links on the way.
#include "sysops/FileSystemModule.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <string>

#include "FileTestSupport.h"
#include "base/ChangeJournal.h"
#include "base/Utf8.h"
#include "tests/support/LuaChunk.h"

using namespace QvTest;

namespace {

std::string Utf8(const std::wstring& text) { return QvText::ToUtf8(text); }

// A value as Windows readers see it: REG_EXPAND_SZ expanded; empty when it cannot be read.
std::wstring ReadExpanded(HKEY root, const std::wstring& branch, const wchar_t* value) {
  wchar_t buffer[1024]{};
  DWORD bytes = sizeof(buffer);
  if (::RegGetValueW(root, branch.c_str(), value, RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ, nullptr, buffer,
                     &bytes) != ERROR_SUCCESS)
    return {};
  return buffer;
}

// Keys planted for one test and removed with everything below them at the end.
class PlantedKeys {
 public:
  ~PlantedKeys() {
    for (const auto& [root, path] : keys_)
      ::RegDeleteTreeW(root, path.c_str()), ::RegDeleteKeyW(root, path.c_str());
  }
  bool Set(HKEY root, const std::wstring& path, const wchar_t* value, DWORD type, const std::wstring& text) {
    keys_.emplace_back(root, path);
    UniqueHKey key;
    if (::RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr,
                          key.put(), nullptr) != ERROR_SUCCESS)
      return false;
    return ::RegSetValueExW(key.get(), value, 0, type, reinterpret_cast<const BYTE*>(text.c_str()),
                            static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
  }

 private:
  std::vector<std::pair<HKEY, std::wstring>> keys_;
};

class FileSystemModuleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(lua_.Valid());
    ASSERT_TRUE(scratch_.Created());
    lua_.SetGlobal("S", scratch_.Path());
  }
  std::string Run(const std::string& chunk) { return lua_.Run(chunk); }
  // The result text of a chunk that gives one string.
  static std::string Str(const std::wstring& text) { return "n:1 string:" + Utf8(text); }

  LuaChunk lua_;
  ScratchDir scratch_;
};

TEST_F(FileSystemModuleTest, MakePathJoinsWithOneBackslash) {
  const struct {
    const char *base, *name, *joined;
  } cases[] = {
      {"", "b", "b"},
      {"", R"(\b)", R"(\b)"},
      {R"(C:\a\)", "b", R"(C:\a\b)"},
      {R"(C:\a)", "b", R"(C:\a\b)"},
      {R"(C:\a\)", "", R"(C:\a)"},
      {R"(C:\a\\)", "", R"(C:\a\)"},
      {R"(C:\a)", R"(\b)", R"(C:\a\\b)"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Run(std::string("return FileSystem.MakePath([[") + c.base + "]], [[" + c.name + "]])"),
              std::string("n:1 string:") + c.joined)
        << c.base << " + " << c.name;
}

TEST_F(FileSystemModuleTest, SplitPathGivesFolderAndNameOrTwoEmptyStrings) {
  const struct {
    const char *path, *parts;
  } cases[] = {
      {R"(C:\a\b.txt)", R"({C:\a,b.txt})"},
      {R"(C:\a\)", "{C:,a}"},
      {"b.txt", "{,b.txt}"},
      {R"(\b.txt)", "{,}"},
      {"", "{,}"},
      {R"(C:\a\\)", "{,}"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Run(std::string("return FileSystem.SplitPath([[") + c.path + "]])"),
              std::string("n:1 ") + c.parts)
        << c.path;
}

TEST_F(FileSystemModuleTest, SpecialPathsComeFromTheirWindowsCallsAndRegistryValues) {
  const std::wstring shellFolders =
      L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
  const std::wstring currentVersion = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
  const struct {
    int id;
    HKEY root;
    const std::wstring& branch;
    const wchar_t* value;
    int csidl;
  } kinds[] = {
      {0, HKEY_LOCAL_MACHINE, shellFolders, L"Common AppData", CSIDL_COMMON_APPDATA},
      {1, HKEY_LOCAL_MACHINE, shellFolders, L"Common Desktop", CSIDL_COMMON_DESKTOPDIRECTORY},
      {2, HKEY_LOCAL_MACHINE, shellFolders, L"Common Start Menu", CSIDL_COMMON_STARTMENU},
      {3, HKEY_LOCAL_MACHINE, shellFolders, L"Common Programs", CSIDL_COMMON_PROGRAMS},
      {4, HKEY_LOCAL_MACHINE, shellFolders, L"Common Startup", CSIDL_COMMON_STARTUP},
      {5, HKEY_LOCAL_MACHINE, currentVersion, L"ProgramFilesDir", CSIDL_PROGRAM_FILES},
      {6, HKEY_LOCAL_MACHINE, currentVersion, L"ProgramFilesDir (x86)", CSIDL_PROGRAM_FILESX86},
      {11, HKEY_CURRENT_USER, shellFolders, L"Local AppData", CSIDL_LOCAL_APPDATA},
  };
  for (const auto& kind : kinds) {
    std::wstring expected = ReadExpanded(kind.root, kind.branch, kind.value);
    wchar_t shell[MAX_PATH + 1]{};
    if (expected.empty() && ::SHGetFolderPathW(nullptr, kind.csidl, nullptr, 0, shell) == S_OK)
      expected = shell;
    ASSERT_FALSE(expected.empty()) << kind.id;
    EXPECT_EQ(Run("return FileSystem.GetSpecialPath(" + std::to_string(kind.id) + ")"), Str(expected))
        << kind.id;
  }

  wchar_t windows[MAX_PATH + 1]{}, system[MAX_PATH + 1]{};
  ASSERT_NE(::GetSystemWindowsDirectoryW(windows, MAX_PATH + 1), 0u);
  ASSERT_NE(::GetSystemDirectoryW(system, MAX_PATH + 1), 0u);
  // The profiles folder holds this user's profile.
  wchar_t profile[MAX_PATH + 1]{};
  ASSERT_NE(::GetEnvironmentVariableW(L"USERPROFILE", profile, MAX_PATH + 1), 0u);
  const std::wstring profiles(profile, std::wstring_view(profile).rfind(L'\\'));
  EXPECT_EQ(Run("return FileSystem.GetSpecialPath(SpecialPath_Windows)"), Str(windows));
  EXPECT_EQ(Run("return FileSystem.GetSpecialPath(SpecialPath_System32)"), Str(system));
  EXPECT_EQ(Run("return FileSystem.GetSpecialPath(SpecialPath_Sysnative)"), Str(system));
  EXPECT_EQ(Run("return FileSystem.GetSpecialPath(SpecialPath_UserProfiles)"), Str(profiles));
  for (const char* id : {"12", "-1", "SpecialPath_Windows + 100", "0x100000007"})
    EXPECT_EQ(Run(std::string("return FileSystem.GetSpecialPath(") + id + ")"),
              id == std::string("0x100000007") ? Str(windows) : "n:1 string:")
        << id;
  EXPECT_EQ(Run("return FileSystem.GetSpecialPath('x')"),
            "error: chunk:1: bad argument #1 to 'GetSpecialPath' (number expected, got string)");
}

TEST_F(FileSystemModuleTest, PerUserFolderOfAnotherUserComesFromItsHiveAndProfile) {
  const std::wstring sid = L"S-1-5-21-7001-7002-7003-" + std::to_wstring(::GetCurrentProcessId());
  const std::wstring profile = L"C:\\users\\qvfs" + std::to_wstring(::GetCurrentProcessId());
  PlantedKeys keys;
  ASSERT_TRUE(keys.Set(HKEY_USERS, sid, L"Planted", REG_SZ, L"1"));
  ASSERT_TRUE(keys.Set(HKEY_USERS,
                       sid + L"\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders",
                       L"Local AppData", REG_EXPAND_SZ, L"%USERPROFILE%\\AppData\\Local"));
  ASSERT_TRUE(keys.Set(HKEY_LOCAL_MACHINE,
                       L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\" + sid,
                       L"ProfileImagePath", REG_EXPAND_SZ, profile));
  lua_.SetGlobal("SID", sid);

  EXPECT_EQ(Run("return FileSystem.GetSpecialPath(SpecialPath_UserAppDataLocal, SID)"),
            Str(profile + L"\\AppData\\Local"));
  // No shell fall-back for another user: nothing known is nothing.
  EXPECT_EQ(Run("return FileSystem.GetSpecialPath(SpecialPath_UserAppDataLocal, SID .. '9')"), "n:1 string:");
}

TEST_F(FileSystemModuleTest, ListingModesAndContainsFiles) {
  for (const wchar_t* folder : {L"d1", L"d2", L"only", L"only\\sub"})
    ASSERT_TRUE(MakeFolder(scratch_ / folder));
  for (const wchar_t* file : {L"f1.txt", L"f2", L"d1\\inner.txt", L"only\\sub\\deep.txt"})
    ASSERT_TRUE(MakeFile(scratch_ / file));
  const struct {
    const char *mode, *names;
  } cases[] = {
      {"", "{d1,d2,f1.txt,f2,only}"},
      {", nil", "{d1,d2,f1.txt,f2,only}"},
      {", ListDir_All", "{d1,d2,f1.txt,f2,only}"},
      {", ListDir_Files", "{f1.txt,f2}"},
      {", ListDir_Directories", "{d1,d2,only}"},
      {", 3", "{}"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Run(std::string("local t = FileSystem.ListDirectory(S") + c.mode + ") table.sort(t) return t"),
              std::string("n:1 ") + c.names)
        << c.mode;
  EXPECT_EQ(Run(R"(return FileSystem.ListDirectory(S .. [[\missing]]), FileSystem.ListDirectory(''))"),
            "n:2 {} {}");
  EXPECT_EQ(Run(R"(return FileSystem.ContainsFiles(S), FileSystem.ContainsFiles(S .. [[\only]]),
                       FileSystem.ContainsFiles(S .. [[\missing]]))"),
            "n:3 boolean:true boolean:false boolean:false");
}

TEST_F(FileSystemModuleTest, PendingOperationIsFoundByCaseInsensitivePrefix) {
  const std::wstring file = scratch_ / L"Pending.txt";
  ASSERT_TRUE(MakeFile(file));
  FileTest::PendingDeletions pending;
  pending.CleanUpLater(file);
  EXPECT_EQ(Run("return FileSystem.HasPendingFileOperation(S .. [[\\Pending]])"), "n:1 boolean:false");
  ASSERT_TRUE(::MoveFileExW(file.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT));

  EXPECT_EQ(
      Run("return FileSystem.HasPendingFileOperation(string.upper(S) .. [[\\PENDING]]),"
          "FileSystem.HasPendingFileOperation(string.lower(S) .. [[\\pending.txt]]),"
          "FileSystem.HasPendingFileOperation(S .. [[\\Pending.txt2]]),"
          "FileSystem.HasPendingFileOperation(S .. [[\\Other]]), FileSystem.HasPendingFileOperation('')"),
      "n:5 boolean:true boolean:true boolean:false boolean:false boolean:false");
}

TEST_F(FileSystemModuleTest, DeletionFamilyOnMissingAndRealPaths) {
  for (const wchar_t* folder :
       {L"full", L"two", L"one", L"outer", L"outer\\inner", L"outer\\inner\\tree", L"empty"})
    ASSERT_TRUE(MakeFolder(scratch_ / folder));
  for (const wchar_t* file : {L"full\\keep.txt", L"two\\a.txt", L"two\\b.txt", L"one\\only.txt",
                              L"outer\\stay.txt", L"outer\\inner\\tree\\x.txt"})
    ASSERT_TRUE(MakeFile(scratch_ / file));
  const struct {
    const char *call, *result;
  } cases[] = {
      {R"(DeleteFile(S .. [[\missing.txt]]))", "false"},
      {R"(DeleteFile(S .. [[\full]]))", "false"},
      {R"(DeleteFileAndParent(S .. [[\missing.txt]]))", "false"},
      {R"(RemoveRecursive(S .. [[\missing]]))", "true"},
      {"RemoveRecursive('')", "true"},
      {R"(RemoveDirectoryIfEmpty(S .. [[\missing]]))", "true"},
      {R"(RemoveDirectoryIfEmpty(S .. [[\full]]))", "false"},
      {R"(RemoveDirectoryRecursiveAndParentIfEmpty(S .. [[\full\missing]]))", "false"},
      {R"(DeleteFileAndParent(S .. [[\two\a.txt]]))", "true"},
      {R"(DeleteFileAndParent(S .. [[\one\only.txt]]))", "true"},
      {R"(RemoveDirectoryRecursiveAndParentIfEmpty(S .. [[\outer\inner\tree]]))", "true"},
      {R"(RemoveDirectoryIfEmpty(S .. [[\empty]]))", "true"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Run(std::string("return FileSystem.") + c.call), std::string("n:1 boolean:") + c.result)
        << c.call;

  EXPECT_TRUE(FileExists(scratch_ / L"full\\keep.txt"));
  EXPECT_FALSE(Exists(scratch_ / L"two\\a.txt"));
  EXPECT_TRUE(FileExists(scratch_ / L"two\\b.txt")) << "a parent with content stays";
  EXPECT_FALSE(Exists(scratch_ / L"one")) << "the emptied parent goes";
  EXPECT_FALSE(Exists(scratch_ / L"outer\\inner"));
  EXPECT_TRUE(FileExists(scratch_ / L"outer\\stay.txt")) << "only the direct parent goes";
  EXPECT_FALSE(Exists(scratch_ / L"empty"));
}

// In a real run a deletion inside a folder or branch already deleted finds nothing, so the plan
// records nothing for it either, and changes nothing.
TEST_F(FileSystemModuleTest, APlanRecordsNothingWhereAnEarlierPlannedDeletionTakesThePlace) {
  ASSERT_TRUE(MakeFolder(scratch_ / L"tree") && MakeFolder(scratch_ / L"tree\\sub"));
  ASSERT_TRUE(MakeFile(scratch_ / L"tree\\sub\\a.txt"));
  PlantedKeys keys;
  ASSERT_TRUE(keys.Set(HKEY_LOCAL_MACHINE, L"SOFTWARE\\QvPlanTest\\Sub", L"v", REG_SZ, L"1"));
  ChangeJournal& journal = ChangeJournal::Instance();
  journal.Clear();
  journal.SetPlanning(true);
  const struct {
    const char* call;
    size_t recorded;
  } cases[] = {
      {R"(FileSystem.RemoveRecursive(S .. [[\tree]]))", 1},
      {R"(FileSystem.DeleteFile(S .. [[\tree\sub\a.txt]]))", 0},
      {R"(FileSystem.RemoveRecursive(S .. [[\tree\sub]]))", 0},
      {R"(FileSystem.RemoveDirectoryIfEmpty(S .. [[\tree\sub]]))", 0},
      {R"(Reg.DeleteBranch(HKLM, [[SOFTWARE\QvPlanTest]]))", 1},
      {R"(Reg.DeleteBranch(HKLM, [[SOFTWARE\QvPlanTest\Sub]]))", 0},
      {R"(Reg.DeleteKey(HKLM, [[SOFTWARE\QvPlanTest\Sub]], "v"))", 0},
      {R"(Reg.DeleteBranchIfEmpty(HKLM, [[SOFTWARE\QvPlanTest\Sub]]))", 0},
  };
  for (const auto& c : cases) {
    const size_t before = journal.Changes().size();
    EXPECT_EQ(Run(std::string("return ") + c.call), "n:1 boolean:true") << c.call;
    EXPECT_EQ(journal.Changes().size() - before, c.recorded) << c.call;
  }
  journal.Clear();
  EXPECT_TRUE(FileExists(scratch_ / L"tree\\sub\\a.txt"));
  EXPECT_EQ(Run(R"(return Reg.GetString(HKLM, [[SOFTWARE\QvPlanTest\Sub]], "v"))"), "n:1 string:1");
}

TEST_F(FileSystemModuleTest, CopyAndMakeDirectories) {
  ASSERT_TRUE(scratch_.Write(L"src.txt", "new"));
  ASSERT_TRUE(scratch_.Write(L"dst.txt", "old"));
  EXPECT_EQ(
      Run(R"(return FileSystem.CopyFile(S .. [[\src.txt]], S .. [[\dst.txt]]),
                       FileSystem.CopyFile(S .. [[\missing]], S .. [[\x.txt]]),
                       FileSystem.MkDir(S .. [[\a\b\c]]), FileSystem.MkDir(S .. [[\a\b\c]]),
                       FileSystem.MkDir(S .. [[\src.txt\d]]),
                       FileSystem.IsDirectory(S .. [[\a\b\c]]), FileSystem.IsFile(S .. [[\a\b\c]]),
                       FileSystem.Exists(S .. [[\x.txt]]))"),
      "n:8 boolean:true boolean:false boolean:true boolean:true boolean:false boolean:true boolean:false "
      "boolean:false");
  EXPECT_EQ(scratch_.Read(L"dst.txt"), "new");
}

// Every function that changes the disk, with P the folder given to it and SRC a file to copy.
const char* const kChanges[] = {
    R"(CopyFile(SRC, P .. [[\f.txt]]))",
    R"(MkDir(P .. [[\new\deeper]]))",
    R"(RemoveRecursive(P .. [[\sub]]))",
    R"(DeleteFile(P .. [[\f.txt]]))",
    R"(DeleteFileAndParent(P .. [[\sub\g.txt]]))",
    R"(RemoveDirectoryIfEmpty(P .. [[\empty]]))",
    R"(RemoveDirectoryRecursiveAndParentIfEmpty(P .. [[\sub]]))",
};

// A folder that must come through every refused change as it was.
struct Bystander {
  explicit Bystander(const std::wstring& path) : root(path) {}
  ::testing::AssertionResult Make() const {
    if (!MakeFolder(root) || !MakeFolder(root + L"\\sub") || !MakeFolder(root + L"\\empty") ||
        !WriteWholeFile(root + L"\\f.txt", "kept") || !WriteWholeFile(root + L"\\sub\\g.txt", "kept"))
      return ::testing::AssertionFailure() << "cannot build " << Utf8(root);
    return ::testing::AssertionSuccess();
  }
  void ExpectUntouched() const {
    EXPECT_EQ(ReadWholeFile(root + L"\\f.txt"), "kept");
    EXPECT_EQ(ReadWholeFile(root + L"\\sub\\g.txt"), "kept");
    EXPECT_TRUE(DirectoryExists(root + L"\\empty"));
    EXPECT_FALSE(Exists(root + L"\\new"));
    EXPECT_EQ(CountEntries(root), 3);
  }
  std::wstring root;
};

TEST_F(FileSystemModuleTest, RelativePathsAreRefusedByEveryChange) {
  const Bystander below(scratch_ / L"x");
  ASSERT_TRUE(below.Make());
  ASSERT_TRUE(scratch_.Write(L"src.txt", "copied"));
  lua_.SetGlobal("SRC", scratch_ / L"src.txt");
  wchar_t previous[MAX_PATH + 1]{};
  ASSERT_NE(::GetCurrentDirectoryW(MAX_PATH + 1, previous), 0u);
  ASSERT_TRUE(::SetCurrentDirectoryW(scratch_.Path().c_str()));
  const ScopeExit restore([&previous] { ::SetCurrentDirectoryW(previous); });
  LogCapture capture;
  ASSERT_TRUE(capture.Start());

  // "x" as an unresolved special folder joined to it would give it, plain, dotted, drive-relative
  // ("C:x") and rooted without a drive ("\\users\\...\\x").
  const std::vector<std::string> prefixes = {"FileSystem.MakePath('', 'x')", "'x'", "[[.\\x]]",
                                             "[[" + Utf8(scratch_.Path().substr(0, 2)) + "x]]",
                                             "[[" + Utf8(scratch_.Path().substr(2)) + "\\x]]"};
  for (const std::string& prefix : prefixes) {
    ASSERT_EQ(lua_.Run("P = " + prefix), "n:0");
    for (const char* change : kChanges)
      EXPECT_EQ(Run(std::string("return FileSystem.") + change), "n:1 boolean:false")
          << prefix << " " << change;
  }
  below.ExpectUntouched();
  EXPECT_EQ(capture.Count("not an absolute path"), prefixes.size() * std::size(kChanges)) << capture.Text();
}

TEST_F(FileSystemModuleTest, ALinkOnTheWayIsRefusedByEveryChange) {
  const Bystander target(scratch_ / L"target");
  ASSERT_TRUE(target.Make());
  ASSERT_TRUE(scratch_.Write(L"src.txt", "copied"));
  ASSERT_TRUE(MakeFolder(scratch_ / L"real"));
  ASSERT_TRUE(MakeFolderLink(scratch_ / L"real\\link", target.root));
  DriveRootLink rootLink(target.root);
  ASSERT_TRUE(rootLink.Made());
  lua_.SetGlobal("SRC", scratch_ / L"src.txt");
  LogCapture capture;
  ASSERT_TRUE(capture.Start());

  // Deep below the drive, and directly below its root.
  for (const std::wstring& link : {scratch_ / L"real\\link", rootLink.Path()}) {
    lua_.SetGlobal("P", link);
    for (const char* change : kChanges)
      EXPECT_EQ(Run(std::string("return FileSystem.") + change), "n:1 boolean:false") << change;
    EXPECT_EQ(capture.Count("'" + Utf8(link) + "' on the way is a link"), std::size(kChanges))
        << capture.Text();
  }
  target.ExpectUntouched();
}

// Components Windows rewrites before it acts: each of these names the bystander (or its folder)
// without showing it, so every change refuses them and the bystander stays as it was.
TEST_F(FileSystemModuleTest, ComponentsWindowsWouldRewriteAreRefusedByEveryChange) {
  const Bystander bystander(scratch_ / L"x");
  ASSERT_TRUE(bystander.Make());
  ASSERT_TRUE(MakeFolder(scratch_ / L"y"));
  ASSERT_TRUE(scratch_.Write(L"src.txt", "copied"));
  lua_.SetGlobal("SRC", scratch_ / L"src.txt");
  LogCapture capture;
  ASSERT_TRUE(capture.Start());

  const struct {
    std::wstring path;
    const char* problem;
  } cases[] = {
      {scratch_ / L"y\\..\\x", "'..' is not a plain component"},
      {scratch_ / L"x\\.", "'.' is not a plain component"},
      {scratch_ / L".\\x", "'.' is not a plain component"},
      {scratch_ / L"x ", "the component 'x ' ends in a dot or a space"},
      {scratch_ / L"x.", "the component 'x.' ends in a dot or a space"},
      {scratch_.Path() + L"/x", "a '/' in the path"},
  };
  for (const auto& c : cases) {
    lua_.SetGlobal("P", c.path);
    const auto before = capture.Count(c.problem);
    for (const char* change : kChanges)
      EXPECT_EQ(Run(std::string("return FileSystem.") + change), "n:1 boolean:false")
          << Utf8(c.path) << " " << change;
    EXPECT_EQ(capture.Count(c.problem) - before, std::size(kChanges)) << Utf8(c.path) << capture.Text();
  }
  bystander.ExpectUntouched();
  EXPECT_TRUE(DirectoryExists(scratch_ / L"y"));
}

// An item directly below a drive root has no folder to take along: the call gives the item's own
// result and says nothing about the root, which stays.
TEST_F(FileSystemModuleTest, ParentRemovalStopsAtTheDriveRoot) {
  const std::wstring root = scratch_.Path().substr(0, 3);
  const std::wstring stem = L"qvfsroot" + std::to_wstring(::GetCurrentProcessId());
  const std::wstring file = root + stem + L".txt", folder = root + stem;
  ScratchDir fileGoes(ScratchDir::Claim{file}), folderGoes(ScratchDir::Claim{folder});
  ASSERT_TRUE(MakeFile(file));
  ASSERT_TRUE(MakeFolder(folder) && MakeFile(folder + L"\\inner.txt"));
  lua_.SetGlobal("F", file);
  lua_.SetGlobal("D", folder);
  LogCapture capture;
  ASSERT_TRUE(capture.Start());

  EXPECT_EQ(
      Run("return FileSystem.DeleteFileAndParent(F), FileSystem.RemoveDirectoryRecursiveAndParentIfEmpty(D)"),
      "n:2 boolean:true boolean:true");
  EXPECT_FALSE(Exists(file));
  EXPECT_FALSE(Exists(folder));
  EXPECT_TRUE(DirectoryExists(root + L"windows"));
  EXPECT_EQ(capture.CountAtOrAbove(QV_WARNING), 0) << capture.Text();

  // The root itself is refused by the calls that leave a non-empty root alone anyway.
  lua_.SetGlobal("R", root);
  EXPECT_EQ(Run("return FileSystem.DeleteFile(R), FileSystem.RemoveDirectoryIfEmpty(R)"),
            "n:2 boolean:false boolean:false");
  EXPECT_EQ(capture.Count("a volume root is never removed"), 2u) << capture.Text();
}

}  // namespace
