// A crash or a power cut may stop an apply in the middle of a Steam conversion. Whatever
// the moment, a later restore must lose nothing: the .url is back as it was, or its
// record stays in backup.json with an intact copy; and a link on the desktop is removed
// only when it is exactly the one the apply generated.
#include <gtest/gtest.h>

#include <algorithm>

#include "shortcuts/apply.hpp"
#include "shortcuts/restore.hpp"
#include "state/backup_journal.hpp"
#include "steam_fixture.hpp"

namespace mossglow {
namespace {

using namespace testing_support;

struct Shortcut {
  std::string path;
  std::string bytes;
};

const std::string game_link = on_user("Game.lnk");

std::vector<Shortcut> dress_desktop(fake::FakeWindows& w) {
  install_steam(w);
  const std::vector<Shortcut> shortcuts{
      {on_user("Game.url"), url_to("steam://rungameid/570")},
      {on_user("Editor.lnk"), link_to("C:\\Editor\\editor.exe")},
      {on_public("Other Game.url"), url_to("steam://rungameid/440")},
  };
  for (const auto& s : shortcuts) w.files.add_file(s.path, s.bytes);
  return shortcuts;
}

std::vector<Record> journal_on_disk(fake::FakeWindows& w) {
  const auto bytes = w.files.content(in_data("backup.json"));
  if (!bytes) return {};
  auto parsed = parse_backup_journal(*bytes);
  EXPECT_TRUE(parsed) << parsed.error();
  return parsed.value_or(std::vector<Record>{});
}

void expect_nothing_lost(fake::FakeWindows& w, const std::vector<Shortcut>& shortcuts) {
  const auto section = restore_shortcuts(w.system(), data_dir);
  ASSERT_TRUE(section) << section.error();
  const auto kept = journal_on_disk(w);
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

class SteamCrashSweep : public ::testing::Test {
 protected:
  void SetUp() override {
    fake::FakeWindows reference;
    shortcuts = dress_desktop(reference);
    reference.record_history(true);
    const auto outcome = apply_skin(reference.system(), both_desktops(), data_dir);
    ASSERT_TRUE(outcome) << outcome.error();
    ASSERT_TRUE(outcome->text.starts_with("已更新快捷方式 3 个，失败 0 个。")) << outcome->text;
    history = reference.history();
    ASSERT_GT(history.size(), 20u);
  }

  std::vector<Shortcut> shortcuts;
  std::vector<fake::Snapshot> history;
};

TEST_F(SteamCrashSweep, RestoreAfterAnApplyStoppedAnywhereLosesNothing) {
  for (std::size_t i = 0; i < history.size(); ++i) {
    for (const fake::Stop stop : fake::all_stops) {
      SCOPED_TRACE(moment(stop, i, history[i]));
      fake::FakeWindows after;
      after.load(history[i], stop);
      expect_nothing_lost(after, shortcuts);
      if (stop == fake::Stop::crash) {
        // A conversion is always finished by the restore after a crash (a re-iconed
        // link whose change was never recorded is another matter).
        EXPECT_FALSE(after.files.exists(game_link)) << "the generated link is removed";
        for (const Record& kept : journal_on_disk(after)) {
          EXPECT_FALSE(has_extension(kept.path, "url")) << kept.path << " kept";
        }
      }
    }
  }
}

// The user changed the generated link after the apply stopped: the restore must keep
// that link, and with it the record of the .url whenever the .url is not back.
TEST_F(SteamCrashSweep, ALinkTheUserChangedIsNeverDeleted) {
  const std::string users_link = link_to("C:\\Users\\user\\my-own.exe");
  int states_with_link = 0;
  for (std::size_t i = 0; i < history.size(); ++i) {
    for (const fake::Stop stop : fake::all_stops) {
      SCOPED_TRACE(moment(stop, i, history[i]));
      fake::FakeWindows after;
      after.load(history[i], stop);
      if (!after.files.exists(game_link)) continue;
      ++states_with_link;
      after.files.add_file(game_link, users_link);
      expect_nothing_lost(after, shortcuts);
      EXPECT_EQ(after.files.content(game_link), users_link);
    }
  }
  EXPECT_GT(states_with_link, 0);
}

TEST_F(SteamCrashSweep, ARestoreStoppedAnywhereIsFinishedByTheNext) {
  fake::FakeWindows w;
  w.load(history.back(), fake::Stop::crash);
  w.record_history(true);
  const auto section = restore_shortcuts(w.system(), data_dir);
  ASSERT_TRUE(section) << section.error();
  ASSERT_EQ(*section, "已还原 3 个，跳过 0 个。");
  const auto& restore_history = w.history();
  for (std::size_t i = 0; i < restore_history.size(); ++i) {
    for (const fake::Stop stop : fake::all_stops) {
      SCOPED_TRACE(moment(stop, i, restore_history[i]));
      fake::FakeWindows again;
      again.load(restore_history[i], stop);
      expect_nothing_lost(again, shortcuts);
      if (stop == fake::Stop::crash) {
        EXPECT_FALSE(again.files.exists(in_data("backup.json")));
      }
    }
  }
}

}  // namespace
}  // namespace mossglow
