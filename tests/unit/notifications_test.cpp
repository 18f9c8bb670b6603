#include "platform/notifications.hpp"

#include <gtest/gtest.h>

#include "support/fake_windows.hpp"

namespace mossglow {
namespace {

using Notification = fake::FakeShell::Notification;

// The raw values are those of ShlObj.h: SHCNE_UPDATEDIR with SHCNF_PATHW | SHCNF_FLUSH,
// and SHCNE_ASSOCCHANGED with SHCNF_IDLIST and no item.
TEST(Notifications, EachDesktopUserFirstEvenWhenBothAreOneFolderThenTheAssociations) {
  fake::FakeWindows windows;
  notify_desktops_updated(windows.shell, DesktopFolders{"D:\\u\\Desktop", "D:\\Public\\Desktop"});
  notify_desktops_updated(windows.shell, DesktopFolders{"C:\\D", "C:\\D"});
  notify_associations_changed(windows.shell);
  EXPECT_EQ(windows.shell.notifications(), (std::vector<Notification>{
                                               {0x1000, 0x1005, "D:\\u\\Desktop"},
                                               {0x1000, 0x1005, "D:\\Public\\Desktop"},
                                               {0x1000, 0x1005, "C:\\D"},
                                               {0x1000, 0x1005, "C:\\D"},
                                               {0x08000000, 0x0, std::nullopt},
                                           }));
}

}  // namespace
}  // namespace mossglow
