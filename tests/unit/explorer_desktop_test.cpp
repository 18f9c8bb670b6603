// The program on a desktop as Windows 10 and 11 show it: Explorer watching the folders
// (an entry created or renamed moves on its grid, so files the user owns keep their
// identity), OneDrive's cloud placeholders, scanners holding files for a moment,
// desktops that move or cannot be found, and names that only look like the program's.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <sstream>

#include "operations/apply.hpp"
#include "operations/restore.hpp"
#include "steam_fixture.hpp"

namespace mossglow {
namespace {

using namespace testing_support;
using Event = fake::FakeFileSystem::EntryEvent;
using Kind = Event::Kind;

constexpr std::uint32_t archive = file_attribute_archive;

// Every entry of both desktops with its attributes and bytes: what the user sees (whether
// a sync client keeps a file's bytes in the cloud is the client's business: a file read
// is fetched, as it would be by any program).
std::string seen(const fake::FakeWindows& w, std::initializer_list<std::string_view> desktops = {
                                                 fake::user_desktop, fake::public_desktop}) {
  std::ostringstream out;
  for (const auto desktop : desktops) {
    for (const std::string& path : w.files.tree(desktop)) {
      out << file_name(path) << " "
          << (w.files.attributes(path).value_or(0) & ~file_attribute_recall_on_data_access) << " "
          << w.files.content(path).value_or("<folder>") << "\n";
    }
  }
  return out.str();
}

bool no_journal(const fake::FakeWindows& w) {
  for (const char* name : {"backup.json", "overlay.json", "recycle.json"}) {
    if (w.files.exists(in_data(name))) return false;
  }
  return true;
}

// The entries created, deleted and renamed on the desktops since the events were cleared.
std::vector<std::string> desktop_events(fake::FakeWindows& w) {
  std::vector<std::string> events;
  for (const Event& event : w.files.events()) {
    const bool on_desktop = is_on_a_desktop(event.path, both_desktops());
    if (!on_desktop) continue;
    const char* kind = event.kind == Kind::created   ? "created "
                       : event.kind == Kind::deleted ? "deleted "
                                                     : "renamed ";
    events.push_back(kind + std::string(file_name(event.path)));
  }
  std::ranges::sort(events);
  w.files.clear_events();
  return events;
}

// One table over a mixed desktop: which entries an apply and a restore create or delete
// (nothing else ever appears, and nothing is renamed), and that every file the user owns
// is the same file throughout, its ID kept, while its bytes are changed in place.
TEST(ExplorerDesktop, OnlyLinksComeAndGoAndEveryFileOfTheUsersKeepsItsIdentity) {
  fake::FakeWindows w;
  install_steam(w);
  struct Row {
    std::string path;
    std::string bytes;  // empty: a folder
    std::uint32_t attributes;
    std::vector<std::string> applied, restored;  // its own events, then its link's
  };
  const Row rows[] = {
      {on_user("编辑器.lnk"), link_to("C:\\Editor\\editor.exe"), archive, {}, {}},
      {on_user("Fixed.lnk"),
       link_to("C:\\Fixed\\f.exe"),
       archive | file_attribute_readonly,
       {},
       {}},
      {on_user("Quiet.lnk"), link_to("C:\\Quiet\\q.exe"), archive | file_attribute_hidden, {}, {}},
      {on_user("News.URL"), url_to("https://news.example/"), archive, {}, {}},
      {on_user("Game.url"),
       url_to("steam://rungameid/570"),
       archive | file_attribute_hidden,
       {"created Game.lnk", "deleted Game.url"},
       {"created Game.url", "deleted Game.lnk"}},
      {on_user("笔记.txt"), "notes", archive, {"created 笔记.txt.lnk"}, {"deleted 笔记.txt.lnk"}},
      {on_public("Photos"),
       "",
       file_attribute_directory,
       {"created Photos.lnk"},
       {"deleted Photos.lnk"}},
      {on_public("Shared.lnk"), link_to("C:\\Shared\\tool.exe"), archive, {}, {}},
  };
  std::vector<std::string> applied, restored;
  for (const Row& row : rows) {
    if (row.bytes.empty()) {
      w.files.add_directory(row.path, row.attributes);
    } else {
      w.files.add_file(row.path, row.bytes, row.attributes);
    }
    applied.insert(applied.end(), row.applied.begin(), row.applied.end());
    restored.insert(restored.end(), row.restored.begin(), row.restored.end());
  }
  std::ranges::sort(applied);
  std::ranges::sort(restored);
  std::map<std::string, std::optional<std::uint64_t>> ids;
  for (const Row& row : rows) ids[row.path] = w.files.file_id(row.path);
  const std::string before = seen(w);
  w.files.clear_events();

  const auto outcome = apply_skin(w.system(), both_desktops(), data_dir);
  ASSERT_TRUE(outcome && !outcome->needs_attention) << (outcome ? outcome->text : outcome.error());
  EXPECT_EQ(desktop_events(w), applied);
  for (const Row& row : rows) {
    if (row.applied.empty() || !row.applied[0].starts_with("created Game")) {
      EXPECT_EQ(w.files.file_id(row.path), ids[row.path]) << row.path;
    }
  }
  EXPECT_EQ(w.shell.read_link(on_user("Fixed.lnk"))->icon_path, icon_path);
  EXPECT_EQ(w.files.attributes(on_user("Fixed.lnk")), archive | file_attribute_readonly);

  const auto undone = restore(w.system());
  ASSERT_TRUE(undone && !undone->needs_attention) << (undone ? undone->text : undone.error());
  EXPECT_EQ(desktop_events(w), restored);
  for (const Row& row : rows) {
    if (!row.path.ends_with("Game.url")) {
      EXPECT_EQ(w.files.file_id(row.path), ids[row.path]) << row.path;
    }
  }
  EXPECT_EQ(seen(w), before);
  EXPECT_TRUE(no_journal(w));
}

// A desktop synced by OneDrive: every entry a cloud placeholder, some with their bytes
// still in the cloud. Each is dressed, covered and restored like any other file; when the
// sync client cannot fetch a file, that item alone fails with the system's text.
TEST(ExplorerDesktop, ADesktopOfCloudPlaceholdersIsDressedAndRestoredExactly) {
  for (const bool provider_running : {true, false}) {
    SCOPED_TRACE(provider_running ? "provider running" : "provider offline");
    fake::FakeWindows w;
    w.files.add_placeholder(on_user("App.lnk"), link_to("C:\\App\\app.exe"), /*in_cloud=*/false);
    w.files.add_placeholder(on_user("Cloud.lnk"), link_to("C:\\Cloud\\c.exe"), /*in_cloud=*/true);
    w.files.add_placeholder(on_user("Site.url"), url_to("https://example.com/"), false);
    w.files.add_placeholder(on_user("Report.docx"), "report", /*in_cloud=*/true);
    w.files.add_placeholder(on_user("Synced"), "", false, file_attribute_directory);
    w.files.set_cloud_provider_running(provider_running);
    const std::string before = seen(w);

    const auto outcome = apply_skin(w.system(), both_desktops(), data_dir);
    ASSERT_TRUE(outcome) << outcome.error();
    const std::string offline =
        on_user("Cloud.lnk") + "：The cloud file provider is not running. (os error 362)";
    EXPECT_TRUE(outcome->text.starts_with(provider_running
                                              ? "已更新快捷方式 3 个，失败 0 个。"
                                              : "已更新快捷方式 2 个，失败 1 个。\n" + offline))
        << outcome->text;
    EXPECT_NE(outcome->text.find("普通文件和文件夹：2 个，跳过或失败 0 个。"), std::string::npos);
    EXPECT_EQ(w.shell.read_link(on_user("App.lnk"))->icon_path, icon_path);
    EXPECT_EQ(w.files.attributes(on_user("Report.docx")).value_or(0) &
                  (file_attribute_hidden | file_attribute_reparse_point),
              file_attribute_hidden | file_attribute_reparse_point);

    const auto undone = restore(w.system());
    ASSERT_TRUE(undone && !undone->needs_attention) << (undone ? undone->text : undone.error());
    EXPECT_EQ(seen(w), before);
    EXPECT_TRUE(no_journal(w));
  }
}

// The desktop moved after the apply and Windows moved its files along: the restore
// follows each record to the same name on the desktop as it is now. Had the files stayed
// behind, they are no longer on a desktop and their records are kept.
TEST(ExplorerDesktop, ARestoreFollowsADesktopThatMovedWithItsFiles) {
  const std::string moved = "D:\\OneDrive\\Desktop";
  for (const bool files_moved : {true, false}) {
    SCOPED_TRACE(files_moved ? "files moved along" : "files left behind");
    fake::FakeWindows w;
    install_steam(w);
    w.files.add_file(on_user("App.lnk"), link_to("C:\\App\\app.exe"));
    w.files.add_file(on_user("Game.url"), url_to("steam://rungameid/570"));
    w.files.add_file(on_user("Notes.txt"), "notes");
    w.files.add_file(on_public("Shared.lnk"), link_to("C:\\Shared\\s.exe"));
    const std::string before = seen(w, {fake::user_desktop});
    const std::string public_before = seen(w, {fake::public_desktop});
    ASSERT_TRUE(apply(w.system()));

    w.files.add_directory(moved);
    if (files_moved) {
      for (const std::string& path : w.files.tree(fake::user_desktop)) {
        ASSERT_TRUE(w.files.rename_new(path, join_path(moved, file_name(path))));
      }
    }
    w.env.set_known_folder(KnownFolder::desktop, moved);
    const auto undone = restore(w.system());
    ASSERT_TRUE(undone) << undone.error();
    EXPECT_EQ(seen(w, {fake::public_desktop}), public_before);
    if (files_moved) {
      EXPECT_FALSE(undone->needs_attention) << undone->text;
      EXPECT_EQ(seen(w, {moved}), before);
      EXPECT_TRUE(no_journal(w));
    } else {
      EXPECT_TRUE(undone->needs_attention);
      EXPECT_NE(undone->text.find(on_user("App.lnk") +
                                  "：桌面已移到别处，此项目仍在原来的文件夹中，已保留记录"),
                std::string::npos)
          << undone->text;
      EXPECT_EQ(w.files.tree(moved), std::vector<std::string>{});
      EXPECT_TRUE(w.files.exists(in_data("backup.json")));
      EXPECT_TRUE(w.files.exists(in_data("desktops.json")));
    }
  }
}

// A desktop that cannot be found (an offline redirected folder) keeps only its own
// records, each with the reason; the other desktop, the covered items on it and the
// Recycle Bin are restored, and once the desktop is back a restore finishes the job.
TEST(ExplorerDesktop, ADesktopThatCannotBeFoundKeepsOnlyItsOwnRecords) {
  fake::FakeWindows w;
  w.files.add_file(on_user("App.lnk"), link_to("C:\\App\\app.exe"));
  w.files.add_file(on_public("Shared.lnk"), link_to("C:\\Shared\\s.exe"));
  w.files.add_file(on_public("Public.txt"), "public");
  const std::string before = seen(w);
  const std::string public_before = seen(w, {fake::public_desktop});
  ASSERT_TRUE(apply(w.system()));

  w.env.set_known_folder(KnownFolder::desktop, std::unexpected(HResult{0x80070015}));
  const auto undone = restore(w.system());
  ASSERT_TRUE(undone) << undone.error();
  EXPECT_TRUE(undone->needs_attention);
  EXPECT_NE(undone->text.find("已还原 1 个，跳过 1 个。\n" + on_user("App.lnk") +
                              "：找不到桌面文件夹，已保留记录：0x80070015"),
            std::string::npos)
      << undone->text;
  EXPECT_EQ(seen(w, {fake::public_desktop}), public_before);
  EXPECT_FALSE(w.files.exists(in_data("overlay.json")));
  EXPECT_FALSE(w.files.exists(in_data("recycle.json")));

  w.env.set_known_folder(KnownFolder::desktop, std::string(fake::user_desktop));
  const auto finished = restore(w.system());
  ASSERT_TRUE(finished && !finished->needs_attention)
      << (finished ? finished->text : finished.error());
  EXPECT_EQ(seen(w), before);
  EXPECT_TRUE(no_journal(w));
  EXPECT_FALSE(w.files.exists(in_data("desktops.json")));
}

// A scanner that holds a shortcut or a fresh link for a moment is waited out; files held
// for longer fail one by one, and all of them together cost the operation no more than
// its one budget of waiting (sixty held shortcuts once froze the window for minutes).
TEST(ExplorerDesktop, BriefLocksAreWaitedOutAndLastingOnesFailAloneWithinOneBudget) {
  fake::FakeWindows w;
  w.files.add_file(on_user("Brief.lnk"), link_to("C:\\b.exe"));
  w.files.add_file(on_user("Notes.txt"), "notes");
  constexpr int held = 60;
  for (int i = 0; i < held; ++i) {
    const std::string path = on_user("Held" + std::to_string(i) + ".lnk");
    w.files.add_file(path, link_to("C:\\h.exe"));
    w.files.lock(path);
  }
  w.files.lock_for(on_user("Brief.lnk"), std::chrono::milliseconds(300));
  // Only the waits for locks are counted here, none for Explorer's view.
  w.view.fail_from(1, e_fail);
  const auto waited = [&] {
    std::chrono::milliseconds total{0};
    for (const auto pause : w.waiter.waits()) total += pause;
    return total;
  };
  const auto outcome = apply(w.system());
  ASSERT_TRUE(outcome) << outcome.error();
  EXPECT_TRUE(outcome->text.starts_with(
      "已更新快捷方式 1 个，失败 60 个。\n" + on_user("Held0.lnk") +
      "：The process cannot access the file because it is being used by another process."))
      << outcome->text;
  EXPECT_EQ(w.shell.read_link(on_user("Brief.lnk"))->icon_path, icon_path);
  EXPECT_GE(waited(), std::chrono::milliseconds(2000));
  EXPECT_LE(waited(), lock_budget);

  w.files.lock_for(on_user("Notes.txt.lnk"), std::chrono::milliseconds(500));
  w.files.lock_for(on_user("Brief.lnk"), std::chrono::milliseconds(500));
  const auto before_restore = waited();
  const auto undone = restore(w.system());
  ASSERT_TRUE(undone) << undone.error();
  EXPECT_TRUE(undone->text.starts_with("已还原 1 个，跳过 0 个。")) << undone->text;
  EXPECT_FALSE(w.files.exists(on_user("Notes.txt.lnk")));
  EXPECT_EQ(w.files.content(on_user("Brief.lnk")), link_to("C:\\b.exe"));
  EXPECT_LE(waited() - before_restore, lock_budget);
}

// The public desktop as a program without elevation finds it: every item may be read
// and none written. Each public item fails alone with the system's text; nothing of
// them stays in a journal, so one restore gives everything back, and the next apply is
// not refused. Stopped anywhere, that apply is still undone by one restore: a public
// shortcut found as it was is settled though it cannot even be flushed.
TEST(ExplorerDesktop, APublicDesktopItMayNotWriteIsReadButNeverJournalled) {
  const auto lay_out = [](fake::FakeWindows& w) {
    install_steam(w);
    w.files.add_file(on_user("App.lnk"), link_to("C:\\App\\app.exe"));
    w.files.add_file(on_user("Notes.txt"), "notes");
    w.files.add_file(on_public("Pub.lnk"), link_to("C:\\Pub\\pub.exe"));
    w.files.add_file(on_public("PubWeb.url"), url_to("https://example.com/"));
    w.files.add_file(on_public("Game.url"), url_to("steam://rungameid/570"));
    w.files.add_file(on_public("Readme.txt"), "public");
  };
  const auto journals = [](const fake::FakeWindows& w) {
    std::string text;
    for (const char* name : {"backup.json", "overlay.json"}) {
      text += w.files.content(in_data(name)).value_or("");
    }
    return text;
  };
  fake::FakeWindows w;
  lay_out(w);
  w.files.deny_writes(fake::public_desktop);
  const std::string before = seen(w);
  w.record_history(true);
  const auto outcome = apply(w.system());
  w.record_history(false);
  ASSERT_TRUE(outcome) << outcome.error();
  const std::string denied = "：Access is denied. (os error 5)";
  for (const std::string line :
       {"已更新快捷方式 1 个，失败 3 个。", "普通文件和文件夹：1 个，跳过或失败 1 个。"}) {
    EXPECT_NE(outcome->text.find(line), std::string::npos) << outcome->text;
  }
  EXPECT_NE(outcome->text.find(on_public("Readme.txt") + denied), std::string::npos);
  // Paths stand in the journals as JSON writes them, each backslash doubled.
  EXPECT_EQ(journals(w).find("\\\\Public\\\\"), std::string::npos) << journals(w);
  EXPECT_EQ(w.shell.read_link(on_user("App.lnk"))->icon_path, icon_path);

  const auto undone = restore(w.system());
  ASSERT_TRUE(undone && !undone->needs_attention) << (undone ? undone->text : undone.error());
  EXPECT_EQ(seen(w), before);
  EXPECT_TRUE(no_journal(w));
  const auto again = apply(w.system());
  ASSERT_TRUE(again) << again.error();

  for (std::size_t i = 0; i < w.history().size(); ++i) {
    const fake::Stop stop = fake::all_stops[i % fake::all_stops.size()];
    SCOPED_TRACE(std::string(fake::stop_name(stop)) + " after " + w.history()[i].describe());
    fake::FakeWindows stopped;
    stopped.load(w.history()[i], stop);
    stopped.files.deny_writes(fake::public_desktop);
    const auto recovered = restore(stopped.system());
    ASSERT_TRUE(recovered) << recovered.error();
    EXPECT_EQ(seen(stopped), before) << recovered->text;
    EXPECT_TRUE(no_journal(stopped)) << recovered->text;
  }
}

// No name is the program's: files named like temporary files are the user's, covered by
// an apply, and a restore leaves one saved beside a shortcut alone.
TEST(ExplorerDesktop, FilesNamedLikeTheProgramsOwnAreTheUsers) {
  fake::FakeWindows w;
  w.files.add_file(on_user("ok.lnk"), link_to("C:\\ok.exe"));
  w.files.add_file(on_user("ok.lnk.mossglow-tmp"), "the user's");
  w.files.add_file(on_user("plain.mossglow-tmp"), "the user's too");
  const auto outcome = apply(w.system());
  ASSERT_TRUE(outcome && !outcome->needs_attention) << (outcome ? outcome->text : outcome.error());
  EXPECT_NE(outcome->text.find("普通文件和文件夹：2 个，跳过或失败 0 个。"), std::string::npos);
  EXPECT_TRUE(w.files.exists(on_user("plain.mossglow-tmp.lnk")));

  w.files.add_file(on_user("later.lnk.mossglow-tmp"), "saved after the apply");
  ASSERT_TRUE(restore(w.system()));
  EXPECT_EQ(w.files.content(on_user("later.lnk.mossglow-tmp")), "saved after the apply");
  EXPECT_EQ(w.files.content(on_user("ok.lnk.mossglow-tmp")), "the user's");
  EXPECT_EQ(w.files.attributes(on_user("plain.mossglow-tmp")), archive);
  EXPECT_TRUE(no_journal(w));
}

}  // namespace
}  // namespace mossglow
