// The shell layer against Windows: shell links made and read in memory through the shell
// link object, internet shortcut icon keys, and the icon location the shell reports.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "contract_platform.hpp"
#include "platform/path.hpp"
#include "support/link_files.hpp"
#ifdef _WIN32
#include "support/scratch_win32.hpp"
#endif

namespace mossglow {
namespace {

using namespace std::string_view_literals;
using testing_support::write_link;

constexpr std::string_view icon = "C:\\Users\\测试用户\\AppData\\Local\\MossglowHome\\brambun.ico";
// Profile files without a byte-order mark are in the ANSI code page, so the icon path
// written into them stays ASCII here.
constexpr std::string_view ascii_icon = "C:\\Users\\u\\AppData\\Local\\MossglowHome\\brambun.ico";

constexpr HResult path_not_found = hresult_from_win32(error_path_not_found);
constexpr HResult access_denied = hresult_from_win32(error_access_denied);

class ShellContract : public testing::Test {
 protected:
  std::unique_ptr<contract::ContractPlatform> platform = contract::make_contract_platform();
  System sys = platform->system();
  std::string dir = platform->make_scratch_directory();

  std::string at(std::string_view name) const { return join_path(dir, name); }

  void write(const std::string& path, std::string_view bytes) {
    ASSERT_TRUE(sys.files.write_file(path, bytes, false).has_value()) << path;
  }
  std::string read(const std::string& path) {
    auto bytes = sys.files.read_file(path);
    EXPECT_TRUE(bytes.has_value()) << path;
    return bytes.value_or("");
  }
  // Whether this platform refuses to write a read-only file. Wine running as root
  // does not: the Unix permission bits it maps read-only to do not bind root.
  bool read_only_binds() {
    const std::string probe = at("只读探测.txt");
    write(probe, "x");
    EXPECT_TRUE(sys.files.set_attributes(probe, file_attribute_readonly).has_value());
    const bool binds = !sys.files.write_file(probe, "y", false).has_value();
    EXPECT_TRUE(sys.files.set_attributes(probe, file_attribute_normal).has_value());
    return binds;
  }
};

void expect_link(const ComResult<LinkInfo>& actual, const LinkInfo& expected) {
  ASSERT_TRUE(actual.has_value()) << std::hex << actual.error().value;
  EXPECT_EQ(actual->target, expected.target);
  EXPECT_EQ(actual->arguments, expected.arguments);
  EXPECT_EQ(actual->working_directory, expected.working_directory);
  EXPECT_EQ(actual->icon_path, expected.icon_path);
  EXPECT_EQ(actual->icon_index, expected.icon_index);
}

TEST_F(ShellContract, NewLinkBytesHoldExactlyThePropertiesGiven) {
  struct Case {
    const char* name;
    NewLink link;
    LinkInfo expected;
  };
  const std::string icon_path(icon);
  const Case cases[] = {
      {"arguments and folder",
       {"D:\\Tools\\app.exe", "--mode fast \"a b\"", "D:\\Tools", icon_path, 0},
       {"D:\\Tools\\app.exe", "--mode fast \"a b\"", "D:\\Tools", icon_path, 0}},
      {"target alone",
       {"C:\\windows\\notepad.exe", std::nullopt, std::nullopt, icon_path, 0},
       {"C:\\windows\\notepad.exe", "", "", icon_path, 0}},
      {"Chinese names",
       {"D:\\游戏\\Steam\\steam.exe", "-- \"steam://rungameid/570\"", "D:\\游戏\\Steam", icon_path,
        0},
       {"D:\\游戏\\Steam\\steam.exe", "-- \"steam://rungameid/570\"", "D:\\游戏\\Steam", icon_path,
        0}},
      {"icon index",
       {"C:\\windows", std::nullopt, std::nullopt, "C:\\icons\\set.dll", 3},
       {"C:\\windows", "", "", "C:\\icons\\set.dll", 3}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto bytes = sys.shell.new_link_bytes(c.link);
    ASSERT_TRUE(bytes) << std::hex << bytes.error().value;
    expect_link(sys.shell.link_from_bytes(*bytes), c.expected);
    // Of a target that does not exist, the same properties give the same bytes every time
    // (a link of an existing one also holds what it found of it, which moves on).
    EXPECT_EQ(sys.shell.new_link_bytes(c.link).value_or(""), *bytes);
  }
}

// The icon changed in memory depends on the link's bytes and the icon alone: made again
// from the copy of an original after its target's size, times and attributes moved on,
// it is the same, which is what lets a restore prove a rewrite stopped halfway.
TEST_F(ShellContract, ChangingTheIconKeepsEverythingElseTheSameWayEveryTime) {
  const std::string target = at("app.exe");
  write(target, "MZ an old build");
  const NewLink before{target, "--level 3 \"中 文\"", dir, "C:\\old.ico", 7};
  const auto original = sys.shell.new_link_bytes(before);
  ASSERT_TRUE(original);
  const auto changed = sys.shell.link_bytes_with_icon(*original, icon);
  ASSERT_TRUE(changed) << std::hex << changed.error().value;
  expect_link(sys.shell.link_from_bytes(*changed),
              {before.target, *before.arguments, *before.working_directory, std::string(icon), 0});
  write(target, "MZ a newer and longer build of the program");
  (void)read(target);
  ASSERT_TRUE(sys.files.set_attributes(target, file_attribute_hidden).has_value());
  EXPECT_EQ(sys.shell.link_bytes_with_icon(*original, icon).value_or(""), *changed);
  // Bytes that are no shell link are refused, whatever is asked of them.
  for (const std::string_view not_a_link : {"not a shell link\r\n"sv, ""sv}) {
    EXPECT_FALSE(sys.shell.link_bytes_with_icon(not_a_link, icon));
    EXPECT_FALSE(sys.shell.link_from_bytes(not_a_link));
  }
}

// A link holds its target's path in MAX_PATH characters: a longer one does not read back
// as it was given (cut short, or junk under Wine), which is why every link is read back
// before the item it leads to is hidden.
TEST_F(ShellContract, ALinkDoesNotHoldATargetOfMaxPathOrMore) {
  for (const std::size_t length : {std::size_t{259}, std::size_t{260}, std::size_t{300}}) {
    SCOPED_TRACE(length);
    const std::string target = "C:\\" + std::string(length - 3, 'x');
    const auto bytes =
        sys.shell.new_link_bytes({target, std::nullopt, std::nullopt, "C:\\i.ico", 0});
    const auto held = bytes ? sys.shell.link_from_bytes(*bytes) : std::unexpected(bytes.error());
    EXPECT_EQ(held && held->target == target, length < 260) << (held ? held->target : "");
  }
}

// The whole file after set_url_icon, byte for byte: the profile writer rewrites it from
// what it parsed, so layout changes while every key keeps its value.
TEST_F(ShellContract, SetUrlIconAddsOrReplacesTheTwoIconKeysAndKeepsEveryOtherKey) {
  struct Case {
    const char* name;
    std::optional<std::string_view> before;  // none: no such file
    std::string_view icon;
    std::string_view after;
  };
  const Case cases[] = {
      {"典型.url",
       "[{000214A0-0000-0000-C000-000000000046}]\r\nProp3=19,11\r\n[InternetShortcut]\r\n"
       "IDList=\r\nURL=https://example.com/\r\nHotKey=0\r\n\r\n[Other]\r\nIconFile=keep\r\n",
       ascii_icon,
       "[{000214A0-0000-0000-C000-000000000046}]\r\nProp3=19,11\r\n[InternetShortcut]\r\n"
       "IDList=\r\nURL=https://example.com/\r\nHotKey=0\r\n"
       "IconFile=C:\\Users\\u\\AppData\\Local\\MossglowHome\\brambun.ico\r\nIconIndex=0\r\n"
       "[Other]\r\nIconFile=keep\r\n"},
      {"existing keys.url",
       "[InternetShortcut]\r\nURL=https://example.com/\r\nIconIndex=3\r\n  iconfile = old.ico \r\n"
       "WorkingDirectory=C:\\x\r\n",
       "C:\\i.ico",
       "[InternetShortcut]\r\nURL=https://example.com/\r\nIconIndex=0\r\niconfile=C:\\i.ico\r\n"
       "WorkingDirectory=C:\\x\r\n"},
      {"lf.url", "[InternetShortcut]\nURL=steam://rungameid/1\nHotKey=0\n[Other]\nA=1", "C:\\i.ico",
       "[InternetShortcut]\r\nURL=steam://rungameid/1\r\nHotKey=0\r\nIconFile=C:\\i.ico\r\n"
       "IconIndex=0\r\n[Other]\r\nA=1\r\n"},
      {"no section.url", "[Other]\r\nA=1\r\n", "C:\\i.ico",
       "[Other]\r\nA=1\r\n[InternetShortcut]\r\nIconFile=C:\\i.ico\r\nIconIndex=0\r\n"},
      {"comments.url", "; top\r\n[InternetShortcut]\r\nURL=x\r\n\r\n; note\r\n\r\n[B]\r\n",
       "C:\\i.ico",
       "; top\r\n[InternetShortcut]\r\nURL=x\r\n; note\r\nIconFile=C:\\i.ico\r\nIconIndex=0\r\n"
       "[B]\r\n"},
      {"odd lines.url",
       "\t[ InternetShortcut ] junk\rURL = \"x y\"  \t\r\r\nIconFile\r\n[B]\nk\n=v1\n=v2\n\x1a",
       "C:\\i.ico",
       "[InternetShortcut]\r\nURL=\"x y\"\r\nIconFile=C:\\i.ico\r\nIconIndex=0\r\n[B]\r\nk\r\n"
       "=v1\r\n"},
      {"two sections.url",
       "[InternetShortcut]\r\nURL=x\r\n[B]\r\n[internetshortcut]\r\nIconIndex=5\r\n", "C:\\i.ico",
       "[InternetShortcut]\r\nURL=x\r\nIconFile=C:\\i.ico\r\nIconIndex=0\r\n[B]\r\n"
       "[internetshortcut]\r\nIconIndex=5\r\n"},
      {"already set.url",
       "[InternetShortcut]\r\nURL=x\r\n\r\nIconFile=C:\\i.ico\r\nIconIndex=0\r\n\r\n[B]\r\n",
       "C:\\i.ico",
       "[InternetShortcut]\r\nURL=x\r\n\r\nIconFile=C:\\i.ico\r\nIconIndex=0\r\n\r\n[B]\r\n"},
      {"bom 中文.url", "\xEF\xBB\xBF[InternetShortcut]\r\nURL=https://例子.com/游戏\r\n", icon,
       "\xEF\xBB\xBF[InternetShortcut]\r\nURL=https://例子.com/游戏\r\n"
       "IconFile=C:\\Users\\测试用户\\AppData\\Local\\MossglowHome\\brambun.ico\r\nIconIndex="
       "0\r\n"},
      {"utf16.url", "\xFF\xFE[\0I\0]\0\r\0\n\0U\0R\0L\0=\0x\0\r\0\n\0"sv, "C:\\i",
       "\xFF\xFE[\0I\0]\0\r\0\n\0U\0R\0L\0=\0x\0\r\0\n\0"
       "[\0I\0n\0t\0e\0r\0n\0e\0t\0S\0h\0o\0r\0t\0c\0u\0t\0]\0\r\0\n\0"
       "I\0c\0o\0n\0F\0i\0l\0e\0=\0C\0:\0\\\0i\0\r\0\n\0"
       "I\0c\0o\0n\0I\0n\0d\0e\0x\0=\0\x30\0\r\0\n\0"sv},
      {"empty.url", "", "C:\\i.ico", "[InternetShortcut]\r\nIconFile=C:\\i.ico\r\nIconIndex=0\r\n"},
      // The scratch copy an internet shortcut's new keys are worked out in.
      {"scratch.url", "[InternetShortcut]\r\nURL=x\r\nIconIndex=4\r\nHotKey=0\r\n", "C:\\i.ico",
       "[InternetShortcut]\r\nURL=x\r\nIconIndex=0\r\nHotKey=0\r\nIconFile=C:\\i.ico\r\n"},
      {"新建.url", std::nullopt, "C:\\i.ico",
       "[InternetShortcut]\r\nIconFile=C:\\i.ico\r\nIconIndex=0\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = at(c.name);
    if (c.before) write(path, *c.before);
    const auto result = sys.shell.set_url_icon(path, c.icon);
    ASSERT_TRUE(result.has_value()) << std::hex << result.error().value;
    EXPECT_EQ(read(path), c.after);
  }
}

TEST_F(ShellContract, WritingIntoAMissingFolderFails) {
  const std::string folder = at("没有这个目录");
  const auto url = sys.shell.set_url_icon(join_path(folder, "x.url"), icon);
  ASSERT_FALSE(url.has_value());
  EXPECT_EQ(url.error(), path_not_found);
  EXPECT_FALSE(path_exists(sys.files, folder));
}

TEST_F(ShellContract, SettingAnIconOnAReadOnlyFileFailsAndChangesNothing) {
  if (!read_only_binds()) GTEST_SKIP() << "read-only files are writable here (Wine as root)";
  write(at("只读.url"), "[InternetShortcut]\r\nURL=https://example.com/\r\n");
  write(at("set.url"), "[InternetShortcut]\r\nURL=x\r\nIconFile=C:\\i.ico\r\nIconIndex=0\r\n");
  for (const char* name : {"只读.url", "set.url"}) {
    SCOPED_TRACE(name);
    const std::string path = at(name);
    const std::string before = read(path);
    ASSERT_TRUE(sys.files.set_attributes(path, file_attribute_readonly).has_value());
    const auto result = sys.shell.set_url_icon(path, "C:\\i.ico");
    ASSERT_FALSE(result.has_value());
    EXPECT_EQ(result.error(), access_denied);
    EXPECT_EQ(read(path), before);
    ASSERT_TRUE(sys.files.set_attributes(path, file_attribute_normal).has_value());
  }
}

// A Windows name ends at its first NUL, so a path holding one would name another file.
TEST_F(ShellContract, PathsWithANulAreRefused) {
  constexpr HResult invalid_name = hresult_from_win32(123);
  const std::string url = at("a.url");
  write(url, "[InternetShortcut]\r\nURL=x\r\n");
  const std::string nul("\0.txt", 5);
  const auto error = [](const auto& result) { return result ? HResult{0} : result.error(); };
  EXPECT_EQ(error(sys.shell.set_url_icon(url + nul, "C:\\i.ico")), invalid_name);
  EXPECT_FALSE(sys.shell.icon_location(url + nul));
  EXPECT_EQ(read(url), "[InternetShortcut]\r\nURL=x\r\n");
}

// What SHGetFileInfoW(SHGFI_ICONLOCATION) reports. A link with an icon location reports
// it, even when the icon file does not exist; the other answers are Wine's (Windows
// itself would report a link target's own icon, for one).
TEST_F(ShellContract, IconLocationReportsTheStoredIconOfALink) {
  const std::string shell32 = "C:\\windows\\system32\\SHELL32.dll";
  const std::string with_icon = at("带图标.lnk");
  const std::string other_index = at("index.lnk");
  const std::string without_icon = at("no icon.lnk");
  const std::string url = at("网址.url");
  const std::string text = at("说明.txt");
  const std::string folder = at("文件夹");
  // Written from memory with the file calls, as the program writes every link.
  ASSERT_TRUE(
      write_link(sys.files, sys.shell, with_icon, {"C:\\windows", {}, {}, std::string(icon), 0}));
  ASSERT_TRUE(
      write_link(sys.files, sys.shell, other_index, {"C:\\windows", {}, {}, "C:\\x.ico", 4}));
  ASSERT_TRUE(
      write_link(sys.files, sys.shell, without_icon, {"C:\\windows\\notepad.exe", {}, {}, "", 0}));
  write(url,
        "[InternetShortcut]\r\nURL=https://example.com/\r\nIconFile=C:\\q.ico\r\nIconIndex=3\r\n");
  write(text, "x");
  ASSERT_TRUE(sys.files.create_directories(folder).has_value());

  struct Case {
    std::string path;
    std::optional<std::pair<std::string, int>> expected;
  };
  const Case cases[] = {
      {with_icon, std::pair{std::string(icon), 0}},
      {other_index, std::pair{std::string("C:\\x.ico"), 4}},
      {without_icon, std::pair{shell32, 0}},
      {url, std::pair{std::string("url.dll"), 0}},
      {text, std::pair{shell32, 0}},
      {folder, std::pair{shell32, -4}},
      {at("missing.lnk"), std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    const auto location = sys.shell.icon_location(c.path);
    ASSERT_EQ(location.has_value(), c.expected.has_value());
    if (!location) continue;
    EXPECT_EQ(location->path, c.expected->first);
    EXPECT_EQ(location->index, c.expected->second);
  }
}

#ifdef _WIN32
// A link made or changed in memory holds exactly the bytes the shell link object writes
// when it saves a link file itself, so a link written from memory is the link Windows
// would have written.
TEST_F(ShellContract, LinksMadeInMemoryAreTheBytesOfLinksSavedAsFiles) {
  const NewLink made{"C:\\windows\\notepad.exe", "--flag \"x y\"", "C:\\windows", std::string(icon),
                     0};
  ASSERT_TRUE(testing_support::save_link_with_shell(at("saved.lnk"), made));
  const auto in_memory = sys.shell.new_link_bytes(made);
  ASSERT_TRUE(in_memory) << std::hex << in_memory.error().value;
  EXPECT_EQ(*in_memory, read(at("saved.lnk")));

  const std::string before = read(at("saved.lnk"));
  ASSERT_TRUE(testing_support::set_link_icon_with_shell(at("saved.lnk"), ascii_icon));
  const auto changed = sys.shell.link_bytes_with_icon(before, ascii_icon);
  ASSERT_TRUE(changed) << std::hex << changed.error().value;
  EXPECT_EQ(*changed, read(at("saved.lnk")));
}
#endif

}  // namespace
}  // namespace mossglow
