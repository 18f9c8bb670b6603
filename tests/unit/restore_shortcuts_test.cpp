#include <gtest/gtest.h>

#include "shortcut_fixture.hpp"
#include "shortcuts/restore.hpp"
#include "state/backup_journal.hpp"
#include "state/content_hash.hpp"

namespace mossglow {
namespace {

using namespace testing_support;

const std::string original = link_to("C:\\app.exe");
const std::string skinned = fake::FakeShell::link_bytes(
    LinkInfo{"C:\\app.exe", "--flag", "C:\\Tools", std::string(icon_path), 0});

class RestoreShortcuts : public ::testing::Test {
 protected:
  fake::FakeWindows w;

  // A shortcut the apply skinned: backup copy in place, journal record complete.
  Record skinned_shortcut(std::string_view name, std::size_t index) {
    const std::string path = on_user(name);
    const std::string backup = original_copy(std::to_string(index) + ".lnk");
    w.files.add_file(path, skinned);
    w.files.add_file(backup, original);
    return Record{path,         backup,       *sha256_hex(original), *sha256_hex(skinned),
                  std::nullopt, std::nullopt, std::nullopt};
  }

  void write_journal(const std::vector<Record>& records) {
    w.files.add_file(in_data("backup.json"), *serialize_backup_journal(records));
  }

