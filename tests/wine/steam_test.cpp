// Steam game shortcut conversion and restore against real Win32 under Wine. Scratch
// folders stand in for the desktops and the data directory, and a scratch file named
// steam.exe is registered for steam: addresses in the user's classes (which
// HKEY_CLASSES_ROOT shows on Windows; see register_command for Wine); both are removed
// afterwards. Runs only in a disposable prefix.
#include <windows.h>
// windows.h first: objbase.h needs its types.
#include <gtest/gtest.h>
#include <objbase.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "embedded_icon.hpp"
#include "platform/path.hpp"
#include "platform/system_win32.hpp"
#include "platform/text.hpp"
#include "shortcuts/restore.hpp"
#include "shortcuts/skin_shortcuts.hpp"
#include "state/backup_journal.hpp"
#include "state/content_hash.hpp"
#include "steam/launcher.hpp"
#include "support/scratch_win32.hpp"

namespace mossglow {
namespace {

using testing_support::remove_tree;
using testing_support::wide;

// The text as UTF-16LE with its byte-order mark, as Notepad saves "Unicode".
std::string utf16_file(std::u16string_view text) {
  std::string bytes = "\xFF\xFE";
  for (const char16_t unit : text) {
    bytes += static_cast<char>(unit & 0xFF);
    bytes += static_cast<char>(unit >> 8);
  }
  return bytes;
}

class SteamUnderWine : public ::testing::Test, protected Win32System {
 protected:
  std::string root;
  DesktopFolders desktops;
  std::string data_dir;
  std::string steam_exe;
  bool registered_in_user_classes = false;
  bool registered_in_classes_root = false;

  void SetUp() override {
    if (std::getenv("MOSSGLOW_DISPOSABLE_PREFIX") == nullptr) {
      GTEST_SKIP() << "runs only in a disposable Wine prefix";
    }
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    wchar_t temp[MAX_PATH + 1] = {};
    ASSERT_GT(GetTempPathW(MAX_PATH + 1, temp), 0u);
    root = join_path(to_wtf8(std::u16string_view(reinterpret_cast<const char16_t*>(temp))),
                     "mossglow-steam-" + std::to_string(GetCurrentProcessId()) + "-" +
                         std::to_string(GetTickCount64()));
    desktops = {join_path(root, "用户桌面"), join_path(root, "Public Desktop")};
    data_dir = join_path(root, "MossglowHome");
    for (const auto& desktop : desktops) ASSERT_TRUE(files.create_directories(desktop));
    ASSERT_TRUE(files.create_directories(join_path(data_dir, "originals")));
    ASSERT_TRUE(files.write_file(join_path(data_dir, "brambun.ico"), embedded_icon_bytes(), false));

    const std::string steam_folder = join_path(root, "Steam Client");
    ASSERT_TRUE(files.create_directories(steam_folder));
    steam_exe = join_path(steam_folder, "steam.exe");
    ASSERT_TRUE(files.write_file(steam_exe, "not really Steam", false));
    register_command("\"" + steam_exe + "\" -- \"%1\"");
  }

  void TearDown() override {
    if (registered_in_user_classes) RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Classes\\steam");
    if (registered_in_classes_root) RegDeleteTreeW(HKEY_CLASSES_ROOT, L"steam");
    if (!root.empty()) remove_tree(wide(root));
  }

  // Windows shows the user's classes through HKEY_CLASSES_ROOT; Wine 8 does not merge
  // them, so there the command goes to HKEY_CLASSES_ROOT itself (which lands in the
  // machine's classes). A steam key that was there before the test is left alone.
  void register_command(const std::string& command) {
    write_command(RegistryRoot::current_user, "Software\\Classes\\steam", command);
    registered_in_user_classes = true;
    if (registered_in_classes_root || !visible_through_classes_root(command)) {
      if (!registered_in_classes_root) {
        HKEY existing = nullptr;
        if (RegOpenKeyExW(HKEY_CLASSES_ROOT, L"steam", 0, KEY_READ, &existing) == ERROR_SUCCESS) {
          RegCloseKey(existing);
          GTEST_SKIP() << "HKEY_CLASSES_ROOT\\steam exists already";
        }
      }
      write_command(RegistryRoot::classes_root, "steam", command);
      registered_in_classes_root = true;
    }
  }

