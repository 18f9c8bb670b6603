// A crash or a power cut may stop an apply after any change it makes. Whatever the
// moment, a later restore must leave every shortcut either exactly as it was before
// the apply, or still recoverable: its record kept in backup.json with an intact copy.
#include <gtest/gtest.h>

#include <algorithm>

#include "shortcut_fixture.hpp"
#include "shortcuts/apply.hpp"
#include "shortcuts/restore.hpp"
#include "state/backup_journal.hpp"
#include "state/content_hash.hpp"

namespace mossglow {
namespace {

using namespace testing_support;

struct Shortcut {
  std::string path;
  std::string bytes;
};

std::vector<Shortcut> dress_desktop(fake::FakeWindows& w) {
  const std::vector<Shortcut> shortcuts{
      {on_user("编辑器.lnk"), link_to("C:\\Program Files\\Editor\\editor.exe")},
      {on_user("News.URL"), url_to("https://news.example/")},
      {on_public("Shared.lnk"), link_to("C:\\Shared\\tool.exe")},
  };
  for (const auto& s : shortcuts) w.files.add_file(s.path, s.bytes);
  return shortcuts;
}

void expect_nothing_lost(fake::FakeWindows& w, const std::vector<Shortcut>& shortcuts,
                         const std::string& moment) {
  SCOPED_TRACE(moment);
  const auto section = restore_shortcuts(w.system(), data_dir);
  ASSERT_TRUE(section) << section.error();

  std::vector<Record> kept;
  if (auto bytes = w.files.content(in_data("backup.json"))) {
    auto parsed = parse_backup_journal(*bytes);
    ASSERT_TRUE(parsed) << parsed.error();
    kept = *parsed;
  }
  for (const auto& s : shortcuts) {
    if (w.files.content(s.path) == s.bytes) continue;
    const auto record = std::ranges::find(kept, s.path, &Record::path);
    ASSERT_NE(record, kept.end()) << s.path << " changed and no record kept";
    EXPECT_EQ(w.files.content(record->backup), s.bytes) << s.path << " has no intact copy";
  }
}

std::string moment(fake::Stop stop, std::size_t i, const fake::Snapshot& snapshot) {
  return std::string(fake::stop_name(stop)) + " after change " + std::to_string(i) + ": " +
         snapshot.describe();
}

TEST(CrashSweep, RestoreAfterAnInterruptedApplyLosesNothing) {
  fake::FakeWindows reference;
  const auto shortcuts = dress_desktop(reference);
  reference.record_history(true);
  const auto outcome = apply_skin(reference.system(), both_desktops(), data_dir);
  ASSERT_TRUE(outcome) << outcome.error();
  const auto& history = reference.history();
  ASSERT_GT(history.size(), 10u);

  for (std::size_t i = 0; i < history.size(); ++i) {
    for (const fake::Stop stop : fake::all_stops) {
      fake::FakeWindows after;
      after.load(history[i], stop);
      expect_nothing_lost(after, shortcuts, moment(stop, i, history[i]));
    }
  }
}

TEST(CrashSweep, ARestoreInterruptedAnywhereCanBeRunAgain) {
  fake::FakeWindows w;
  const auto shortcuts = dress_desktop(w);
  ASSERT_TRUE(apply_skin(w.system(), both_desktops(), data_dir));

  w.record_history(true);
  ASSERT_TRUE(restore_shortcuts(w.system(), data_dir));
  const auto& history = w.history();
  for (std::size_t i = 0; i < history.size(); ++i) {
    for (const fake::Stop stop : fake::all_stops) {
      fake::FakeWindows again;
      again.load(history[i], stop);
      expect_nothing_lost(again, shortcuts, "restore stopped: " + moment(stop, i, history[i]));
      // After a crash the second restore finishes the job. After a power cut a shortcut
      // whose copy-back was not yet on disk may hold neither version; it then stays
      // journalled (its copy intact) rather than being guessed at.
      if (stop == fake::Stop::crash) {
        EXPECT_FALSE(again.files.exists(in_data("backup.json")))
            << "a second restore finishes the job after " << moment(stop, i, history[i]);
      }
    }
  }
}

}  // namespace
}  // namespace mossglow