  Result<std::string> restore() {
    return text_of(restore_shortcuts(w.system(), places_of(w), data_dir));
  }
};

TEST_F(RestoreShortcuts, NothingPendingTouchesNothing) {
  const auto section = restore();
  ASSERT_TRUE(section) << section.error();
  EXPECT_EQ(*section, "没有待还原的备份。");
  EXPECT_FALSE(w.files.exists(in_data("last-operation.txt")));
  EXPECT_TRUE(w.shell.notifications().empty());
}

TEST_F(RestoreShortcuts, PutsEveryOriginalBackAndDeletesTheJournal) {
  const Record a = skinned_shortcut("a.lnk", 0);
  const Record b = skinned_shortcut("b.lnk", 1);
  write_journal({a, b});

  const auto section = restore();
  ASSERT_TRUE(section) << section.error();
  EXPECT_EQ(*section, "已还原 2 个，跳过 0 个。");
  EXPECT_EQ(w.files.content(a.path), original);
  EXPECT_EQ(w.files.content(b.path), original);
  EXPECT_FALSE(w.files.exists(in_data("backup.json")));
  EXPECT_TRUE(w.files.exists(a.backup)) << "copies are never deleted";
  EXPECT_EQ(w.files.content(in_data("last-operation.txt")), "快捷方式还原：没有失败项目。");
  using N = fake::FakeShell::Notification;
  EXPECT_EQ(w.shell.notifications(), (std::vector<N>{{shcne_assocchanged, shcnf_idlist, {}}}));
}

// Every record the restore must keep, each on its own: its line, and the record left
// in backup.json unchanged. The records it restores are the recovery sweep's.
TEST_F(RestoreShortcuts, EachRecordItCannotProveIsKeptWithItsReason) {
  struct Row {
    const char* name;
    std::function<void(fake::FakeWindows&, Record&)> arrange;
    std::string reason;
    std::optional<std::string> shortcut_after;  // nothing: the shortcut is absent
  };
  const std::string user_edit = "the user's own edit";
  // The record names `path`; the skinned bytes lie at `file`, where the path leads.
  const auto recorded_at = [](std::string path, std::string file) {
    return [=](fake::FakeWindows& fw, Record& r) {
      r.path = path;
      fw.files.add_file(file, skinned);
    };
  };
  const auto backup_at = [](std::string backup) {
    return [=](fake::FakeWindows& fw, Record& r) {
      r.backup = backup;
      fw.files.add_file(backup, original);
    };
  };
  const std::string system_file = "C:\\Windows\\System32\\drivers\\etc\\hosts.lnk";
  const std::string off_desktop = "记录的快捷方式不在桌面上，已保留记录";
  const std::string off_originals = "记录的备份不在备份目录中，已保留记录";
  const Row rows[] = {
      {"backup unreadable", [](auto& fw, Record& r) { (void)fw.files.delete_file(r.backup); },
       "The system cannot find the file specified. (os error 2)", skinned},
      {"backup damaged", [](auto& fw, Record& r) { fw.files.add_file(r.backup, "damaged"); },
       "备份校验失败", skinned},
      {"converted Steam record whose link is not beside it",
       [](auto&, Record& r) { r.replacement_path = on_user("Game.lnk"); },
       "记录的 Steam 快捷方式不在原快捷方式旁边，已保留记录", skinned},
      // A journal is data: it can only send the restore to places an apply writes.
      {"path outside the desktops", recorded_at(system_file, system_file), off_desktop, skinned},
      {"path in a folder on the desktop", recorded_at(on_user("sub\\x.lnk"), on_user("sub\\x.lnk")),
       off_desktop, skinned},
      {"path climbing out of the desktop",
       recorded_at(on_user("..\\..\\x.lnk"), "C:\\Users\\x.lnk"), off_desktop, std::nullopt},
      {"path that is not a shortcut", recorded_at(on_user("program.exe"), on_user("program.exe")),
       off_desktop, skinned},
      {"backup outside the originals folder", backup_at(on_user("planted.lnk")), off_originals,
       skinned},
      {"backup not named by an index", backup_at(original_copy("x.lnk")), off_originals, skinned},

      {"shortcut deleted", [](auto& fw, Record& r) { (void)fw.files.delete_file(r.path); },
       "The system cannot find the file specified. (os error 2)", std::nullopt},
      {"writing back fails",
       [](auto& fw, Record&) { fw.faults.fail_nth(fake::Op::write_in_place, 1, 5); },
       "Access is denied. (os error 5)", skinned},
      // Names Windows itself reads as other entries are never opened.
      {"a device name", recorded_at(on_user("COM1.lnk"), on_user("COM1.lnk")),
       "名称是 Windows 保留的设备名", skinned},
      // Only names the listing shows are opened: not the short alias of another entry.
      {"a name the listing does not show",
       recorded_at(on_user("APP~1.lnk"), on_user("Application shortcut.lnk")),
       "The system cannot find the file specified. (os error 2)", std::nullopt},
      {"changed by the user after the apply",
       [&](auto& fw, Record& r) { fw.files.add_file(r.path, user_edit); }, "快捷方式发生变化",
       user_edit},
      {"change never recorded and not the original",
       [](auto&, Record& r) { r.applied_hash.reset(); }, "快捷方式发生变化", skinned},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    fake::FakeWindows fw;
    w.files.load_state(fw.files.state());
    w.faults.clear();
    Record record = skinned_shortcut("快捷方式.lnk", 0);
    row.arrange(w, record);
    write_journal({record});
    w.shell.clear_notifications();

    const auto section = restore();
    ASSERT_TRUE(section) << section.error();
    const std::string line = record.path + "：" + row.reason;
    EXPECT_EQ(*section,
              "已还原 0 个，跳过 1 个。\n" + line + "\n详细记录：" + in_data("last-operation.txt"));
    EXPECT_EQ(w.files.content(in_data("last-operation.txt")), "快捷方式还原\r\n" + line);
    EXPECT_EQ(backup_records(w), std::vector<Record>{record});
    EXPECT_EQ(w.files.content(record.path), row.shortcut_after);
  }
}

// A symbolic link put in the shortcut's place, even one leading to a file with the
// applied bytes, is not what the apply wrote: nothing is written through it.
TEST_F(RestoreShortcuts, ALinkInTheShortcutsPlaceIsNeverWrittenThrough) {
  const std::string elsewhere = "C:\\Windows\\elsewhere.lnk";
  Record record = skinned_shortcut("快捷方式.lnk", 0);
  w.files.add_file(elsewhere, skinned);
  ASSERT_TRUE(w.files.delete_file(record.path));
  w.files.add_symlink(record.path, elsewhere, false);
  write_journal({record});
  const auto section = restore();
  ASSERT_TRUE(section) << section.error();
  EXPECT_TRUE(
      section->starts_with("已还原 0 个，跳过 1 个。\n" + record.path + "：快捷方式发生变化"));
  EXPECT_EQ(w.files.content(elsewhere), skinned);
  EXPECT_NE(w.files.attributes(record.path).value_or(0) & file_attribute_reparse_point, 0u);
}

// The shortcut is rewritten in place, so a write stopped by a crash or a power cut
// leaves blocks of the old and the new bytes, with zeros where the file grew. The
// restore finishes such a file, proven against both versions; a byte of neither is the
// user's and the file is kept as it is.
TEST_F(RestoreShortcuts, AShortcutLeftHalfWrittenIsFinishedAndAnyOtherFileIsKept) {
  const std::string longer = skinned.size() > original.size() ? skinned : original;
  const std::string shorter = skinned.size() > original.size() ? original : skinned;
  std::string mixed = longer;
  for (std::size_t i = 0; i < shorter.size(); i += 32) mixed[i] = shorter[i];
  std::string grown = shorter + std::string(longer.size() - shorter.size(), '\0');
  std::string stray = mixed;
  stray[1] = '#';
  struct Row {
    const char* name;
    std::string found;
    bool restored;
  };
  for (const Row& row :
       {Row{"blocks of both", mixed, true}, Row{"grown, not yet written", grown, true},
        Row{"one byte of neither", stray, false}, Row{"longer than both", longer + "x", false}}) {
    SCOPED_TRACE(row.name);
    w.files.load_state(fake::FakeWindows().files.state());
    const Record record = skinned_shortcut("a.lnk", 0);
    w.files.add_file(record.path, row.found);
    write_journal({record});
    const auto section = restore();
    ASSERT_TRUE(section) << section.error();
    EXPECT_EQ(section->starts_with("已还原 1 个"), row.restored) << *section;
    EXPECT_EQ(w.files.content(record.path), row.restored ? original : row.found);
  }
}

TEST_F(RestoreShortcuts, KeepsOnlyWhatItCannotProveInJournalOrder) {
  std::vector<Record> records;
  for (std::size_t i = 0; i < 7; ++i)
    records.push_back(skinned_shortcut("s" + std::to_string(i) + ".lnk", i));
  // Five changed by the user: kept, in order; the other two restored.
  for (std::size_t i : {0u, 2u, 3u, 5u, 6u}) w.files.add_file(records[i].path, "edited");
  write_journal(records);

  const auto section = restore();
  ASSERT_TRUE(section) << section.error();
  std::vector<std::string> lines;
  for (std::size_t i : {0u, 2u, 3u, 5u, 6u})
    lines.push_back(records[i].path + "：快捷方式发生变化");
  EXPECT_EQ(*section, "已还原 2 个，跳过 5 个。\n" + lines[0] + "\n" + lines[1] + "\n" + lines[2] +
                          "\n" + lines[3] + "\n详细记录：" + in_data("last-operation.txt"));
  std::string file = "快捷方式还原";
  for (const auto& line : lines) file += "\r\n" + line;
  EXPECT_EQ(w.files.content(in_data("last-operation.txt")), file);
  EXPECT_EQ(backup_records(w),
            (std::vector<Record>{records[0], records[2], records[3], records[5], records[6]}));
  for (std::size_t i : {0u, 2u, 3u, 5u, 6u}) EXPECT_EQ(w.files.content(records[i].path), "edited");
}

TEST_F(RestoreShortcuts, AnUnreadableJournalEndsTheStepAndStaysAsItIs) {
  w.files.add_file(in_data("backup.json"), "[\n  {\n    \"path\": \"C:\\\\a.lnk\"\n  }\n]");
  const auto section = restore();
  ASSERT_FALSE(section);
  EXPECT_EQ(section.error(), "missing field `backup` at line 4 column 3");
  EXPECT_EQ(w.files.content(in_data("backup.json")),
            "[\n  {\n    \"path\": \"C:\\\\a.lnk\"\n  }\n]");
  EXPECT_FALSE(w.files.exists(in_data("last-operation.txt")));
}

// Saving the shorter journal or deleting the finished one fails: the step ends with
// that error and the journal stays as it was, while what was restored stays restored.
TEST_F(RestoreShortcuts, AFailedSaveOrDeleteOfTheJournalIsTheStepsError) {
  struct Row {
    fake::Op op;
    std::uint32_t code;
    bool one_kept;
    const char* error;
  };
  for (const Row& row : {Row{fake::Op::write_file, 112, true,
                             "There is not enough space on the disk. (os error 112)"},
                         Row{fake::Op::delete_file, 5, false, "Access is denied. (os error 5)"}}) {
    SCOPED_TRACE(fake::op_name(row.op));
    w.files.load_state(fake::FakeWindows().files.state());
    w.faults.clear();
    const Record a = skinned_shortcut("a.lnk", 0);
    const Record b = skinned_shortcut("b.lnk", 1);
    if (row.one_kept) w.files.add_file(b.path, "edited");
    write_journal({a, b});
    const std::string before = w.files.content(in_data("backup.json")).value_or("");
    w.faults.fail_nth(row.op, 1, row.code);

    const auto section = restore();
    ASSERT_FALSE(section);
    EXPECT_EQ(section.error(), row.error);
    EXPECT_EQ(w.files.content(in_data("backup.json")), before);
    EXPECT_EQ(w.files.content(a.path), original);
  }
}

}  // namespace
}  // namespace mossglow