  void write_command(RegistryRoot root_key, const std::string& steam_key,
                     const std::string& command) {
    auto key = registry.create_key(root_key, steam_key + "\\shell\\open\\command", key_write);
    ASSERT_TRUE(key) << key.error().code;
    const std::u16string text = to_utf16(command);
    std::vector<std::uint8_t> bytes;
    for (const char16_t unit : text) {
      bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
      bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
    bytes.insert(bytes.end(), {0, 0});
    ASSERT_TRUE(registry.set_value(*key, "", reg_sz, bytes));
  }

  bool visible_through_classes_root(const std::string& command) {
    std::vector<wchar_t> value(4096);
    DWORD size = static_cast<DWORD>(value.size() * sizeof(wchar_t));
    const LSTATUS status = RegGetValueW(HKEY_CLASSES_ROOT, L"steam\\shell\\open\\command", nullptr,
                                        RRF_RT_REG_SZ, nullptr, value.data(), &size);
    return status == ERROR_SUCCESS &&
           to_wtf8(reinterpret_cast<const char16_t*>(value.data())) == command;
  }

  std::string bytes(const std::string& path) { return files.read_file(path).value_or("<missing>"); }
  bool exists(const std::string& path) { return files.metadata(path).has_value(); }

  std::optional<DesktopListing> listing;
  SkinRun run() {
    listing = *DesktopListing::read(sys, desktops);
    return SkinRun{sys,
                   desktops,
                   *listing,
                   data_dir,
                   join_path(data_dir, "originals"),
                   join_path(data_dir, "brambun.ico"),
                   {},
                   {},
                   {},
                   {},
                   0};
  }
};

TEST_F(SteamUnderWine, TheRegisteredLauncherIsFound) {
  const auto launcher = find_steam_launcher(sys);
  ASSERT_TRUE(launcher) << launcher.error();
  EXPECT_EQ(*launcher, steam_exe);
}

TEST_F(SteamUnderWine, GameShortcutsBecomeLinksToSteamAndComeBackByteForByte) {
  const std::string game = join_path(desktops[0], "Dota 2.url");
  const std::string game_bytes =
      "[{000214A0-0000-0000-C000-000000000046}]\r\nProp3=19,0\r\n[InternetShortcut]\r\n"
      "IDList=\r\nIconIndex=0\r\nURL=steam://rungameid/570\r\nIconFile=C:\\x\\dota.ico\r\n";
  ASSERT_TRUE(files.write_file(game, game_bytes, false));
  const std::string other = join_path(desktops[1], "传送门.URL");
  const std::string other_bytes = utf16_file(u"[InternetShortcut]\r\nURL=steam://run/400\r\n");
  ASSERT_TRUE(files.write_file(other, other_bytes, false));

  SkinRun skin = run();
  skin_shortcuts(skin, {game, other});
  ASSERT_TRUE(skin.failure_lines.empty()) << skin.failure_lines.front();
  EXPECT_EQ(skin.updated, 2);

  const std::string icon = join_path(data_dir, "brambun.ico");
  const struct {
    std::string url, link, arguments;
  } expected[] = {{game, join_path(desktops[0], "Dota 2.lnk"), "-- \"steam://rungameid/570\""},
                  {other, join_path(desktops[1], "传送门.lnk"), "-- \"steam://run/400\""}};
  for (const auto& e : expected) {
    SCOPED_TRACE(e.url);
    EXPECT_FALSE(exists(e.url));
    const auto link = shell.read_link(e.link);
    ASSERT_TRUE(link) << windows_error_text(messages, link.error());
    EXPECT_TRUE(equals_ignoring_ascii_case(link->target, steam_exe)) << link->target;
    EXPECT_EQ(link->arguments, e.arguments);
    EXPECT_TRUE(equals_ignoring_ascii_case(link->working_directory, parent_path(steam_exe)))
        << link->working_directory;
    EXPECT_TRUE(equals_ignoring_ascii_case(link->icon_path, icon)) << link->icon_path;
    EXPECT_EQ(link->icon_index, 0);
  }

  const auto journal = parse_backup_journal(bytes(join_path(data_dir, "backup.json")));
  ASSERT_TRUE(journal) << journal.error();
  ASSERT_EQ(journal->size(), 2u);
  for (std::size_t i = 0; i < 2; ++i) {
    const Record& r = (*journal)[i];
    EXPECT_EQ(r.path, expected[i].url);
    EXPECT_EQ(r.replacement_path, expected[i].link);
    EXPECT_EQ(r.replacement_hash, content_hash(sys, expected[i].link).value_or("unreadable"));
    EXPECT_EQ(
        r.replacement_hash,
        content_hash(sys, join_path(data_dir, "originals\\" + std::to_string(i) + ".skin.lnk"))
            .value_or("unreadable"));
    EXPECT_FALSE(r.applied_hash.has_value());
  }

  const auto section = restore_shortcuts(sys, desktops, data_dir);
  ASSERT_TRUE(section) << section.error();
  EXPECT_EQ(section->text, "已还原 2 个，跳过 0 个。");
  EXPECT_EQ(bytes(game), game_bytes);
  EXPECT_EQ(bytes(other), other_bytes);
  for (const auto& e : expected) EXPECT_FALSE(exists(e.link)) << e.link;
  EXPECT_FALSE(exists(join_path(data_dir, "backup.json")));
}

TEST_F(SteamUnderWine, ALauncherThatIsNotSteamLeavesTheShortcutAlone) {
  const std::string other_exe = join_path(root, "Steam Client\\launcher.exe");
  ASSERT_TRUE(files.write_file(other_exe, "not Steam either", false));
  register_command("\"" + other_exe + "\" \"%1\"");
  const std::string game = join_path(desktops[0], "Game.url");
  const std::string game_bytes = "[InternetShortcut]\r\nURL=steam://rungameid/10\r\n";
  ASSERT_TRUE(files.write_file(game, game_bytes, false));

  SkinRun skin = run();
  skin_shortcuts(skin, {game});
  ASSERT_EQ(skin.failure_lines.size(), 1u);
  EXPECT_EQ(skin.failure_lines[0],
            game + "：Steam 启动程序不存在或不是 steam.exe，已保留原快捷方式");
  EXPECT_EQ(bytes(game), game_bytes);
  EXPECT_FALSE(exists(join_path(desktops[0], "Game.lnk")));
}

}  // namespace
}  // namespace mossglow
