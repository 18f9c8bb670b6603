// The two operations as the buttons run them, on the fake Windows: the folders they
// resolve, the order of the restore's steps, which failures end a run, and what the
// user is shown.
#include <gtest/gtest.h>

#include "operations/apply.hpp"
#include "operations/restore.hpp"
#include "shortcut_fixture.hpp"

namespace mossglow {
namespace {

using namespace testing_support;
using Notification = fake::FakeShell::Notification;

TEST(Operations, ApplyAndRestoreRoundTripOnBothDesktops) {
  fake::FakeWindows w;
  const std::string user_link = on_user("编辑器.lnk");
  const std::string public_link = on_public("浏览器.lnk");
  w.files.add_file(user_link, link_to("C:\\Tools\\edit.exe"));
  w.files.add_file(public_link, link_to("C:\\Tools\\web.exe"));
  w.files.add_file(on_user("笔记.txt"), "notes");

  const auto applied = apply(w.system());
  ASSERT_TRUE(applied) << applied.error();
  EXPECT_FALSE(applied->needs_attention) << applied->text;
  EXPECT_EQ(w.shell.read_link(public_link)->icon_path, icon_path);
  // The user's desktop is listed first: the desktops were not swapped.
  const auto journal = w.files.content(in_data("backup.json")).value_or("");
  EXPECT_LT(journal.find("编辑器.lnk"), journal.find("浏览器.lnk"));

  w.shell.clear_notifications();
  const auto restored = restore(w.system());
  ASSERT_TRUE(restored) << restored.error();
  EXPECT_FALSE(restored->needs_attention) << restored->text;
  EXPECT_EQ(w.files.content(user_link), link_to("C:\\Tools\\edit.exe"));
  EXPECT_EQ(w.files.attributes(on_user("笔记.txt")), file_attribute_archive);
  for (const auto& journal_file : {"backup.json", "overlay.json", "recycle.json"}) {
    EXPECT_FALSE(w.files.exists(in_data(journal_file))) << journal_file;
  }
  // Both desktops are refreshed, the user's first, and icons everywhere last.
  const auto& sent = w.shell.notifications();
  ASSERT_GE(sent.size(), 3u);
  EXPECT_EQ(sent[sent.size() - 3],
            (Notification{shcne_updatedir, shcnf_pathw_flush, std::string(fake::user_desktop)}));
  EXPECT_EQ(sent[sent.size() - 2],
            (Notification{shcne_updatedir, shcnf_pathw_flush, std::string(fake::public_desktop)}));
  EXPECT_EQ(sent.back(), (Notification{shcne_assocchanged, shcnf_idlist, std::nullopt}));
}

// Whether the user must look is decided by what each step kept, not by reading its
// text: a kept shortcut whose name reads like a clean count still asks for attention.
TEST(Operations, AKeptShortcutNamedLikeACleanCountNeedsAttention) {
  fake::FakeWindows w;
  const std::string link = on_user("跳过 0 个.lnk");
  w.files.add_file(link, link_to("C:\\Tools\\edit.exe"));
  ASSERT_TRUE(apply(w.system()));
  w.files.add_file(link, "changed by the user");
  const auto restored = restore(w.system());
  ASSERT_TRUE(restored) << restored.error();
  EXPECT_TRUE(restored->needs_attention);
  EXPECT_NE(restored->text.find("有项目未还原"), std::string::npos) << restored->text;
}

// Which failures end a restore before or after which steps: an overlay or shortcut
// journal that cannot be read ends it with its error; the Recycle Bin's failure is
// reported inside the report and the shortcuts are still put back. Nothing is touched
// before the data directory is known. (A desktop that cannot be found keeps only its own
// records: the desktop places test.)
TEST(Operations, WhichFailuresEndARestore) {
  const std::string damaged = "[{\"original\": ";
  const std::string cut_short =
      "syntax error while parsing value - unexpected end of input; expected '[', '{', or a "
      "literal at line 1 column 14";
  struct Case {
    const char* name;
    std::function<void(fake::FakeWindows&)> arrange;
    std::string error;  // empty: a report
    bool shortcut_back;
  };
  const Case cases[] = {
      {"no data directory", [](auto& w) { w.env.set_variable("LOCALAPPDATA", std::nullopt); },
       "找不到本地数据目录", false},
      {"overlay journal damaged",
       [&](auto& w) { w.files.add_file(in_data("overlay.json"), damaged); }, cut_short, false},
      {"shortcut journal damaged",
       [&](auto& w) { w.files.add_file(in_data("backup.json"), damaged); }, cut_short, false},
      {"recycle journal damaged",
       [&](auto& w) { w.files.add_file(in_data("recycle.json"), damaged); }, "", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fake::FakeWindows w;
    const std::string link = on_user("a.lnk");
    w.files.add_file(link, link_to("C:\\x.exe"));
    ASSERT_TRUE(apply(w.system()));
    c.arrange(w);
    const auto restored = restore(w.system());
    if (c.error.empty()) {
      ASSERT_TRUE(restored) << restored.error();
      EXPECT_TRUE(restored->needs_attention);
      EXPECT_NE(restored->text.find("\n回收站还原失败："), std::string::npos) << restored->text;
    } else {
      ASSERT_FALSE(restored);
      EXPECT_EQ(restored.error(), c.error);
    }
    EXPECT_EQ(w.files.content(link) == link_to("C:\\x.exe"), c.shortcut_back);
  }
}

TEST(Operations, AnApplyWithoutItsFoldersTouchesNothing) {
  for (const auto folder : {KnownFolder::desktop, KnownFolder::public_desktop}) {
    fake::FakeWindows w;
    w.files.add_file(on_user("a.lnk"), link_to("C:\\x.exe"));
    w.env.set_known_folder(folder, std::unexpected(HResult{0x80070002}));
    const auto before = w.files.tree();
    EXPECT_EQ(apply(w.system()).error(), "The system cannot find the file specified. (0x80070002)");
    EXPECT_EQ(w.files.tree(), before);
  }
  fake::FakeWindows w;
  w.env.set_variable("LOCALAPPDATA", std::nullopt);
  EXPECT_EQ(apply(w.system()).error(), "找不到本地数据目录");
}

}  // namespace
}  // namespace mossglow
