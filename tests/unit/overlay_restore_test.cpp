#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "overlay/apply.hpp"
#include "overlay/journal.hpp"
#include "overlay/restore.hpp"
#include "platform/text.hpp"
#include "shortcut_fixture.hpp"
#include "state/content_hash.hpp"

namespace mossglow {
namespace {

using namespace testing_support;
using fake::Op;

constexpr std::uint32_t archive = file_attribute_archive;
constexpr std::uint32_t hidden_bit = file_attribute_hidden;

std::string summary(int restored, int kept) {
  return "文件和文件夹已还原 " + std::to_string(restored) + " 个，跳过 " + std::to_string(kept) +
         " 个。";
}

// A link the shell made of the item as the tests lay it out (made long ago, and looked at
// since), before it was hidden.
std::string overlay_link(std::string_view target) {
  return fake::FakeShell::link_bytes(
      LinkInfo{std::string(target), "", "", std::string(icon_path), 0},
      fake::FakeFileSystem::TargetInfo{file_attribute_readonly | file_attribute_archive, 4, 0, 1});
}

void put_journal(fake::FakeWindows& w, const std::vector<Overlay>& records) {
  w.files.add_file(in_data("overlay.json"), serialize_overlay_journal(records).value());
}

TEST(OverlayRestore, NoJournalIsNothingToRestore) {
  fake::FakeWindows w;
  EXPECT_EQ(text_of(restore_overlay(w.system(), places_of(w), data_dir)),
            "没有文件或文件夹待还原。");
  EXPECT_FALSE(w.files.exists(data_dir));
}

TEST(OverlayRestore, AnEmptyJournalIsDeleted) {
  fake::FakeWindows w;
  w.files.add_file(in_data("overlay.json"), "[]");
  EXPECT_EQ(text_of(restore_overlay(w.system(), places_of(w), data_dir)), summary(0, 0));
  EXPECT_FALSE(w.files.exists(in_data("overlay.json")));
}

// One record per row, in the order the checks run: what is on disk, what the restore
// does to it, and whether the record leaves the journal. A link the apply's creation
// left empty or cut short is proven the program's by the journalled hash of the bytes
// it was to hold; other states a stopped apply or restore leaves are the recovery
// sweep's.
TEST(OverlayRestore, EachSituationHasItsOutcome) {
  const std::string item = on_user("Item.txt");
  const std::string shortcut = item + ".lnk";
  const std::string link = overlay_link(item);
  const std::string link_hash = *sha256_hex(link);
  enum class Item { no_item, visible, hidden };
  enum class Link { no_link, ours, edited, empty, cut_short };
  using enum Item;
  using enum Link;
  struct Case {
    const char* name;
    Item item;
    Link link;
    bool hash_recorded;
    // A call that fails: on the link's path when it reads or deletes, else on the item's.
    std::optional<Op> failing;
    bool restored;
    bool shown_after;  // the item ends without the hidden bit
    bool link_deleted;
    bool attributes_written;
    std::string reason;  // the line under the summary for a kept record
    // How far the apply's journal got: an earlier version's record (the hash alone), a
    // record whose link may be cut short (its bytes with it), or a complete one (the link
    // whole and flushed, its bytes still with it).
    enum class Journal { earlier, open, complete } journal = Journal::earlier;
  };
  using enum Case::Journal;
  const std::string denied = "Access is denied. (os error 5)";
  const std::string changed = "快捷方式已改变或创建中断";
  const std::string gone = "生成的快捷方式不存在";
  const auto none = std::nullopt;
  const Case cases[] = {
      {"item missing", no_item, ours, true, none, false, false, false, false, "原项目不存在"},
      {"link missing, no hash, item hidden", hidden, no_link, false, none, false, false, false,
       false, gone},
      {"link missing, hash recorded, item hidden", hidden, no_link, true, none, false, false, false,
       false, gone},
      // A link that cannot be looked at is not a link that is gone.
      {"link unreadable, item visible", visible, ours, true, Op::read_file, false, true, false,
       false, denied},
      {"link unreadable", hidden, ours, true, Op::read_file, false, false, false, false, denied},
      {"no hash, link complete", visible, ours, false, none, false, true, false, false, changed},
      {"no hash, link empty", visible, empty, false, none, false, true, false, false, changed},
      {"link empty, its creation stopped", visible, empty, true, none, true, true, true, false, ""},
      {"link cut short, the item hidden after a power cut", hidden, cut_short, true, none, true,
       true, true, true, "", open},
      // A complete record's link was whole when its item was hidden: while the item is
      // still hidden, nothing else is the program's.
      {"complete, the link emptied since", hidden, empty, true, none, false, false, false, false,
       changed, complete},
      // Shown again, the item has nothing left to undo but its link, cut short or not.
      {"complete, item shown again, the link cut short", visible, cut_short, true, none, true, true,
       true, false, "", complete},
      {"complete, item shown again, the link emptied", visible, empty, true, none, true, true, true,
       false, "", complete},
      {"complete, item shown again, the link someone else's", visible, edited, true, none, false,
       true, false, false, changed, complete},
      {"link edited by the user", hidden, edited, true, none, false, false, false, false, changed},
      {"hidden bit cannot be cleared", hidden, ours, true, Op::set_attributes, false, false, false,
       true, denied},
      {"link cannot be deleted", hidden, ours, true, Op::delete_file, false, true, false, true,
       denied},
      {"item already shown by the user", visible, ours, true, none, true, true, true, false, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fake::FakeWindows w;
    // Read-only is one of the bits that must come back as it was.
    const std::uint32_t other_bits = file_attribute_readonly | archive;
    if (c.item != no_item) {
      w.files.add_file(item, "item", other_bits | (c.item == hidden ? hidden_bit : 0));
    }
    const std::string link_bytes = c.link == ours        ? link
                                   : c.link == edited    ? overlay_link("C:\\other.exe")
                                   : c.link == cut_short ? link.substr(0, 20) + std::string(9, '\0')
                                                         : "";
    if (c.link != no_link) w.files.add_file(shortcut, link_bytes);
    Overlay record{item, shortcut, c.hash_recorded ? std::optional(link_hash) : std::nullopt};
    if (c.journal != earlier) record.shortcut_bytes = base64_encode(link);
    record.complete = c.journal == complete;
    put_journal(w, {record});
    const auto journal_before = w.files.content(in_data("overlay.json"));
    if (c.failing) {
      const bool on_link = c.failing == Op::read_file || c.failing == Op::delete_file;
      w.faults.fail_on_path(*c.failing, on_link ? shortcut : item, error_access_denied);
    }

    const auto section = restore_overlay(w.system(), places_of(w), data_dir);
    ASSERT_TRUE(section) << section.error();
    EXPECT_EQ(section->text,
              summary(c.restored, !c.restored) + (c.restored ? "" : "\n" + item + "：" + c.reason));
    EXPECT_EQ(section->left_undone, !c.restored);
    EXPECT_EQ(w.faults.calls(Op::set_attributes) > 0, c.attributes_written);
    if (c.restored) {
      EXPECT_FALSE(w.files.exists(in_data("overlay.json")));
    } else {
      EXPECT_EQ(w.files.content(in_data("overlay.json")), journal_before);
    }
    if (c.item != no_item) {
      EXPECT_EQ(w.files.attributes(item), other_bits | (c.shown_after ? 0 : hidden_bit));
      EXPECT_EQ(w.files.content(item), "item");
    }
    if (c.link != no_link) {
      EXPECT_EQ(w.files.content(shortcut),
                c.link_deleted ? std::nullopt : std::optional(link_bytes));
    }
  }
}

// A journal is data: only an item directly on a desktop, and the link beside it named
// after it, are ever shown again or deleted, whatever hashes the journal lists.
TEST(OverlayRestore, ARecordNamingAnythingElseIsKeptAndNothingIsTouched) {
  const std::string system_file = "C:\\Windows\\System32\\kernel32.dll";
  const std::string item = on_user("Item.txt");
  struct Case {
    const char* name;
    Overlay record;
    std::string reason;
  };
  const Case cases[] = {
      {"item outside the desktops",
       {system_file, system_file + ".lnk", *sha256_hex(overlay_link(system_file))},
       "记录的项目不在桌面上，已保留记录"},
      {"link elsewhere",
       {item, system_file, *sha256_hex(overlay_link(item))},
       "记录的快捷方式不在项目旁边，已保留记录"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fake::FakeWindows w;
    w.files.add_file(c.record.original, "item", archive | hidden_bit);
    w.files.add_file(c.record.shortcut, overlay_link(c.record.original));
    put_journal(w, {c.record});
    const auto section = restore_overlay(w.system(), places_of(w), data_dir);
    ASSERT_TRUE(section) << section.error();
    EXPECT_EQ(section->text, summary(0, 1) + "\n" + c.record.original + "：" + c.reason);
    EXPECT_EQ(w.files.attributes(c.record.original), archive | hidden_bit);
    EXPECT_TRUE(w.files.exists(c.record.shortcut));
  }
}

TEST(OverlayRestore, KeptRecordsStayInOrderAndUnchanged) {
  fake::FakeWindows w;
  std::vector<Overlay> records;
  for (const char* name : {"One.txt", "Two.txt", "Three"}) {
    const std::string item = on_user(name);
    w.files.add_file(item, name, archive | hidden_bit);
    w.files.add_file(item + ".lnk", overlay_link(item));
    records.push_back({item, item + ".lnk", *sha256_hex(overlay_link(item))});
  }
  w.files.add_file(records[1].shortcut, "changed by the user");
  put_journal(w, records);

  EXPECT_EQ(text_of(restore_overlay(w.system(), places_of(w), data_dir)),
            summary(2, 1) + "\n" + records[1].original + "：快捷方式已改变或创建中断");
  EXPECT_EQ(w.files.content(in_data("overlay.json")), serialize_overlay_journal({records[1]}));
  EXPECT_EQ(w.files.content(records[1].shortcut), "changed by the user");
  EXPECT_EQ(w.files.attributes(records[1].original), archive | hidden_bit);
  for (const auto& r : {records[0], records[2]}) {
    EXPECT_EQ(w.files.attributes(r.original), archive);
    EXPECT_FALSE(w.files.exists(r.shortcut));
  }
}

TEST(OverlayRestore, AJournalReadInArrayFormIsWrittenBackWithTheSameRecords) {
  fake::FakeWindows w;
  w.files.add_file(
      in_data("overlay.json"),
      R"([["C:\\Users\\user\\Desktop\\Gone", "C:\\Users\\user\\Desktop\\Gone.lnk", "h"]])");
  EXPECT_EQ(text_of(restore_overlay(w.system(), places_of(w), data_dir)),
            summary(0, 1) + "\n" + on_user("Gone") + "：原项目不存在");
  EXPECT_EQ(
      w.files.content(in_data("overlay.json")),
      serialize_overlay_journal({Overlay{on_user("Gone"), on_user("Gone.lnk"), std::string("h")}}));
}

TEST(OverlayRestore, AnUnreadableJournalEndsTheStepAndChangesNothing) {
  struct Case {
    const char* name;
    std::string bytes;
    bool read_fails;
    std::string error;
  };
  const Case cases[] = {
      {"not JSON", "[{\"original\": ", false,
       "syntax error while parsing value - unexpected end of input; expected '[', '{', or a "
       "literal at line 1 column 14"},
      {"not UTF-8", "[[\"\xC3\", \"b\", null]]", false,
       "syntax error while parsing value - invalid string: ill-formed UTF-8 byte at line 1 column "
       "5"},
      {"read fails", "[]", true, "Access is denied. (os error 5)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fake::FakeWindows w;
    w.files.add_file(on_user("Item.txt"), "item", archive | hidden_bit);
    w.files.add_file(on_user("Item.txt.lnk"), overlay_link(on_user("Item.txt")));
    w.files.add_file(in_data("overlay.json"), c.bytes);
    if (c.read_fails) {
      w.faults.fail_on_path(Op::read_file, in_data("overlay.json"), error_access_denied);
    }
    const auto before = w.files.tree();
    EXPECT_EQ(restore_overlay(w.system(), places_of(w), data_dir).error(), c.error);
    EXPECT_EQ(w.files.tree(), before);
    EXPECT_EQ(w.files.content(in_data("overlay.json")), c.bytes);
    EXPECT_EQ(w.files.attributes(on_user("Item.txt")), archive | hidden_bit);
  }
}

// The records were undone but the journal could not be updated: the error is shown and
// the journal stays as it was. That the next restore finishes the job is the recovery
// sweep's.
TEST(OverlayRestore, AFailedJournalUpdateIsTheStepsError) {
  struct Case {
    const char* name;
    int records;
    Op operation;
    std::string error;
  };
  const Case cases[] = {
      {"deleting the journal", 1, Op::delete_file, "Access is denied. (os error 5)"},
      {"saving the kept records", 2, Op::write_file,
       "There is not enough space on the disk. (os error 112)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fake::FakeWindows w;
    std::vector<Overlay> records;
    for (int i = 0; i < c.records; ++i) {
      const std::string item = on_user("Item" + std::to_string(i));
      w.files.add_file(item, "item", archive | hidden_bit);
      w.files.add_file(item + ".lnk", overlay_link(item));
      records.push_back({item, item + ".lnk", *sha256_hex(overlay_link(item))});
    }
    // A second record whose link the user changed keeps the journal non-empty.
    if (c.records == 2) w.files.add_file(records[1].shortcut, "the user's");
    put_journal(w, records);
    const auto journal = w.files.content(in_data("overlay.json"));
    const std::string path = c.records == 1 ? in_data("overlay.json") : in_data("overlay.tmp");
    w.faults.fail_on_path(c.operation, path, c.records == 1 ? error_access_denied : 112);

    EXPECT_EQ(restore_overlay(w.system(), places_of(w), data_dir).error(), c.error);
    EXPECT_EQ(w.files.content(in_data("overlay.json")), journal);
    EXPECT_EQ(w.files.attributes(records[0].original), archive);
    EXPECT_FALSE(w.files.exists(records[0].shortcut));
  }
}

TEST(OverlayRoundTrip, RestoreGivesBackEveryItemAsItWasAndRemovesEveryLink) {
  fake::FakeWindows w;
  const std::vector<std::pair<std::string, std::uint32_t>> items{
      {on_user("笔记.txt"), archive},
      {on_user("只读.doc"), archive | file_attribute_readonly},
      {on_user("README"), file_attribute_normal},
      {on_public("Tools"), file_attribute_directory},
      {on_public("Same"), file_attribute_directory | file_attribute_readonly},
      {on_user("Same"), archive},
  };
  for (const auto& [path, attributes] : items) {
    if (attributes & file_attribute_directory) {
      w.files.add_directory(path, attributes);
    } else {
      w.files.add_file(path, path, attributes);
    }
  }
  const auto before = w.files.tree();
  ASSERT_EQ(text_of(apply_overlay(w.system(), both_desktops(), data_dir)),
            "普通文件和文件夹：6 个，跳过或失败 0 个。");

  EXPECT_EQ(text_of(restore_overlay(w.system(), places_of(w), data_dir)), summary(6, 0));
  for (const auto& [path, attributes] : items) {
    EXPECT_EQ(w.files.attributes(path), attributes) << path;
    EXPECT_FALSE(w.files.exists(path + ".lnk")) << path;
  }
  EXPECT_FALSE(w.files.exists(in_data("overlay.json")));
  EXPECT_FALSE(w.files.exists(in_data("overlay.tmp")));
  // The icon stays with the data directory; nothing else is left behind.
  auto after = w.files.tree();
  std::erase(after, std::string(icon_path));
  std::erase(after, std::string(data_dir));
  EXPECT_EQ(after, before);
}

}  // namespace
}  // namespace mossglow
