#include <gtest/gtest.h>

#include <algorithm>

#include "embedded_icon.hpp"
#include "operations/apply.hpp"
#include "platform/text.hpp"
#include "shortcut_fixture.hpp"
#include "shortcuts/restore.hpp"
#include "state/backup_journal.hpp"
#include "state/content_hash.hpp"

namespace mossglow {
namespace {

using namespace testing_support;
using fake::Op;

constexpr std::string_view recycle_and_hidden_note =
    "\n回收站：已设置Brambun图标。\n原文件和文件夹已隐藏。";
// The sections after the shortcuts' when the desktops hold nothing but shortcuts.
const std::string later_sections =
    "\n普通文件和文件夹：0 个，跳过或失败 0 个。" + std::string(recycle_and_hidden_note);
constexpr std::string_view attention = "\n部分项目未处理，请查看上方的失败原因和备份目录。";

class ApplySkin : public ::testing::Test {
 protected:
  fake::FakeWindows w;

  OperationOutcome apply() { return apply_skin(w.system(), both_desktops(), data_dir); }
};

TEST_F(ApplySkin, SkinsEveryShortcutOnBothDesktopsAndJournalsIt) {
  const std::string link = link_to("C:\\Tools\\app.exe");
  const std::string url = url_to("https://example.com/");
  w.files.add_file(on_user("应用.lnk"), link);
  w.files.add_file(on_public("Site.url"), url);

  const auto outcome = apply();
  ASSERT_TRUE(outcome) << outcome.error();
  EXPECT_FALSE(outcome->needs_attention);
  EXPECT_EQ(outcome->text, "已更新快捷方式 2 个，失败 0 个。\n备份：" + std::string(data_dir) +
                               std::string(later_sections));

  EXPECT_EQ(w.files.content(original_copy("0.lnk")), link);
  EXPECT_EQ(w.files.content(original_copy("1.url")), url);
  EXPECT_EQ(w.files.content(icon_path), std::string(embedded_icon_bytes()));
  EXPECT_EQ(w.files.content(in_data("last-operation.txt")), "快捷方式换肤：没有失败项目。");
  EXPECT_FALSE(w.files.exists(in_data("backup.tmp")));

  const auto skinned = w.shell.read_link(on_user("应用.lnk"));
  ASSERT_TRUE(skinned);
  EXPECT_EQ(skinned->target, "C:\\Tools\\app.exe");
  EXPECT_EQ(skinned->arguments, "--flag");
  EXPECT_EQ(skinned->icon_path, icon_path);
  const std::string url_now = w.files.content(on_public("Site.url")).value_or("");
  EXPECT_NE(url_now.find("IconFile=" + std::string(icon_path)), std::string::npos);
  EXPECT_NE(url_now.find("IconIndex=0"), std::string::npos);

  const std::vector<Record> expected{
      {on_user("应用.lnk"), original_copy("0.lnk"), *sha256_hex(link),
       *sha256_hex(w.files.content(on_user("应用.lnk")).value_or("")), std::nullopt, std::nullopt,
       std::nullopt, true},
      {on_public("Site.url"), original_copy("1.url"), *sha256_hex(url), *sha256_hex(url_now),
       std::nullopt, std::nullopt, std::nullopt, true},
  };
  EXPECT_EQ(backup_records(w), expected);

  using N = fake::FakeShell::Notification;
  // The desktop is told once per folder, after the work, not once per item.
  const std::vector<N> notifications{
      {shcne_assocchanged, shcnf_idlist, std::nullopt},
      {shcne_updatedir, shcnf_pathw_flush, std::string(fake::user_desktop)},
      {shcne_updatedir, shcnf_pathw_flush, std::string(fake::public_desktop)},
      {shcne_assocchanged, shcnf_idlist, std::nullopt},
  };
  EXPECT_EQ(w.shell.notifications(), notifications);
}

// A journal waits as its file, or as the lone temporary file a swap left behind; and a
// journal that cannot be looked at may well be there. Each refuses the apply before
// anything is written.
TEST_F(ApplySkin, RefusesWhileAnyJournalIsPendingOrCannotBeSeen) {
  for (const char* name : {"backup.json", "overlay.json", "recycle.json", "backup.tmp",
                           "overlay.tmp", "recycle.tmp", "unseen backup.json"}) {
    SCOPED_TRACE(name);
    fake::FakeWindows fresh;
    fresh.files.add_file(on_user("a.lnk"), link_to("C:\\x.exe"));
    const std::string_view file = std::string_view(name).starts_with("unseen ")
                                      ? std::string_view(name).substr(7)
                                      : std::string_view(name);
    fresh.files.add_file(in_data(file), "[]");
    if (file != name) {
      fresh.faults.fail_on_path(Op::get_attributes, in_data(file), 5);
    }
    const auto before = fresh.files.tree();
    const auto outcome = apply_skin(fresh.system(), both_desktops(), data_dir);
    ASSERT_FALSE(outcome);
    EXPECT_EQ(outcome.error(),
              file != name ? "Access is denied. (os error 5)" : "已有待还原的备份，请先还原。");
    EXPECT_EQ(fresh.files.tree(), before);
    EXPECT_TRUE(fresh.shell.notifications().empty());
  }
}

// Whether the user must look is decided by counts: a failing shortcut whose name reads
// like a clean result still asks for attention.
TEST_F(ApplySkin, AFailureNamedLikeSuccessStillNeedsAttention) {
  w.files.add_file(on_user("没有找到.lnk"), "not a shell link");
  const auto outcome = apply();
  ASSERT_TRUE(outcome) << outcome.error();
  EXPECT_TRUE(outcome->needs_attention);
  EXPECT_TRUE(outcome->text.ends_with(attention));
}

// Both desktops may resolve to one folder (a redirected profile): it is walked once,
// so every shortcut is journalled once and a restore leaves no record behind.
TEST_F(ApplySkin, TwoDesktopsThatAreOneFolderAreWalkedOnce) {
  w.files.add_file(on_user("a.lnk"), link_to("C:\\x.exe"));
  w.files.add_file(on_user("b.txt"), "b");
  const DesktopFolders same{std::string(fake::user_desktop), "c:/users/USER/desktop/"};
  const auto outcome = apply_skin(w.system(), same, data_dir);
  ASSERT_TRUE(outcome) << outcome.error();
  EXPECT_FALSE(outcome->needs_attention) << outcome->text;
  EXPECT_EQ(backup_records(w).size(), 1u);
  const auto restored = restore_shortcuts(w.system(), places_of(w, same), data_dir);
  ASSERT_TRUE(restored) << restored.error();
  EXPECT_FALSE(restored->left_undone) << restored->text;
  EXPECT_FALSE(w.files.exists(in_data("backup.json")));
}

TEST_F(ApplySkin, ADesktopWithoutShortcutsWritesNothingOfItsOwn) {
  w.files.add_file(on_user("notes.txt"), "hello");
  const auto outcome = apply();
  ASSERT_TRUE(outcome) << outcome.error();
  EXPECT_FALSE(outcome->needs_attention);
  EXPECT_EQ(outcome->text,
            "桌面没有找到支持的快捷方式。\n普通文件和文件夹：1 个，跳过或失败 0 个。" +
                std::string(recycle_and_hidden_note));
  EXPECT_FALSE(w.files.exists(join_path(data_dir, "originals")));
  EXPECT_FALSE(w.files.exists(in_data("backup.json")));
  EXPECT_FALSE(w.files.exists(in_data("last-operation.txt")));
}

// A copy in the originals folder may be the only place an original of an earlier apply
// still lives (its journals deleted by hand): a name holding other bytes is never
// written over, and the copy takes the next free index instead; a name holding the
// same bytes is simply taken again.
TEST_F(ApplySkin, BackupCopiesKeepTheExtensionsLetterCaseAndNeverOverwriteOldCopies) {
  w.files.add_file(on_user("Foo.LNK"), link_to("C:\\foo.exe"));
  w.files.add_file(on_user("bar.Url"), url_to("https://bar/"));
  w.files.add_file(original_copy("0.LNK"), "left by an earlier apply", file_attribute_readonly);
  w.files.add_file(original_copy("7.url"), "the highest index held");
  w.files.add_file(original_copy("1.Url"), url_to("https://bar/"));
  // The same bytes, but an earlier version's copy of a hidden shortcut: not taken.
  w.files.add_file(on_user("baz.lnk"), link_to("C:\\baz.exe"));
  w.files.add_file(original_copy("2.lnk"), link_to("C:\\baz.exe"), file_attribute_hidden);
  const auto outcome = apply();
  ASSERT_TRUE(outcome) << outcome.error();
  EXPECT_FALSE(outcome->needs_attention) << outcome->text;
  EXPECT_EQ(w.files.content(original_copy("0.LNK")), "left by an earlier apply");
  EXPECT_EQ(w.files.content(original_copy("8.LNK")), link_to("C:\\foo.exe"));
  EXPECT_EQ(w.files.content(original_copy("1.Url")), url_to("https://bar/"));
  const auto records = backup_records(w);
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[0].backup, original_copy("8.LNK"));
  EXPECT_EQ(records[1].backup, original_copy("1.Url"));
  EXPECT_EQ(records[2].backup, original_copy("9.lnk"));
  EXPECT_EQ(w.files.tree(join_path(data_dir, "originals")).size(), 6u);
}

// An apply killed while its copy was still only in the cache, then an apply that finds
// the same bytes under that name and takes them again: that copy is flushed before the
// shortcut changes, so a power cut then cannot leave the original nowhere.
TEST_F(ApplySkin, ACopyTakenAgainIsFlushedBeforeTheShortcutChanges) {
  const std::string link = link_to("C:\\foo.exe");
  w.files.add_file(on_user("Foo.lnk"), link);
  w.record_history(true);
  ASSERT_TRUE(apply());
  const auto copied = std::ranges::find_if(w.history(), [](const fake::Snapshot& snapshot) {
    return snapshot.path == original_copy("0.lnk") && snapshot.step == "all bytes written";
  });
  ASSERT_NE(copied, w.history().end());
  fake::FakeWindows again;
  again.load(*copied, fake::Stop::crash);
  ASSERT_TRUE(apply_skin(again.system(), both_desktops(), data_dir));
  ASSERT_NE(again.files.content(on_user("Foo.lnk")), link);
  EXPECT_EQ(again.files.durable_content(original_copy("0.lnk")), link);
}

TEST_F(ApplySkin, ErrorsThatEndTheApplyBeforeAnyShortcutIsTouched) {
  struct Case {
    Op operation;
    std::uint32_t code;
    const char* text;
  };
  const Case cases[] = {
      {Op::list_directory, 5, "Access is denied. (os error 5)"},
      {Op::create_directories, 5, "Access is denied. (os error 5)"},
      {Op::write_file, 112, "There is not enough space on the disk. (os error 112)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(fake::op_name(c.operation));
    fake::FakeWindows fresh;
    const std::string link = link_to("C:\\x.exe");
    fresh.files.add_file(on_user("a.lnk"), link);
    fresh.faults.fail_nth(c.operation, 1, c.code);
    const auto outcome = apply_skin(fresh.system(), both_desktops(), data_dir);
    ASSERT_FALSE(outcome);
    EXPECT_EQ(outcome.error(), c.text);
    EXPECT_EQ(fresh.files.content(on_user("a.lnk")), link);
    EXPECT_FALSE(fresh.files.exists(in_data("backup.json")));
  }
}

// One shortcut failing at each of its steps: the exact failure line, what the journal
// on disk then holds, and that the shortcut itself was left as it was. The new bytes are
// worked out and journalled (with the original's hash) before the shortcut is written,
// in place, so a failure before the write leaves no record, and neither does a write
// refused before it began: a journal names only what may have changed.
TEST_F(ApplySkin, EachPerShortcutFailureGivesItsLineAndJournalState) {
  const std::string path = on_user("App.lnk");
  const std::string link = link_to("C:\\app.exe");
  const std::string busy =
      "The process cannot access the file because it is being used by another process. "
      "(os error 32)";
  struct Case {
    const char* name;
    std::function<void(fake::FakeWindows&)> arrange;
    std::string reason;
    bool journalled;
    bool shortcut_changed;
  };
  const Case cases[] = {
      {"keeping the copy",
       [](auto& fw) { fw.faults.fail_on_path(Op::create_new_file, original_copy("0.lnk"), 112); },
       "There is not enough space on the disk. (os error 112)", false, false},
      {"reading the shortcut", [&](auto& fw) { fw.faults.fail_nth(Op::read_file, 1, 5, path); },
       "Access is denied. (os error 5)", false, false},
      {"reading it again", [&](auto& fw) { fw.faults.fail_nth(Op::read_file, 2, 5, path); },
       "Access is denied. (os error 5)", false, false},
      {"locked for good", [&](auto& fw) { fw.files.lock(path); }, busy, false, false},
      {"changed during backup",
       [&](auto& fw) {
         fw.faults.after(Op::create_new_file, original_copy("0.lnk"),
                         [&] { fw.files.add_file(path, link_to("C:\\other.exe")); });
       },
       "原快捷方式在备份过程中发生变化，已保留原文件", false, true},
      {"journal save",
       [](auto& fw) { fw.faults.fail_on_path(Op::write_file, in_data("backup.tmp"), 112); },
       "There is not enough space on the disk. (os error 112)", false, false},
      {"icon change",
       [](auto& fw) { fw.faults.fail_nth(Op::link_bytes_with_icon, 1, 0x80070005u); },
       "Access is denied. (0x80070005)", false, false},
      {"writing in place", [&](auto& fw) { fw.faults.fail_on_path(Op::write_in_place, path, 112); },
       "There is not enough space on the disk. (os error 112)", false, false},
      {"changed at the last moment",
       [&](auto& fw) {
         fw.faults.before(Op::write_in_place, path,
                          [&] { fw.files.add_file(path, link_to("C:\\other.exe")); });
       },
       "原快捷方式在换肤过程中发生变化，已保留原文件", false, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fake::FakeWindows fw;
    fw.files.add_file(path, link);
    c.arrange(fw);
    const auto outcome = apply_skin(fw.system(), both_desktops(), data_dir);
    ASSERT_TRUE(outcome) << outcome.error();
    EXPECT_TRUE(outcome->needs_attention);
    const std::string line = path + "：" + c.reason;
    EXPECT_EQ(outcome->text, "已更新快捷方式 0 个，失败 1 个。\n" + line + "\n详细记录：" +
                                 in_data("last-operation.txt") + "\n备份：" +
                                 std::string(data_dir) + std::string(later_sections) +
                                 std::string(attention));
    EXPECT_EQ(fw.files.content(in_data("last-operation.txt")), "快捷方式换肤\r\n" + line);

    const auto bytes = fw.files.content(in_data("backup.json"));
    ASSERT_EQ(bytes.has_value(), c.journalled);
    if (c.journalled) {
      const auto records = parse_backup_journal(*bytes);
      ASSERT_TRUE(records) << records.error();
      ASSERT_EQ(records->size(), 1u);
      EXPECT_EQ((*records)[0].path, path);
      EXPECT_EQ((*records)[0].backup, original_copy("0.lnk"));
      EXPECT_EQ((*records)[0].original_hash, *sha256_hex(link));
      EXPECT_TRUE((*records)[0].applied_hash.has_value());
    }
    EXPECT_EQ(fw.files.content(path) != link, c.shortcut_changed);
    // Nothing appears beside the shortcut, whatever failed.
    EXPECT_EQ(fw.files.tree(fake::user_desktop), std::vector<std::string>{path});
  }
}

// A file far too large to be a shortcut is neither read nor copied; a name the journal
// cannot hold (an unpaired surrogate, which NTFS allows), or one that Windows itself
// reads as another (a device), cannot be recorded: each fails that
// shortcut alone with a plain reason before anything is copied, and the other is
// journalled and skinned as usual.
TEST_F(ApplySkin, AShortcutTooLargeOrWithANameTheJournalCannotHoldFailsAlone) {
  struct Row {
    std::string path, bytes, reason;
  };
  const Row rows[] = {
      {on_user("Huge.lnk"), std::string(max_read_bytes + 1, 'x'), std::string(file_too_large_text)},
      {on_user("odd\xED\xA0\x80.lnk"), link_to("C:\\odd.exe"),
       "path contains invalid UTF-8 characters"},
      {on_user("COM1.lnk"), link_to("C:\\com.exe"), "名称是 Windows 保留的设备名"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.reason);
    fake::FakeWindows fw;
    const std::string fine = on_user("fine.lnk");
    fw.files.add_file(row.path, row.bytes);
    fw.files.add_file(fine, link_to("C:\\fine.exe"));
    const auto outcome = apply_skin(fw.system(), both_desktops(), data_dir);
    ASSERT_TRUE(outcome) << outcome.error();
    EXPECT_TRUE(outcome->text.starts_with("已更新快捷方式 1 个，失败 1 个。\n" +
                                          path_display_text(row.path) + "：" + row.reason))
        << outcome->text.substr(0, 300);
    const auto records = backup_records(fw);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].path, fine);
    EXPECT_EQ(fw.shell.read_link(fine)->icon_path, icon_path);
    EXPECT_EQ(fw.files.content(row.path), row.bytes);
    EXPECT_EQ(fw.files.tree(join_path(data_dir, "originals")),
              std::vector<std::string>{records[0].backup});
  }
}

TEST_F(ApplySkin, SixFailuresShowFourLinesAndRecordAllSix) {
  std::vector<std::string> lines;
  for (int i = 0; i < 6; ++i) {
    const std::string path = on_user("broken" + std::to_string(i) + ".lnk");
    w.files.add_file(path, "not a shell link");
    lines.push_back(path + "：Unspecified error (0x80004005)");
  }
  const auto outcome = apply();
  ASSERT_TRUE(outcome) << outcome.error();
  EXPECT_TRUE(outcome->needs_attention);
  EXPECT_EQ(outcome->text, "已更新快捷方式 0 个，失败 6 个。\n" + lines[0] + "\n" + lines[1] +
                               "\n" + lines[2] + "\n" + lines[3] + "\n详细记录：" +
                               in_data("last-operation.txt") + "\n备份：" + std::string(data_dir) +
                               std::string(later_sections) + std::string(attention));
  std::string file = "快捷方式换肤";
  for (const auto& line : lines) file += "\r\n" + line;
  EXPECT_EQ(w.files.content(in_data("last-operation.txt")), file);
  // Nothing was journalled: no shortcut was to be written.
  EXPECT_FALSE(w.files.exists(in_data("backup.json")));
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(w.files.content(on_user("broken" + std::to_string(i) + ".lnk")), "not a shell link");
  }
}

}  // namespace
}  // namespace mossglow
