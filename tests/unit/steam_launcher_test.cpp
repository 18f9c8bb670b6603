#include <gtest/gtest.h>

#include <variant>

#include "steam/launcher.hpp"
#include "steam_fixture.hpp"
#include "support/text_bytes.hpp"

namespace mossglow {
namespace {

using namespace testing_support;

constexpr std::string_view unrecognised = "无法识别 Steam 启动命令";
constexpr std::string_view not_steam = "Steam 启动程序不存在或不是 steam.exe，已保留原快捷方式";

std::vector<std::uint8_t> utf16le(std::u16string_view text, int trailing_nuls) {
  auto bytes = testing_support::utf16le(text);
  bytes.insert(bytes.end(), 2 * trailing_nuls, 0);
  return bytes;
}

class SteamLauncher : public ::testing::Test {
 protected:
  fake::FakeWindows w;

  void SetUp() override {
    for (const char* folder : {"D:\\Games", "D:\\Games\\Steam", "D:\\Steam", "D:\\Steam Dir",
                               "D:\\Steam Dir\\steam.exe", "C:\\work"}) {
      w.files.add_directory(folder);
    }
    w.files.add_file("D:\\Games\\Steam\\steam.exe", "MZ");
    w.files.add_file("D:\\Steam\\steam.exe", "MZ");
    w.files.add_file("D:\\Steam\\steam2.exe", "MZ");
    w.files.add_file("C:\\work\\Steam.exe", "MZ");
  }

  void put_command(std::uint32_t type, std::vector<std::uint8_t> bytes) {
    w.registry.put_value(RegistryRoot::classes_root, steam_command_key, "",
                         fake::StoredValue{type, std::move(bytes)});
  }
};

TEST_F(SteamLauncher, TakesTheProgramOfTheRegisteredCommand) {
  struct Row {
    const char* name;
    std::uint32_t type;
    std::vector<std::uint8_t> bytes;
    std::variant<std::string, std::string_view> want;  // launcher, or error text
  };
  const Row rows[] = {
      {"quoted, as Steam registers it", reg_sz,
       utf16le(u"\"D:\\Games\\Steam\\steam.exe\" -- \"%1\"", 1),
       std::string("D:\\Games\\Steam\\steam.exe")},
      {"unquoted, name in upper case", reg_sz, utf16le(u"D:\\Steam\\STEAM.EXE -silent \"%1\"", 1),
       std::string("D:\\Steam\\STEAM.EXE")},
      {"no terminating NUL", reg_sz, utf16le(u"D:\\Steam\\steam.exe", 0),
       std::string("D:\\Steam\\steam.exe")},
      {"several NULs and an odd byte", reg_sz,
       [] {
         auto b = utf16le(u"D:\\Steam\\steam.exe", 3);
         b.push_back(0);
         return b;
       }(),
       std::string("D:\\Steam\\steam.exe")},
      {"multi-string: strings joined by LF", reg_multi_sz,
       utf16le(std::u16string(u"D:\\Steam\\steam.exe\0-silent", 26), 2),
       std::string("D:\\Steam\\steam.exe")},
      {"Unicode white space around and after the program", reg_sz,
       utf16le(u"\u3000 D:\\Steam\\steam.exe\u2003\"%1\"\u00A0", 1),
       std::string("D:\\Steam\\steam.exe")},
      {"relative to the current folder", reg_sz, utf16le(u"Steam.exe \"%1\"", 1),
       std::string("Steam.exe")},
      {"expandable text is not expanded", reg_expand_sz,
       utf16le(u"%SteamDir%\\steam.exe \"%1\"", 1), not_steam},
      {"opening quote never closed", reg_sz, utf16le(u"\"D:\\Steam\\steam.exe -- %1", 1),
       unrecognised},
      {"only spaces", reg_sz, utf16le(u"   ", 1), unrecognised},
      {"empty", reg_sz, {}, unrecognised},
      {"a directory named steam.exe", reg_sz, utf16le(u"\"D:\\Steam Dir\\steam.exe\" \"%1\"", 1),
       not_steam},
      {"a quoted folder with spaces", reg_sz, utf16le(u"\"D:\\Steam Dir\" \"%1\"", 1), not_steam},
      {"another program", reg_sz, utf16le(u"D:\\Steam\\steam2.exe \"%1\"", 1), not_steam},
      {"missing file", reg_sz, utf16le(u"E:\\Steam\\steam.exe", 1), not_steam},
      {"empty quotes", reg_sz, utf16le(u"\"\" steam.exe", 1), not_steam},
      {"a trailing . names the file itself", reg_sz, utf16le(u"D:\\Steam\\steam.exe\\.", 1),
       std::string("D:\\Steam\\steam.exe\\.")},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    put_command(row.type, row.bytes);
    const auto launcher = find_steam_launcher(w.system());
    if (const auto* path = std::get_if<std::string>(&row.want)) {
      ASSERT_TRUE(launcher) << launcher.error();
      EXPECT_EQ(*launcher, *path);
    } else {
      ASSERT_FALSE(launcher) << *launcher;
      EXPECT_EQ(launcher.error(), std::get<std::string_view>(row.want));
    }
    EXPECT_EQ(w.registry.open_keys(), 0u) << "the key is closed on every path";
  }
}

TEST_F(SteamLauncher, RegistryFailuresGiveTheirOsTexts) {
  const System sys = w.system();
  auto launcher = find_steam_launcher(sys);
  ASSERT_FALSE(launcher);
  EXPECT_EQ(launcher.error(),
            "无法读取 Steam 启动命令：The system cannot find the file specified. (os error 2)");

  w.registry.add_key(RegistryRoot::classes_root, steam_command_key);
  launcher = find_steam_launcher(sys);
  ASSERT_FALSE(launcher);
  EXPECT_EQ(launcher.error(), "The system cannot find the file specified. (os error 2)")
      << "a missing value has no prefix";

  put_command(reg_dword, {1, 0, 0, 0});
  launcher = find_steam_launcher(sys);
  ASSERT_FALSE(launcher);
  EXPECT_EQ(launcher.error(), sys.os_text(Win32Error{222}));

  put_command(reg_sz, utf16le(u"D:\\Steam\\steam.exe", 1));
  w.faults.fail_on_path(fake::Op::open_key, steam_command_key, 5);
  launcher = find_steam_launcher(sys);
  ASSERT_FALSE(launcher);
  EXPECT_EQ(launcher.error(), "无法读取 Steam 启动命令：Access is denied. (os error 5)");
  EXPECT_EQ(w.registry.open_keys(), 0u);
}

TEST(SteamCommand, TheProgramIsTheQuotedPathOrTheFirstWord) {
  EXPECT_EQ(command_program("\"C:\\a b\\steam.exe\"-- x"), "C:\\a b\\steam.exe");
  EXPECT_EQ(command_program("C:\\a\\steam.exe\t-- x"), "C:\\a\\steam.exe");
  EXPECT_EQ(command_program("C:\\游戏\\steam.exe\u2028x"), "C:\\游戏\\steam.exe");
  EXPECT_EQ(command_program("C:\\a\\steam.exe"), "C:\\a\\steam.exe");
  EXPECT_EQ(command_program("\""), std::unexpected(std::string(unrecognised)));
  EXPECT_EQ(command_program("\u3000"), std::unexpected(std::string(unrecognised)));
}

}  // namespace
}  // namespace mossglow
