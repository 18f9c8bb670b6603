// A crash or a power cut may stop an overlay apply, or its restore, after any change
// it makes. Whatever the moment, a restore afterwards must never delete a file the
// apply did not create, never leave an item hidden, and never lose the record of
// anything it could not undo.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "overlay/overlay_apply.hpp"
#include "overlay/overlay_journal.hpp"
#include "overlay/overlay_restore.hpp"
#include "shortcut_fixture.hpp"

namespace mossglow {
namespace {

using namespace testing_support;

struct Item {
  std::string path;
  std::uint32_t attributes;
  bool directory = false;
};

// Items to cover, and a pair whose shortcut name is taken by the user's own file.
const std::vector<Item> items{
    {on_user("笔记.txt"), file_attribute_archive},
    {on_user("Locked.doc"), file_attribute_archive | file_attribute_readonly},
    {on_user("Notes.txt"), file_attribute_archive},
    {on_public("Tools"), file_attribute_directory, true},
};
const std::string users_link = on_user("Notes.txt.lnk");

void dress_desktop(fake::FakeWindows& w) {
  for (const auto& item : items) {
    if (item.directory) {
      w.files.add_directory(item.path, item.attributes);
    } else {
      w.files.add_file(item.path, "content of " + item.path, item.attributes);
    }
  }
  w.files.add_file(users_link, "the user's own link");
}

std::vector<Overlay> journal_of(const fake::FakeWindows& w) {
  const auto bytes = w.files.content(in_data("overlay.json"));
  if (!bytes) return {};
  auto records = parse_overlay_journal(*bytes);
  EXPECT_TRUE(records) << records.error();
  return records.value_or(std::vector<Overlay>{});
}

// Restores from `state` and checks what must hold whenever the run was stopped.
// Returns the records the restore kept.
std::vector<Overlay> restore_and_check(const fake::Snapshot& snapshot, fake::Stop stop,
                                       const std::string& moment) {
  SCOPED_TRACE(std::string(fake::stop_name(stop)) + " after " + moment);
  fake::FakeWindows w;
  w.load(snapshot, stop);
  const auto created_before = w.files.tree();
  const auto section = restore_overlay(w.system(), data_dir);
  EXPECT_TRUE(section) << section.error();

  // Every item is there with its content and shows again, its other bits untouched.
  for (const auto& item : items) {
    EXPECT_EQ(w.files.attributes(item.path), item.attributes) << item.path;
    if (!item.directory) {
      EXPECT_EQ(w.files.content(item.path), "content of " + item.path);
    }
  }
  EXPECT_EQ(w.files.content(users_link), "the user's own link");

  // Whatever the restore deleted was a shortcut the journal said the apply made; what
  // is left of the apply's shortcuts is still journalled.
  const auto kept = journal_of(w);
  const auto after = w.files.tree();
  for (const auto& path : created_before) {
    if (path.starts_with(data_dir) || std::ranges::find(after, path) != after.end()) continue;
    EXPECT_TRUE(path.ends_with(".lnk") && path != users_link) << path << " was deleted";
  }
  for (const auto& item : items) {
    const std::string shortcut = item.path + ".lnk";
    if (shortcut == users_link || !w.files.exists(shortcut)) continue;
    EXPECT_NE(std::ranges::find(kept, shortcut, &Overlay::shortcut), kept.end())
        << shortcut << " is left without its record";
  }
  return kept;
}

TEST(OverlayCrashSweep, RestoreAfterAnInterruptedApplyLosesNothingAndShowsEveryItem) {
  fake::FakeWindows reference;
  dress_desktop(reference);
  reference.record_history(true);
  ASSERT_EQ(apply_overlay(reference.system(), both_desktops(), data_dir),
            "普通文件和文件夹：3 个，跳过或失败 1 个。");
  const auto& history = reference.history();
  ASSERT_GT(history.size(), 20u);

  for (std::size_t i = 0; i < history.size(); ++i) {
    const std::string step = "change " + std::to_string(i) + ": " + history[i].describe();
    for (const fake::Stop stop : fake::all_stops) restore_and_check(history[i], stop, step);
  }
}

TEST(OverlayCrashSweep, ARestoreInterruptedAnywhereIsFinishedByTheNext) {
  fake::FakeWindows w;
  dress_desktop(w);
  ASSERT_TRUE(apply_overlay(w.system(), both_desktops(), data_dir));
  w.record_history(true);
  ASSERT_EQ(restore_overlay(w.system(), data_dir), "文件和文件夹已还原 3 个，跳过 0 个。");
  const auto& history = w.history();
  ASSERT_GE(history.size(), 7u);

  for (std::size_t i = 0; i < history.size(); ++i) {
    const std::string step = "change " + std::to_string(i) + ": " + history[i].describe();
    for (const fake::Stop stop : fake::all_stops) {
      const auto kept = restore_and_check(history[i], stop, step);
      EXPECT_TRUE(kept.empty()) << "restore stopped after " << step << " is not finished";
    }
  }
}

}  // namespace
}  // namespace mossglow
