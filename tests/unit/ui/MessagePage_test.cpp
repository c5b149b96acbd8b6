// What the message page shows for each kind; the window itself is driven end to end.
#include "ui/MessagePage.h"

#include <gtest/gtest.h>

namespace {

TEST(MessagePage, KindsPickTextIconAndReboot) {
  const struct {
    int kind;
    const char* key;
    int icon;
    bool reboot;
  } cases[] = {{0, "ErrorGeneric", 1, false}, {1, "ErrorPrivileges", 1, false},
               {2, "Finished", 4, false},     {3, "FinishedReboot", 3, true},
               {4, "ErrorGeneric", 1, false}, {-1, "ErrorGeneric", 1, false}};
  for (const auto& c : cases) {
    const MessageContent content = MessageContentFor(c.kind);
    EXPECT_STREQ(content.key, c.key) << c.kind;
    EXPECT_EQ(content.statusKind, c.icon) << c.kind;
    EXPECT_EQ(content.reboot, c.reboot) << c.kind;
  }
}

}  // namespace
