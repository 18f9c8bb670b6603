#include "platform/notifications.hpp"

#include <gtest/gtest.h>

#include "support/fake_windows.hpp"

namespace mossglow {
namespace {

using Notification = fake::FakeShell::Notification;

class NotificationsTest : public testing::Test {
 protected:
  fake::FakeWindows windows;
  fake::FakeShell& shell = windows.shell;
};

TEST_F(NotificationsTest, DesktopsUpdatedSendsUserDesktopBeforePublicDesktop) {
  notify_desktops_updated(shell, DesktopFolders{"D:\\u\\Desktop", "D:\\Public\\Desktop"});
  EXPECT_EQ(shell.notifications(), (std::vector<Notification>{
                                       {0x1000, 0x1005, "D:\\u\\Desktop"},
                                       {0x1000, 0x1005, "D:\\Public\\Desktop"},
                                   }));
}

TEST_F(NotificationsTest, DesktopsUpdatedSendsBothEvenWhenTheyAreTheSameFolder) {
  notify_desktops_updated(shell, DesktopFolders{"C:\\D", "C:\\D"});
  EXPECT_EQ(shell.notifications().size(), 2u);
}

TEST_F(NotificationsTest, AssociationsChangedCarriesNoItemAndIdListFlags) {
  notify_associations_changed(shell);
  EXPECT_EQ(shell.notifications(), (std::vector<Notification>{
                                       {0x08000000, 0x0, std::nullopt},
                                   }));
}

}  // namespace
}  // namespace mossglow
