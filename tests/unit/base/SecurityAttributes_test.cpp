// Security attributes from SDDL text: a text that does not convert gives default security, and the
// owner moves and resets.
#include "base/SecurityAttributes.h"

#include <gtest/gtest.h>

#include <utility>

#include "sysops/WorkingDirectory.h"

namespace {

TEST(SecurityAttributesTest, UnconvertibleTextGivesDefaultSecurity) {
  SecurityAttributes security = SecurityAttributes::FromSddl(L"D:(X;;;)");
  EXPECT_TRUE(security.IsEmpty());
  EXPECT_EQ(security.Get(), nullptr);
  EXPECT_TRUE(SecurityAttributes::FromSddl(nullptr).IsEmpty());

  SecurityAttributes moved = SecurityAttributes::FromSddl(QvPath::WorkDirSddl);
  ASSERT_FALSE(moved.IsEmpty());
  security = std::move(moved);
  EXPECT_FALSE(security.IsEmpty());
  EXPECT_TRUE(moved.IsEmpty());
  security.Reset();
  EXPECT_TRUE(security.IsEmpty());
}

}  // namespace
