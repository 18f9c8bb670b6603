#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "operations/apply.hpp"
#include "state/backup_journal.hpp"
#include "state/content_hash.hpp"
#include "steam/conversion.hpp"
#include "steam_fixture.hpp"

namespace mossglow {
namespace {

using namespace testing_support;
using fake::Op;
using N = fake::FakeShell::Notification;

constexpr std::string_view game_address = "steam://rungameid/10";

class SteamConversion : public ::testing::Test {
 protected:
  fake::FakeWindows w;

  void SetUp() override { install_steam(w); }

  OperationOutcome apply() { return apply_skin(w.system(), both_desktops(), data_dir); }
  std::optional<Record> record_of(std::string_view path) {
    const auto records = backup_records(w);
    const auto it = std::ranges::find(records, path, &Record::path);
    if (it == records.end()) return std::nullopt;
    return *it;
  }
  std::string last_operation() {
    return w.files.content(in_data("last-operation.txt")).value_or("");
  }
};

TEST_F(SteamConversion, AGameShortcutBecomesALinkToSteamWithTheMascotIcon) {
  const std::string url = url_to(game_address);
  // A read-only .url has the bit cleared to be deleted; the record keeps it.
  w.files.add_file(on_user("Game.url"), url, file_attribute_readonly | file_attribute_archive);

  const auto outcome = apply();
  ASSERT_TRUE(outcome) << outcome.error();
  EXPECT_TRUE(outcome->text.starts_with("已更新快捷方式 1 个，失败 0 个。\n备份："))
      << outcome->text;
  EXPECT_FALSE(outcome->needs_attention) << outcome->text;

  EXPECT_FALSE(w.files.exists(on_user("Game.url")));
  const auto link = w.shell.read_link(on_user("Game.lnk"));
  ASSERT_TRUE(link);
  EXPECT_EQ(link->target, steam_exe);
  EXPECT_EQ(link->arguments, "-- \"steam://rungameid/10\"");
  EXPECT_EQ(link->working_directory, steam_folder);
  EXPECT_EQ(link->icon_path, icon_path);
  EXPECT_EQ(link->icon_index, 0);
  EXPECT_EQ(w.files.content(original_copy("0.url")), url);
  EXPECT_EQ(w.files.content(original_copy("0.skin.lnk")), w.files.content(on_user("Game.lnk")));

  const std::string link_hash = *sha256_hex(steam_link_bytes(game_address));
  EXPECT_EQ(backup_records(w),
            (std::vector<Record>{{on_user("Game.url"), original_copy("0.url"), *sha256_hex(url),
                                  std::nullopt, on_user("Game.lnk"), link_hash,
                                  file_attribute_readonly | file_attribute_archive, true}}));
}

// Only Steam game addresses, in any letter case, are converted, each shortcut of one
// game to a link of its own; a web shortcut, a Steam store page included, is re-iconed.
TEST_F(SteamConversion, OnlySteamGameShortcutsAreConvertedEachToItsOwnLink) {
  w.files.add_file(on_user("Dota.url"), url_to("steam://rungameid/570"));
  w.files.add_file(on_public("Dota 2.URL"), url_to("steam://rungameid/570"));
  w.files.add_file(on_user("Store.url"), url_to("https://store.steampowered.com/"));
  w.files.add_file(on_user("Game.url"), url_to("STEAM://Run/440"));
  w.files.add_file(on_user("Tool.lnk"), link_to("C:\\tool.exe"));
  const auto outcome = apply();
  ASSERT_TRUE(outcome) << outcome.error();
  EXPECT_TRUE(outcome->text.starts_with("已更新快捷方式 5 个，失败 0 个。")) << outcome->text;
  EXPECT_EQ(w.files.content(on_user("Dota.lnk")), steam_link_bytes("steam://rungameid/570"));
  EXPECT_EQ(w.files.content(on_public("Dota 2.lnk")), steam_link_bytes("steam://rungameid/570"));
  EXPECT_FALSE(w.files.exists(on_user("Dota.url")));
  EXPECT_FALSE(w.files.exists(on_public("Dota 2.URL")));
  EXPECT_EQ(record_of(on_public("Dota 2.URL"))->replacement_path, on_public("Dota 2.lnk"));
  EXPECT_EQ(w.shell.read_link(on_user("Game.lnk"))->arguments, "-- \"STEAM://Run/440\"");
  EXPECT_NE(w.files.content(on_user("Store.url"))->find("IconFile="), std::string::npos);
  EXPECT_FALSE(w.files.exists(on_user("Store.lnk")));
  const auto store = record_of(on_user("Store.url"));
  ASSERT_TRUE(store);
  EXPECT_TRUE(store->applied_hash.has_value());
  EXPECT_FALSE(store->replacement_path.has_value());
}

// The link's name is taken on the user's or the public desktop: the .url is left alone
// and nothing but its backup copy is made for it. The clashing link is an ordinary
// shortcut and is skinned as usual.
TEST_F(SteamConversion, ANameTakenOnEitherDesktopKeepsTheUrl) {
  struct Row {
    const char* name;
    std::string url_path;
    std::string taken;
  };
  const Row rows[] = {
      {"beside it", on_user("Game.url"), on_user("Game.lnk")},
      {"on the public desktop", on_user("Game.url"), on_public("Game.lnk")},
      {"on the user's desktop", on_public("Game.url"), on_user("GAME.lnk")},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    fake::FakeWindows fw;
    install_steam(fw);
    const std::string url = url_to(game_address);
    fw.files.add_file(row.url_path, url);
    fw.files.add_file(row.taken, link_to("C:\\other.exe"));

    const auto outcome = apply_skin(fw.system(), both_desktops(), data_dir);
    ASSERT_TRUE(outcome) << outcome.error();
    const std::string line =
        row.url_path + "：同名快捷方式已存在：" + with_extension(row.url_path, "lnk");
    EXPECT_EQ(fw.files.content(in_data("last-operation.txt")), "快捷方式换肤\r\n" + line);
    EXPECT_EQ(fw.files.content(row.url_path), url);
    EXPECT_EQ(fw.shell.read_link(row.taken)->target, "C:\\other.exe");
    const auto records = backup_records(fw);
    ASSERT_EQ(records.size(), 1u) << "only the clashing link is journalled";
    EXPECT_EQ(records[0].path, row.taken);
    for (const auto& file : fw.files.tree(join_path(data_dir, "originals"))) {
      EXPECT_FALSE(file.ends_with(".skin.lnk")) << file;
    }
  }
}

// A conversion failing at each of its steps: the failure line, how far the journal on
// disk got (no record at all while nothing on the desktop changed), and which files
// exist. The .url itself is never deleted.
TEST_F(SteamConversion, EachFailureKeepsTheUrlAndJournalsHowFarItGot) {
  const std::string url_path = on_user("Game.url");
  const std::string link_path = on_user("Game.lnk");
  const std::string staging = original_copy("0.skin.lnk");
  const std::string url = url_to(game_address);
  enum class Journal { none, replacement };
  struct Case {
    const char* name;
    std::function<void(fake::FakeWindows&)> arrange;
    std::string reason;
    Journal journal;
    bool staging_exists;
    bool link_exists;
  };
  const auto nth_call_fails = [](Op op, std::string path, int nth, std::uint32_t code) {
    return [=](fake::FakeWindows& fw) { fw.faults.fail_nth(op, nth, code, path); };
  };
  // Changes a file on disk right after the desktop link has been written.
  const auto after_link_copy_rewrite = [&](std::string path, std::string bytes) {
    return [=](fake::FakeWindows& fw) {
      fw.faults.after(Op::create_new_file, link_path,
                      [&fw, path, bytes] { fw.files.add_file(path, bytes); });
    };
  };
  const std::string read_back = "Windows 未能回读Brambun图标，已保留原快捷方式";
  const Case cases[] = {
      {"invalid address",
       [&](auto& fw) { fw.files.add_file(url_path, url_to("steam://run/1\"x")); },
       "Steam 游戏地址包含无效字符，已保留原快捷方式", Journal::none, false, false},
      {"Steam not installed",
       [](auto& fw) { fw.registry.remove_key(RegistryRoot::classes_root, "steam"); },
       "无法读取 Steam 启动命令：The system cannot find the file specified. (os error 2)",
       Journal::none, false, false},
      {"steam.exe missing", [](auto& fw) { (void)fw.files.delete_file(steam_exe); },
       "Steam 启动程序不存在或不是 steam.exe，已保留原快捷方式", Journal::none, false, false},
      {"link object fails",
       [](auto& fw) { fw.faults.fail_nth(Op::new_link_bytes, 1, 0x80070005u); },
       "Access is denied. (0x80070005)", Journal::none, false, false},
      {"staging link not read back",
       [&](auto& fw) { fw.shell.override_icon_location(staging, std::nullopt); }, read_back,
       Journal::none, true, false},
      {"staging link cannot be kept", nth_call_fails(Op::create_new_file, staging, 1, 112),
       "There is not enough space on the disk. (os error 112)", Journal::none, false, false},
      {"second journal save", nth_call_fails(Op::write_file, in_data("backup.tmp"), 2, 112),
       "There is not enough space on the disk. (os error 112)", Journal::none, true, false},
      // The link is created under its own name, only where that name is free.
      {"desktop link name taken meanwhile", nth_call_fails(Op::create_new_file, link_path, 1, 80),
       "The file exists. (os error 80)", Journal::none, true, false},
      {"desktop link not read back",
       [&](auto& fw) {
         fw.shell.override_icon_location(link_path, IconLocation{std::string(icon_path), 1});
       },
       read_back, Journal::replacement, true, true},
      {"url unreadable before deletion", nth_call_fails(Op::read_file, url_path, 3, 5),
       "Access is denied. (os error 5)", Journal::replacement, true, true},
      {"url changed during the conversion",
       after_link_copy_rewrite(url_path, url_to("steam://rungameid/20")),
       "原快捷方式在换肤过程中发生变化，已保留原文件", Journal::replacement, true, true},
      {"desktop link changed after the copy",
       after_link_copy_rewrite(link_path, fake::FakeShell::link_bytes(LinkInfo{
                                              "C:\\x.exe", "", "", std::string(icon_path), 0})),
       "生成的快捷方式校验失败，已保留原文件", Journal::replacement, true, true},
      {"url cannot be deleted", nth_call_fails(Op::delete_file, url_path, 1, 5),
       "Access is denied. (os error 5)", Journal::replacement, true, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fake::FakeWindows fw;
    install_steam(fw);
    fw.files.add_file(url_path, url);
    c.arrange(fw);
    const auto url_before = fw.files.content(url_path).value_or("");

    const auto outcome = apply_skin(fw.system(), both_desktops(), data_dir);
    ASSERT_TRUE(outcome) << outcome.error();
    EXPECT_TRUE(outcome->text.starts_with("已更新快捷方式 0 个，失败 1 个。")) << outcome->text;
    EXPECT_TRUE(outcome->needs_attention);
    EXPECT_EQ(fw.files.content(in_data("last-operation.txt")),
              "快捷方式换肤\r\n" + url_path + "：" + c.reason);

    EXPECT_TRUE(fw.files.exists(url_path));
    if (std::string_view(c.name) != "url changed during the conversion") {
      EXPECT_EQ(fw.files.content(url_path), url_before);
    }
    EXPECT_EQ(fw.files.exists(staging), c.staging_exists);
    EXPECT_EQ(fw.files.exists(link_path), c.link_exists);
    // Nothing else ever appears on the desktop.
    EXPECT_EQ(fw.files.tree(fake::user_desktop).size(), c.link_exists ? 2u : 1u);

    const auto bytes = fw.files.content(in_data("backup.json"));
    if (c.journal == Journal::none) {
      EXPECT_FALSE(bytes.has_value());
      continue;
    }
    ASSERT_TRUE(bytes.has_value());
    const auto records = parse_backup_journal(*bytes);
    ASSERT_TRUE(records) << records.error();
    ASSERT_EQ(records->size(), 1u);
    const Record& r = (*records)[0];
    EXPECT_EQ(r.path, url_path);
    EXPECT_EQ(r.original_hash, *sha256_hex(url_before));
    EXPECT_FALSE(r.applied_hash.has_value());
    EXPECT_EQ(r.replacement_path, link_path);
    EXPECT_EQ(r.replacement_hash, *sha256_hex(fw.files.content(staging).value_or("")));
    EXPECT_FALSE(r.complete);
  }
}

TEST(SteamLink, StartsInTheLaunchersFolder) {
  EXPECT_EQ(steam_link_arguments("steam://rungameid/570"), "-- \"steam://rungameid/570\"");
  EXPECT_EQ(launcher_folder("D:\\Steam\\steam.exe"), "D:\\Steam");
  EXPECT_EQ(launcher_folder("D:/Games/Steam/steam.exe"), "D:/Games/Steam");
  EXPECT_EQ(launcher_folder("steam.exe"), "");
  // A root keeps its separator: "C:" alone would be drive C's current folder.
  EXPECT_EQ(launcher_folder("C:\\steam.exe"), "C:\\");
  EXPECT_EQ(launcher_folder("\\steam.exe"), "\\");
  EXPECT_EQ(launcher_folder("\\\\server\\share\\steam.exe"), "\\\\server\\share");
  // Drive-relative: the folder is drive D's current one, not the process's.
  EXPECT_EQ(launcher_folder("D:steam.exe"), "D:");
  EXPECT_EQ(launcher_folder("D:\\Steam\\\\steam.exe"), "D:\\Steam");
  EXPECT_EQ(launcher_folder("D:\\Steam\\.\\steam.exe"), "D:\\Steam");
  EXPECT_EQ(launcher_folder(".\\steam.exe"), ".");
}

}  // namespace
}  // namespace mossglow
