#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "desktop/link_proof.hpp"
#include "embedded_icon.hpp"
#include "overlay/apply.hpp"
#include "overlay/journal.hpp"
#include "platform/text.hpp"
#include "shortcut_fixture.hpp"
#include "state/content_hash.hpp"

namespace mossglow {
namespace {

using namespace testing_support;
using fake::Op;

constexpr std::uint32_t archive = file_attribute_archive;
constexpr std::uint32_t folder = file_attribute_directory;

std::string summary(int applied, int skipped_or_failed) {
  return "普通文件和文件夹：" + std::to_string(applied) + " 个，跳过或失败 " +
         std::to_string(skipped_or_failed) + " 个。";
}

std::vector<Overlay> journal_of(const fake::FakeWindows& w) {
  const auto bytes = w.files.content(in_data("overlay.json"));
  if (!bytes) return {};
  auto records = parse_overlay_journal(*bytes);
  EXPECT_TRUE(records) << records.error();
  return records.value_or(std::vector<Overlay>{});
}

class OverlayApply : public ::testing::Test {
 protected:
  fake::FakeWindows w;

  Result<std::string> apply() {
    return text_of(apply_overlay(w.system(), both_desktops(), data_dir));
  }
  std::vector<Overlay> journal() const { return journal_of(w); }
  bool hidden(std::string_view path) const {
    return (w.files.attributes(path).value_or(0) & file_attribute_hidden) != 0;
  }
};

TEST_F(OverlayApply, RefusedWhileAnOverlayIsPendingAndChangesNothing) {
  w.files.add_file(in_data("overlay.json"), "[]");
  w.files.add_file(on_user("Notes.txt"), "notes");
  const auto before = w.files.tree();
  EXPECT_EQ(apply().error(), "有待还原的文件或文件夹，请先还原。");
  EXPECT_EQ(w.files.tree(), before);
  EXPECT_FALSE(w.files.exists(icon_path));
  EXPECT_FALSE(hidden(on_user("Notes.txt")));
  EXPECT_TRUE(w.shell.notifications().empty());
}

TEST_F(OverlayApply, NothingToCoverWritesTheIconButNoJournal) {
  w.files.add_file(on_user("App.lnk"), link_to("C:\\app.exe"));
  w.files.add_file(on_public("desktop.ini"), "[.ShellClassInfo]",
                   archive | file_attribute_hidden | file_attribute_system);
  EXPECT_EQ(apply(), summary(0, 0));
  EXPECT_FALSE(w.files.exists(in_data("overlay.json")));
  EXPECT_EQ(w.files.content(icon_path), std::string(embedded_icon_bytes()));
  EXPECT_TRUE(w.shell.notifications().empty());
}

TEST_F(OverlayApply, AnIconAlreadyThereIsKeptWhateverItHolds) {
  w.files.add_file(icon_path, "an older icon");
  w.files.add_file(on_user("Notes.txt"), "notes");
  EXPECT_EQ(apply(), summary(1, 0));
  EXPECT_EQ(w.files.content(icon_path), "an older icon");
}

TEST_F(OverlayApply, CoversAFileWithALinkToItAndHidesItKeepingItsOtherBits) {
  const std::string item = on_user("Readme.TXT");
  const std::string shortcut = item + ".lnk";
  w.files.add_file(item, "read me", file_attribute_readonly | archive);

  EXPECT_EQ(apply(), summary(1, 0));
  const auto link = w.shell.read_link(shortcut);
  ASSERT_TRUE(link);
  EXPECT_EQ(link->target, item);
  EXPECT_EQ(link->arguments, "");
  EXPECT_EQ(link->working_directory, "");
  EXPECT_EQ(link->icon_path, icon_path);
  EXPECT_EQ(link->icon_index, 0);
  EXPECT_EQ(w.files.attributes(item), file_attribute_readonly | archive | file_attribute_hidden);
  EXPECT_EQ(w.files.content(item), "read me");

  const auto hash = content_hash(w.system(), shortcut);
  ASSERT_TRUE(hash);
  EXPECT_EQ(
      w.files.content(in_data("overlay.json")),
      serialize_overlay_journal({Overlay{
          item, shortcut, *hash, base64_encode(w.files.content(shortcut).value_or("")), true}}));
  EXPECT_FALSE(w.files.exists(in_data("overlay.tmp")));
}

TEST_F(OverlayApply, ChoosesItemsByTheirOwnAttributesAndOnlyFilesByExtension) {
  struct Entry {
    const char* name;
    enum Kind { file, directory, file_link, folder_link, placeholder, placeholder_folder } kind;
    std::uint32_t attributes;
    bool covered;
  };
  const Entry entries[] = {
      {"a.lnk", Entry::file, archive, false},
      {"b.URL", Entry::file, archive, false},
      {"c.Lnk", Entry::file, archive, false},
      {"d.lnk2", Entry::file, archive, true},
      {"e.ur", Entry::file, archive, true},
      {"f.lnk.txt", Entry::file, archive, true},
      {".lnk", Entry::file, archive, true},
      {"没有扩展名", Entry::file, archive, true},
      {"plain", Entry::file, file_attribute_normal, true},
      {"Games.url", Entry::directory, folder, true},
      {"Old.lnk", Entry::directory, folder, true},
      {"Photos", Entry::directory, folder | file_attribute_readonly, true},
      {"hidden.txt", Entry::file, archive | file_attribute_hidden, false},
      {"system.txt", Entry::file, archive | file_attribute_system, false},
      {"Hidden folder", Entry::directory, folder | file_attribute_hidden, false},
      {"link.txt", Entry::file_link, 0, false},
      {"Junction", Entry::folder_link, 0, false},
      // No name is the program's: these are the user's files like any other.
      {"Dota 2.lnk.mossglow-tmp", Entry::file, archive, true},
      {"plain.mossglow-tmp", Entry::file, archive, true},
      // A desktop synced by OneDrive: every item a reparse point with a cloud tag, its
      // bytes here or still in the cloud. It is the item itself, not a link.
      {"云端文档.docx", Entry::placeholder, archive, true},
      {"Synced folder", Entry::placeholder_folder, folder, true},
  };
  w.files.add_file("C:\\Elsewhere\\target.txt", "t");
  w.files.add_directory("C:\\Elsewhere\\Folder");
  int covered = 0;
  for (const auto& e : entries) {
    const std::string path = on_user(e.name);
    switch (e.kind) {
      case Entry::file:
        w.files.add_file(path, "x", e.attributes);
        break;
      case Entry::directory:
        w.files.add_directory(path, e.attributes);
        break;
      case Entry::file_link:
        w.files.add_symlink(path, "C:\\Elsewhere\\target.txt", false);
        break;
      case Entry::folder_link:
        w.files.add_symlink(path, "C:\\Elsewhere\\Folder", true);
        break;
      case Entry::placeholder:
        w.files.add_placeholder(path, "in the cloud", /*in_cloud=*/true, e.attributes);
        break;
      case Entry::placeholder_folder:
        w.files.add_placeholder(path, "", /*in_cloud=*/false, e.attributes);
        break;
    }
    covered += e.covered ? 1 : 0;
  }
  std::map<std::string, std::uint32_t> before;
  for (const auto& e : entries) before[e.name] = *w.files.attributes(on_user(e.name));

  EXPECT_EQ(apply(), summary(covered, 0));
  for (const auto& e : entries) {
    const std::string path = on_user(e.name);
    EXPECT_EQ(w.files.exists(path + ".lnk"), e.covered) << e.name;
    const std::uint32_t was = before[e.name];
    const std::uint32_t expected =
        e.covered ? (was == file_attribute_normal ? 0u : was) | file_attribute_hidden : was;
    EXPECT_EQ(w.files.attributes(path), expected) << e.name;
  }
  EXPECT_EQ(journal().size(), static_cast<std::size_t>(covered));
  EXPECT_FALSE(hidden("C:\\Elsewhere\\target.txt"));
  EXPECT_FALSE(hidden("C:\\Elsewhere\\Folder"));
}

TEST_F(OverlayApply, BothDesktopsInOrderEachItemWithItsOwnShortcut) {
  for (const char* name : {"Same.txt", "Zeta", "Alpha.doc"}) w.files.add_file(on_user(name), name);
  w.files.add_file(on_public("Same.txt"), "public");
  w.files.add_directory(on_public("共享"));

  EXPECT_EQ(apply(), summary(5, 0));
  std::vector<std::string> originals;
  for (const Overlay& record : journal()) {
    originals.push_back(record.original);
    EXPECT_EQ(record.shortcut, record.original + ".lnk");
    EXPECT_TRUE(record.shortcut_hash.has_value());
    EXPECT_EQ(w.shell.read_link(record.shortcut)->target, record.original);
    EXPECT_TRUE(hidden(record.original));
  }
  // Each desktop in its listing order, the user's first.
  EXPECT_EQ(originals,
            (std::vector<std::string>{on_user("Same.txt"), on_user("Zeta"), on_user("Alpha.doc"),
                                      on_public("Same.txt"), on_public("共享")}));
}

// Whatever holds the link's name is the user's, a link leading nowhere included (writing
// the new link there would write through it): the pair is left alone and listed.
TEST_F(OverlayApply, AnItemWhoseShortcutNameIsTakenIsLeftAloneAndListed) {
  w.files.add_file(on_user("Notes.txt"), "notes");
  w.files.add_file(on_user("Notes.txt.lnk"), "the user's own");
  w.files.add_file(on_user("Plan.txt"), "plan");
  w.files.add_symlink(on_user("Plan.txt.lnk"), "C:\\nowhere\\Plan.lnk", false);
  EXPECT_EQ(apply(), summary(0, 2) + "\n" + on_user("Notes.txt") + "：同名快捷方式已存在\n" +
                         on_user("Plan.txt") + "：同名快捷方式已存在");
  EXPECT_EQ(w.files.content(on_user("Notes.txt.lnk")), "the user's own");
  EXPECT_FALSE(w.files.exists("C:\\nowhere\\Plan.lnk"));
  EXPECT_FALSE(hidden(on_user("Notes.txt")));
  EXPECT_FALSE(hidden(on_user("Plan.txt")));
  EXPECT_FALSE(w.files.exists(in_data("overlay.json")));
}

// An item the journal cannot name (an unpaired surrogate, which NTFS allows) fails
// alone; every other item is journalled and covered.
TEST_F(OverlayApply, AnItemTheJournalCannotNameFailsAlone) {
  const std::string odd = on_user("odd\xED\xA0\x80.txt");
  w.files.add_file(odd, "odd");
  w.files.add_file(on_user("plain.txt"), "plain");
  EXPECT_EQ(apply(), summary(1, 1) + "\n" + path_display_text(odd) +
                         "：path contains invalid UTF-8 characters");
  EXPECT_EQ(journal().size(), 1u);
  EXPECT_FALSE(hidden(odd));
  EXPECT_TRUE(hidden(on_user("plain.txt")));
}

TEST(OverlayApplyErrors, PreparationAndScanFailuresEndTheStepBeforeAnyItemIsTouched) {
  struct Case {
    const char* name;
    std::function<void(fake::FaultPlan&)> arrange;
    std::string error;
  };
  const Case cases[] = {
      {"data directory",
       [](auto& f) { f.fail_nth(Op::create_directories, 1, error_access_denied); },
       "Access is denied. (os error 5)"},
      {"icon file", [](auto& f) { f.fail_on_path(Op::write_file, icon_path, 112); },
       "There is not enough space on the disk. (os error 112)"},
      {"public desktop listing",
       [](auto& f) {
         f.fail_on_path(Op::list_directory, fake::public_desktop, error_access_denied);
       },
       "Access is denied. (os error 5)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fake::FakeWindows w;
    w.files.add_file(on_user("A.txt"), "a");
    w.files.add_file(on_public("B.txt"), "b");
    c.arrange(w.faults);
    EXPECT_EQ(apply_overlay(w.system(), both_desktops(), data_dir).error(), c.error);
    EXPECT_FALSE(w.files.exists(in_data("overlay.json")));
    for (const auto& item : {on_user("A.txt"), on_public("B.txt")}) {
      EXPECT_EQ(w.files.attributes(item), archive);
      EXPECT_FALSE(w.files.exists(item + ".lnk"));
    }
  }
}

// One failing item among two: the other is still covered, nothing is rolled back, the
// failure is listed with its reason, and the journal ends holding what each got to. An
// item's record, with the hash of the link it is to get, is saved before the link is
// created under its own name, so no failure leaves a link that a restore could not
// prove; a failure before the record leaves nothing at all.
TEST(OverlayApplyItemFailures, EachStepLeavesTheStateRestoreExpects) {
  const std::string a = on_user("A.txt");
  const std::string a_link = a + ".lnk";
  const std::string b = on_user("B.txt");
  enum class Shortcut { absent, link, someone_elses };
  enum class Record { none, complete };
  struct Case {
    const char* name;
    std::function<void(fake::FakeWindows&)> arrange;
    std::string reason;
    Shortcut shortcut;
    Record record;
    bool hiding_tried;
    std::uint32_t attributes_after = archive;
  };
  const auto fail_path = [](Op operation, std::string path, std::uint32_t code) {
    return [=](fake::FakeWindows& w) { w.faults.fail_on_path(operation, path, code); };
  };
  const std::string denied = "Access is denied. (os error 5)";
  const std::string full = "There is not enough space on the disk. (os error 112)";
  const Case cases[] = {
      {"making the link", [](auto& w) { w.faults.fail_nth(Op::new_link_bytes, 1, 0x80070005u); },
       "Access is denied. (0x80070005)", Shortcut::absent, Record::none, false},
      {"reading the link back",
       [](auto& w) { w.faults.fail_nth(Op::link_from_bytes, 1, 0x80004005u); },
       "Unspecified error (0x80004005)", Shortcut::absent, Record::none, false},
      // Nothing reached the desktop: B's save leaves the record out, as it names no change.
      {"journal save", [](auto& w) { w.faults.fail_nth(Op::write_file, 2, 112); }, full,
       Shortcut::absent, Record::none, false},
      {"creating the link", fail_path(Op::create_new_file, a_link, 112), full, Shortcut::absent,
       Record::none, false},
      // A file that took the name meanwhile is someone else's: the record goes at once,
      // so that no restore can take that file for the link.
      {"name taken after the listing",
       [&](fake::FakeWindows& w) {
         w.faults.before(Op::create_new_file, a_link, [&] { w.files.add_file(a_link, ""); });
       },
       "The file exists. (os error 80)", Shortcut::someone_elses, Record::none, false},
      {"attributes unreadable", fail_path(Op::get_attributes, a, error_access_denied), denied,
       Shortcut::link, Record::complete, false},
      {"hidden by someone since the scan",
       [&](fake::FakeWindows& w) {
         w.faults.before(Op::get_attributes, a,
                         [&] { w.files.add_file(a, "a", archive | file_attribute_hidden); });
       },
       "原项目状态已变化", Shortcut::link, Record::complete, false,
       archive | file_attribute_hidden},
      {"hiding refused", fail_path(Op::set_attributes, a, error_access_denied), denied,
       Shortcut::link, Record::complete, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fake::FakeWindows w;
    w.files.add_file(a, "a");
    w.files.add_file(b, "b");
    c.arrange(w);
    int hide_attempts = 0;  // the step's own attempts to write A's attributes
    w.faults.before(Op::set_attributes, a, [&] { ++hide_attempts; });
    ASSERT_EQ(text_of(apply_overlay(w.system(), both_desktops(), data_dir)),
              summary(1, 1) + "\n" + a + "：" + c.reason);
    w.faults.clear();

    const auto records = journal_of(w);
    ASSERT_EQ(records.size(), c.record == Record::none ? 1u : 2u);
    if (c.record != Record::none) {
      EXPECT_EQ(records[0].original, a);
      EXPECT_EQ(records[0].shortcut, a_link);
      EXPECT_TRUE(records[0].complete);
      EXPECT_EQ(base64_decode(records[0].shortcut_bytes.value_or("")), w.files.content(a_link));
    }
    switch (c.shortcut) {
      case Shortcut::absent:
        EXPECT_FALSE(w.files.exists(a_link));
        break;
      case Shortcut::link:
        EXPECT_EQ(w.shell.read_link(a_link).value_or(LinkInfo{}).target, a);
        EXPECT_EQ(records[0].shortcut_hash, content_hash(w.system(), a_link).value());
        break;
      case Shortcut::someone_elses:
        EXPECT_EQ(w.files.content(a_link), "");
        break;
    }
    EXPECT_EQ(w.files.attributes(a), c.attributes_after);
    EXPECT_EQ(hide_attempts, c.hiding_tried ? 1 : 0);

    EXPECT_EQ(records.back(),
              (Overlay{b, b + ".lnk", content_hash(w.system(), b + ".lnk").value(),
                       base64_encode(w.files.content(b + ".lnk").value_or("")), true}));
    EXPECT_EQ(w.files.attributes(b), archive | file_attribute_hidden);
  }
}

// An item a link cannot lead to exactly stays as it is, visible, and fails alone with
// its reason: a path of 260 characters or more (the link would hold it cut short), or a
// name that Windows reads as another entry (one ending in a space beside the hidden
// item it would reach, one ending in a dot, a device name). The counts match what the
// desktop shows.
TEST(OverlayApplyItemFailures, AnItemALinkCannotLeadToExactlyStaysVisible) {
  fake::FakeWindows w;
  struct Row {
    std::string path;
    std::string reason;
  };
  const std::string rewritten = "名称以点或空格结尾，Windows 会把它当作另一个名称";
  const Row rows[] = {
      {on_user(std::string(260 - fake::user_desktop.size() - 1, 'x')),
       std::string(link_cannot_hold_target)},
      {on_user("notes "), rewritten},
      {on_user("report."), rewritten},
      {on_user("NUL"), "名称是 Windows 保留的设备名"},
  };
  w.files.add_file(on_user("notes"), "the hidden one", archive | file_attribute_hidden);
  for (const Row& row : rows) w.files.add_file(row.path, "x");
  w.files.add_file(on_user("fine.txt"), "fine");

  const auto section = apply_overlay(w.system(), both_desktops(), data_dir);
  ASSERT_TRUE(section) << section.error();
  std::string expected = summary(1, 4);
  for (std::size_t i = 0; i < 4; ++i) expected += "\n" + rows[i].path + "：" + rows[i].reason;
  EXPECT_EQ(section->text, expected);
  for (const Row& row : rows) {
    EXPECT_EQ(w.files.attributes(row.path), archive) << row.path;
    EXPECT_FALSE(w.files.exists(row.path + ".lnk")) << row.path;
  }
  EXPECT_EQ(w.files.attributes(on_user("notes")), archive | file_attribute_hidden);
  EXPECT_EQ(journal_of(w).size(), 1u);
}

}  // namespace
}  // namespace mossglow
