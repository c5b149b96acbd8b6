// The path guard's rules on real folders and links: what it accepts, what it refuses and why, and
// the form the accepted path comes out in.
#include "base/PathGuard.h"

#include <gtest/gtest.h>

#include <string>

#include "base/Utf8.h"
#include "tests/support/ScratchDir.h"

namespace {

using Last = QvPath::PathGuard::Last;

TEST(PathGuardTest, AcceptsCanonicalPathsWithoutLinksAboveTheLastComponent) {
  QvTest::ScratchDir scratch;
  QvTest::ScratchDir target;  // where every link points: non-empty, so Wine's acts on it show
  ASSERT_TRUE(QvTest::MakeFolder(scratch / L"real") && QvTest::MakeFolder(target / L"deep"));
  ASSERT_TRUE(QvTest::MakeFile(target / L"keep.txt") && QvTest::MakeFile(scratch / L"real\\file.txt"));
  ASSERT_TRUE(QvTest::MakeFolderLink(scratch / L"real\\link", target.Path()));
  QvTest::DriveRootLink rootLink(target.Path());
  ASSERT_TRUE(rootLink.Made());
  const std::wstring s = scratch.Path(), link = scratch / L"real\\link", top = rootLink.Path();
  const std::wstring onTheWay = L"' on the way is a link";

  const struct {
    std::wstring path;
    Last last;
    std::wstring refusal;  // empty: accepted
  } cases[] = {
      {s + L"\\real\\file.txt", Last::Free, L""},
      {s + L"\\real\\", Last::Free, L""},
      {s + L"\\real\\missing\\deeper\\x", Last::Free, L""},
      {s + L"\\real\\file.txt\\below", Last::Free, L""},
      {s.substr(0, 3), Last::Free, L""},
      {link, Last::Free, L""},  // the last component is the change's to handle
      {link, Last::Check, L"'" + link + onTheWay},
      {link, Last::Hold, L"'" + link + onTheWay},
      {link + L"\\keep.txt", Last::Free, L"'" + link + onTheWay},
      {link + L"\\deep\\x", Last::Free, L"'" + link + onTheWay},
      {top, Last::Free, L""},
      {top + L"\\keep.txt", Last::Free, L"'" + top + onTheWay},
      {top + L"\\deep\\x", Last::Free, L"'" + top + onTheWay},
      {s + L"\\real\\..\\real\\x", Last::Free, L"'..' is not a plain component"},
      {s + L"\\real\\.\\x", Last::Free, L"'.' is not a plain component"},
      {s + L"\\real.\\x", Last::Free, L"the component 'real.' ends in a dot or a space"},
      {s + L"\\real \\x", Last::Free, L"the component 'real ' ends in a dot or a space"},
      {s + L"\\real\\x.", Last::Free, L"the component 'x.' ends in a dot or a space"},
      {s + L"/real", Last::Free, L"a '/' in the path"},
      {s + L"\\\\real", Last::Free, L"an empty component"},
      {L"real\\x", Last::Free, L"not an absolute path"},
      {s.substr(0, 2) + L"real", Last::Free, L"not an absolute path"},
      {L"", Last::Free, L"not an absolute path"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(QvText::ToUtf8(c.path) + " last " + std::to_string(static_cast<int>(c.last)));
    QvPath::PathGuard guard;
    EXPECT_EQ(guard.Acquire(c.path, c.last), c.refusal.empty());
    EXPECT_EQ(guard.Refusal(), c.refusal);
    EXPECT_EQ(guard.Path().empty(), !c.refusal.empty());
  }
  // Only looked at: what the links lead to is as it was.
  EXPECT_EQ(QvTest::ListFolder(target.Path()).size(), 2u);
  EXPECT_TRUE(QvTest::FileExists(target / L"keep.txt"));
}

TEST(PathGuardTest, CheckedPathTakesTheExtendedFormOnceItIsLong) {
  QvTest::ScratchDir scratch;
  const std::wstring shortPath = scratch / L"a.txt";
  const std::wstring longPath = scratch / std::wstring(300, L'x');
  QvPath::PathGuard guard;
  ASSERT_TRUE(guard.Acquire(shortPath));
  EXPECT_EQ(guard.Path().System(), shortPath);
  EXPECT_EQ(guard.Path().Display(), shortPath);
  ASSERT_TRUE(guard.Acquire(longPath));
  EXPECT_EQ(guard.Path().System(), L"\\\\?\\" + longPath);
  EXPECT_EQ(guard.Path().Display(), longPath);
}

}  // namespace
