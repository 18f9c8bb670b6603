#include "main/program_steps.hpp"

#include <gtest/gtest.h>

#include "shortcut_fixture.hpp"

namespace mossglow {
namespace {

using namespace testing_support;
using Notification = fake::FakeShell::Notification;

class ProgramStepsTest : public testing::Test {
 protected:
  fake::FakeWindows windows;
  System sys = windows.system();
  OperationSteps steps = make_operation_steps(sys);
};

TEST_F(ProgramStepsTest, ResolvesTheDataDirectoryAndBothDesktopsAfresh) {
  EXPECT_EQ(steps.data_directory(), std::string(data_dir));
  EXPECT_EQ(steps.known_folder(KnownFolder::desktop), std::string(fake::user_desktop));
  EXPECT_EQ(steps.known_folder(KnownFolder::public_desktop), std::string(fake::public_desktop));

  // Nothing is cached: a changed environment is seen by the same steps.
  windows.env.set_variable("LOCALAPPDATA", "D:\\Local");
  windows.env.set_known_folder(KnownFolder::public_desktop, std::unexpected(HResult{0x80070002}));
  EXPECT_EQ(steps.data_directory(), std::string("D:\\Local\\MossglowHome"));
  auto missing = steps.known_folder(KnownFolder::public_desktop);
  ASSERT_FALSE(missing.has_value());
  EXPECT_EQ(missing.error(), sys.windows_text(HResult{0x80070002}));
}

TEST_F(ProgramStepsTest, LockErrorsUseTheWindowsForm) {
  EXPECT_EQ(steps.windows_error_text(HResult{0x80070005}), sys.windows_text(HResult{0x80070005}));
  EXPECT_NE(steps.windows_error_text(HResult{0x80070005}).find("(0x80070005)"), std::string::npos);
}

TEST_F(ProgramStepsTest, ApplyAndRestoreRunTheRealOperationsOnBothDesktopsInOrder) {
  const std::string user_link = on_user("编辑器.lnk");
  const std::string public_link = on_public("浏览器.lnk");
  windows.files.add_file(user_link, link_to("C:\\Tools\\edit.exe"));
  windows.files.add_file(public_link, link_to("C:\\Tools\\web.exe"));

  auto applied = steps.apply_skin(std::string(fake::user_desktop),
                                  std::string(fake::public_desktop), std::string(data_dir));
  ASSERT_TRUE(applied.has_value()) << applied.error();
  EXPECT_FALSE(applied->needs_attention) << applied->text;
  EXPECT_EQ(windows.shell.read_link(user_link)->icon_path, icon_path);
  EXPECT_EQ(windows.shell.read_link(public_link)->icon_path, icon_path);
  // The journal lists the user's desktop first: the desktops were not swapped.
  auto journal = windows.files.read_file(in_data("backup.json"));
  ASSERT_TRUE(journal.has_value());
  EXPECT_LT(journal->find("编辑器.lnk"), journal->find("浏览器.lnk"));

  EXPECT_TRUE(steps.restore_overlay(both_desktops(), std::string(data_dir)).has_value());
  EXPECT_TRUE(steps.restore_recycle_icon(std::string(data_dir)).has_value());
  auto restored = steps.restore_shortcuts(both_desktops(), std::string(data_dir));
  ASSERT_TRUE(restored.has_value()) << restored.error();
  EXPECT_EQ(windows.files.read_file(user_link), link_to("C:\\Tools\\edit.exe"));
  EXPECT_EQ(windows.files.read_file(public_link), link_to("C:\\Tools\\web.exe"));
  EXPECT_FALSE(path_exists(windows.files, in_data("backup.json")));
}

// What the window shows is decided by what each step kept, not by reading its text: a
// kept shortcut whose name reads "跳过 0 个" is still shown with the attention note.
TEST_F(ProgramStepsTest, AKeptShortcutNamedLikeACleanCountIsShown) {
  struct ShownView final : OperationView {
    std::string text;
    bool shown = false;
    void set_button_enabled(int, bool) override {}
    void repaint() override {}
    void set_details_text(std::string_view t) override { text = t; }
    void show_details_button(bool) override {}
    void set_details_visible(bool show) override { shown = show; }
  } view;
  struct FreeLock final : OperationLock {
    std::expected<Attempt, HResult> acquire() override { return Attempt::acquired; }
    void release() override {}
  } lock;
  const std::string link = on_user("跳过 0 个.lnk");
  windows.files.add_file(link, link_to("C:\\Tools\\edit.exe"));
  run_operation(view, lock, steps, "apply");
  windows.files.add_file(link, "changed by the user");
  run_operation(view, lock, steps, "restore");
  EXPECT_TRUE(view.shown);
  EXPECT_NE(view.text.find("有项目未还原"), std::string::npos) << view.text;
}

TEST_F(ProgramStepsTest, NotificationsGoToTheShellUserDesktopFirst) {
  windows.shell.clear_notifications();
  steps.notify_desktops_updated("C:\\u\\Desktop", "C:\\p\\Desktop");
  steps.notify_associations_changed();
  EXPECT_EQ(windows.shell.notifications(), (std::vector<Notification>{
                                               {0x1000, 0x1005, "C:\\u\\Desktop"},
                                               {0x1000, 0x1005, "C:\\p\\Desktop"},
                                               {0x08000000, 0x0, std::nullopt},
                                           }));
}

}  // namespace
}  // namespace mossglow
