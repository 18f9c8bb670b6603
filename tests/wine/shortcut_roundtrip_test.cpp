// Apply and restore of desktop shortcuts against real Win32 under Wine, on the test
// prefix's own desktops. It only runs in a disposable prefix (scripts/wine-run marks
// it), and only ever removes files it created itself.
#include <gtest/gtest.h>
#include <objbase.h>
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <map>

#include "operations/apply.hpp"
#include "platform/path.hpp"
#include "platform/system_win32.hpp"
#include "platform/text.hpp"
#include "shortcuts/restore.hpp"
#include "shortcuts/scan.hpp"
#include "state/backup_journal.hpp"
#include "state/content_hash.hpp"
#include "state/data_directory.hpp"

namespace mossglow {
namespace {

class ComApartment : public ::testing::Environment {
 public:
  void SetUp() override { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
};
const auto* const com = ::testing::AddGlobalTestEnvironment(new ComApartment);

class ShortcutRoundTrip : public ::testing::Test, protected Win32System {
 protected:
  DesktopFolders desktops;
  std::string data_dir;
  std::vector<std::string> created;

  void SetUp() override {
    if (std::getenv("MOSSGLOW_DISPOSABLE_PREFIX") == nullptr) {
      GTEST_SKIP() << "runs only in a disposable Wine prefix";
    }
    desktops = {*known_folder_path(sys, KnownFolder::desktop),
                *known_folder_path(sys, KnownFolder::public_desktop)};
    data_dir = *data_directory(env);
    for (const char* journal : {"backup.json", "overlay.json", "recycle.json"}) {
      (void)files.delete_file(join_path(data_dir, journal));
    }
  }

  void TearDown() override {
    for (const auto& path : created) (void)files.delete_file(path);
    (void)files.delete_file(join_path(data_dir, "backup.json"));
  }

  std::string make_link(const std::string& folder, const std::string& name,
                        const std::string& target) {
    const std::string path = join_path(folder, name);
    NewLink link{target, "--start \"x y\"",
                 parent_path(target).empty() ? "" : std::string(parent_path(target)), "", 0};
    link.icon_path = "C:\\windows\\system32\\shell32.dll";
    EXPECT_TRUE(shell.create_link(path, link));
    created.push_back(path);
    return path;
  }

  std::string make_url(const std::string& folder, const std::string& name) {
    const std::string path = join_path(folder, name);
    EXPECT_TRUE(files.write_file(path,
                                 "[InternetShortcut]\r\nURL=https://example.com/"
                                 "页面\r\nHotKey=0\r\n\r\n[Other]\r\nKey=1\r\n",
                                 false));
    created.push_back(path);
    return path;
  }

  std::string bytes(const std::string& path) { return files.read_file(path).value_or("<missing>"); }
};

TEST_F(ShortcutRoundTrip, ApplyThenRestoreGivesBackEveryByte) {
  std::vector<std::string> paths{
      make_link(desktops[0], "记事本.lnk", "C:\\windows\\notepad.exe"),
      make_url(desktops[0], "新闻.URL"),
      make_link(desktops[1], "Shared Tool.LNK", "C:\\windows\\regedit.exe"),
      make_url(desktops[1], "Site.url"),
  };
  std::map<std::string, std::string> before;
  for (const auto& p : paths) before[p] = bytes(p);

  const auto outcome = apply_skin(sys, desktops, data_dir);
  ASSERT_TRUE(outcome) << outcome.error();
  EXPECT_FALSE(outcome->needs_attention) << outcome->text;

  const std::string icon = join_path(data_dir, "brambun.ico");
  for (const auto& p : paths) {
    EXPECT_NE(bytes(p), before[p]) << p;
    if (has_extension(p, "lnk")) {
      const auto link = shell.read_link(p);
      ASSERT_TRUE(link) << p;
      EXPECT_TRUE(equals_ignoring_ascii_case(link->icon_path, icon)) << link->icon_path;
      EXPECT_EQ(link->icon_index, 0);
      EXPECT_EQ(link->arguments, "--start \"x y\"");
    } else {
      EXPECT_NE(bytes(p).find("URL=https://example.com/页面"), std::string::npos);
      EXPECT_NE(bytes(p).find("IconIndex=0"), std::string::npos);
    }
  }

  const auto journal = parse_backup_journal(bytes(join_path(data_dir, "backup.json")));
  ASSERT_TRUE(journal) << journal.error();
  // Other shortcuts may lie on the prefix's desktops; ours must all be journalled.
  for (const auto& p : paths) {
    const auto record = std::ranges::find(*journal, p, &Record::path);
    ASSERT_NE(record, journal->end()) << p;
    EXPECT_EQ(record->original_hash, *sha256_hex(before[p]));
    EXPECT_EQ(record->applied_hash, *sha256_hex(bytes(p)));
    EXPECT_EQ(bytes(record->backup), before[p]);
    EXPECT_FALSE(record->replacement_path.has_value());
  }

  const auto section = restore_shortcuts(sys, desktops, data_dir);
  ASSERT_TRUE(section) << section.error();
  EXPECT_TRUE(section->text.starts_with("已还原 ")) << section->text;
  EXPECT_FALSE(section->left_undone) << section->text;
  for (const auto& p : paths) EXPECT_EQ(bytes(p), before[p]) << p;
  EXPECT_FALSE(files.metadata(join_path(data_dir, "backup.json")).has_value());
}

TEST_F(ShortcutRoundTrip, AShortcutChangedAfterApplyIsNeverOverwritten) {
  const std::string link = make_link(desktops[0], "改过的.lnk", "C:\\windows\\notepad.exe");
  ASSERT_TRUE(apply_skin(sys, desktops, data_dir));

  const NewLink users_version{"C:\\windows\\regedit.exe", std::nullopt, std::nullopt,
                              "C:\\windows\\system32\\shell32.dll", 3};
  ASSERT_TRUE(shell.create_link(link, users_version));
  const std::string users_bytes = bytes(link);

  const auto section = restore_shortcuts(sys, desktops, data_dir);
  ASSERT_TRUE(section) << section.error();
  EXPECT_NE(section->text.find(link + "：快捷方式发生变化"), std::string::npos) << section->text;
  EXPECT_EQ(bytes(link), users_bytes);
  const auto journal = parse_backup_journal(bytes(join_path(data_dir, "backup.json")));
  ASSERT_TRUE(journal) << journal.error();
  EXPECT_NE(std::ranges::find(*journal, link, &Record::path), journal->end());
}

}  // namespace
}  // namespace mossglow
