// Path text rules: join, split, working-directory names and the extended-length form.
#include "base/PathText.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace {

std::pair<std::wstring, std::wstring> SplitOf(const std::wstring& path, bool splits) {
  std::wstring folder = L"stale", name = L"stale";
  EXPECT_EQ(QvPath::Split(path, folder, name), splits) << path;
  return {folder, name};
}

TEST(PathTextTest, Join) {
  EXPECT_EQ(QvPath::Join(L"", L"b"), L"b");
  EXPECT_EQ(QvPath::Join(L"", L""), L"");
  EXPECT_EQ(QvPath::Join(L"C:\\a\\", L"b"), L"C:\\a\\b");
  EXPECT_EQ(QvPath::Join(L"C:\\a", L"b"), L"C:\\a\\b");
  EXPECT_EQ(QvPath::Join(L"C:\\a\\", L""), L"C:\\a");
  EXPECT_EQ(QvPath::Join(L"C:\\a\\\\", L""), L"C:\\a\\");
  EXPECT_EQ(QvPath::Join(L"C:\\a", L"\\b"), L"C:\\a\\\\b");
  EXPECT_EQ(QvPath::Join(L"C:\\a", L"*"), L"C:\\a\\*");
}

TEST(PathTextTest, Split) {
  using Parts = std::pair<std::wstring, std::wstring>;
  EXPECT_EQ(SplitOf(L"C:\\a\\b.txt", true), Parts(L"C:\\a", L"b.txt"));
  EXPECT_EQ(SplitOf(L"C:\\a\\", true), Parts(L"C:", L"a"));
  EXPECT_EQ(SplitOf(L"b.txt", true), Parts(L"", L"b.txt"));
  EXPECT_EQ(SplitOf(L"b.txt\\", true), Parts(L"", L"b.txt"));
  EXPECT_EQ(SplitOf(L"\\b.txt", false), Parts(L"", L""));
  EXPECT_EQ(SplitOf(L"", false), Parts(L"", L""));
  EXPECT_EQ(SplitOf(L"\\", false), Parts(L"", L""));
  EXPECT_EQ(SplitOf(L"C:\\a\\\\", false), Parts(L"", L""));
  EXPECT_EQ(SplitOf(L"\\\\srv\\share", true), Parts(L"\\\\srv", L"share"));
}

TEST(PathTextTest, UniqueDirectoryNameConcatenatesTickAndAttempt) {
  EXPECT_EQ(QvPath::UniqueDirectoryName(0, 0), L"qv00.tmp");
  EXPECT_EQ(QvPath::UniqueDirectoryName(4294967295ul, 9999), L"qv42949672959999.tmp");
  EXPECT_NE(QvPath::UniqueDirectoryName(12345, 0), QvPath::UniqueDirectoryName(12345, 1));
}

TEST(PathTextTest, ExtendedForm) {
  EXPECT_EQ(QvPath::ToExtendedForm(L"C:\\a\\b"), L"\\\\?\\C:\\a\\b");
  EXPECT_EQ(QvPath::ToExtendedForm(L"z:\\"), L"\\\\?\\z:\\");
  EXPECT_EQ(QvPath::ToExtendedForm(L"\\\\srv\\share\\a"), L"\\\\?\\UNC\\srv\\share\\a");
  EXPECT_EQ(QvPath::ToExtendedForm(L"\\\\?\\C:\\a"), L"\\\\?\\C:\\a");
  EXPECT_EQ(QvPath::ToExtendedForm(L"\\\\.\\pipe\\x"), L"\\\\.\\pipe\\x");
  EXPECT_EQ(QvPath::ToExtendedForm(L"relative\\a"), L"relative\\a");
  EXPECT_EQ(QvPath::ToExtendedForm(L"C:relative"), L"C:relative");
}

TEST(PathTextTest, RootLengthOfAbsolutePathsOnly) {
  const struct {
    const wchar_t* path;
    std::size_t root;
  } cases[] = {
      {L"C:\\a", 3},
      {L"z:\\", 3},
      {L"\\\\srv\\share\\a", 12},
      {L"\\\\srv\\share", 11},
      {L"\\\\?\\C:\\a", 7},
      {L"\\\\?\\UNC\\srv\\share\\a", 18},
      {L"\\\\.\\Volume{1}\\a", 14},
      {L"", 0},
      {L"a\\b", 0},
      {L".\\a", 0},
      {L"C:a", 0},
      {L"C:", 0},
      {L"\\a", 0},
      {L"\\\\srv", 0},
      {L"\\\\srv\\", 0},
      {L"\\\\\\share", 0},
      {L"\\\\?\\", 0},
      {L"1:\\a", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(QvPath::RootLength(c.path), c.root) << c.path;
}

// The components Windows would rewrite before acting on a path, found where they are.
TEST(PathTextTest, CanonicalPathsOnly) {
  using P = QvPath::PathProblem;
  const struct {
    const wchar_t* path;
    P problem;
    const wchar_t* component;
  } cases[] = {
      {L"C:\\Program Files (x86)\\Quorvel\\Omnivo", P::None, L""},
      {L"C:\\", P::None, L""},
      {L"C:\\Quorvel\\", P::None, L""},  // one trailing backslash: the same folder
      {L"\\\\?\\C:\\Quorvel\\a", P::None, L""},
      {L"\\\\srv\\share", P::None, L""},
      {L"C:\\a.b\\.c\\c d", P::None, L""},  // dots and spaces inside a name are plain
      {L"", P::NotAbsolute, L""},
      {L"Quorvel\\a", P::NotAbsolute, L""},
      {L"C:Quorvel", P::NotAbsolute, L""},
      {L"C:\\Quorvel/..\\Windows", P::ForwardSlash, L""},
      {L"C:\\Quorvel\\\\a", P::EmptyComponent, L""},
      {L"C:\\\\", P::EmptyComponent, L""},
      {L"C:\\Program Files (x86)\\Quorvel\\..", P::DotComponent, L".."},
      {L"C:\\Quorvel\\..\\Windows", P::DotComponent, L".."},
      {L"C:\\.\\Quorvel", P::DotComponent, L"."},
      {L"\\\\?\\C:\\Quorvel\\..", P::DotComponent, L".."},
      {L"C:\\Quorvel\\ ", P::TrailingDotSpace, L" "},
      {L"C:\\Quorvel \\a", P::TrailingDotSpace, L"Quorvel "},
      {L"C:\\Windows.", P::TrailingDotSpace, L"Windows."},
      {L"C:\\Quorvel\\...", P::TrailingDotSpace, L"..."},
  };
  for (const auto& c : cases) {
    std::wstring component = L"unset";
    EXPECT_EQ(QvPath::CheckCanonical(c.path, &component), c.problem) << c.path;
    EXPECT_EQ(component, c.component) << c.path;
  }
  EXPECT_EQ(QvPath::DescribeProblem(P::DotComponent, L".."), L"'..' is not a plain component");
}

}  // namespace
