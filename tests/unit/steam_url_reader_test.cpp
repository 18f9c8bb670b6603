#include <gtest/gtest.h>

#include <variant>

#include "steam/url_reader.hpp"
#include "support/fake_windows.hpp"

namespace mossglow {
namespace {

using namespace std::string_literals;

constexpr std::string_view path = "C:\\Users\\user\\AppData\\Local\\MossglowHome\\originals\\0.url";
constexpr std::string_view incomplete = "URL 文件的 UTF-16 编码不完整";
constexpr std::string_view lone = "invalid utf-16: lone surrogate found";
constexpr std::string_view invalid = "Steam 游戏地址包含无效字符，已保留原快捷方式";

struct NoAddress {};
struct Fails {
  std::string_view text;
};
using Expected = std::variant<std::string, NoAddress, Fails>;

// The text as UTF-16 with its byte-order mark, in either byte order.
std::string utf16_file(std::u16string_view text, bool little_endian) {
  std::string bytes = little_endian ? "\xFF\xFE" : "\xFE\xFF";
  for (const char16_t unit : text) {
    const char low = static_cast<char>(unit & 0xFF);
    const char high = static_cast<char>(unit >> 8);
    bytes += little_endian ? std::string{low, high} : std::string{high, low};
  }
  return bytes;
}

Result<std::optional<std::string>> read(fake::FakeWindows& w, std::string_view bytes) {
  w.files.add_file(path, bytes);
  return read_steam_game_url(w.system(), path);
}

void expect(const Result<std::optional<std::string>>& got, const Expected& want) {
  if (const auto* address = std::get_if<std::string>(&want)) {
    ASSERT_TRUE(got) << got.error();
    EXPECT_EQ(*got, std::optional<std::string>(*address));
  } else if (std::holds_alternative<NoAddress>(want)) {
    ASSERT_TRUE(got) << got.error();
    EXPECT_EQ(*got, std::nullopt);
  } else {
    ASSERT_FALSE(got) << got->value_or("<no address>");
    EXPECT_EQ(got.error(), std::get<Fails>(want).text);
  }
}

TEST(SteamUrlReader, DecodesEveryEncodingAWindowsToolWrites) {
  const std::u16string game = u"[InternetShortcut]\r\nURL=steam://rungameid/570\r\n";
  struct Row {
    const char* name;
    std::string bytes;
    Expected want;
  };
  const Row rows[] = {
      {"UTF-16 LE with mark", utf16_file(game, true), std::string("steam://rungameid/570")},
      {"UTF-16 BE with mark", utf16_file(game, false), std::string("steam://rungameid/570")},
      {"UTF-16 with one byte more", utf16_file(game, true) + "x", Fails{incomplete}},
      {"UTF-16 BE, odd length", utf16_file(game, false) + "\n", Fails{incomplete}},
      {"UTF-16 holding a lone high surrogate",
       utf16_file(u"[InternetShortcut]\r\nURL=steam://run/1\xD800\r\n", true), Fails{lone}},
      {"UTF-16 holding a lone low surrogate", utf16_file(u"\xDC00", false), Fails{lone}},
      {"UTF-16 surrogate pair in the address",
       utf16_file(u"[InternetShortcut]\nURL=steam://run/\xD83D\xDE00", true),
       std::string("steam://run/\xF0\x9F\x98\x80")},
      {"only the mark", "\xFF\xFE", NoAddress{}},
      {"a single FF byte is no mark", "\xFF",
       NoAddress{}},  // not UTF-8: read through the code page
      {"UTF-8 with its mark", "\xEF\xBB\xBF[InternetShortcut]\nURL=steam://launch/9\n",
       std::string("steam://launch/9")},
      {"UTF-8 mark before a header the line must start with",
       "\xEF\xBB\xBF[InternetShortcut]\r\nURL=steam://run/5", std::string("steam://run/5")},
      {"ANSI code page", "[InternetShortcut]\r\nURL=steam://rungameid/1 caf\xE9 \x80\r\n",
       std::string("steam://rungameid/1 caf\xC3\xA9 \xE2\x82\xAC")},
      {"empty file", "", NoAddress{}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    fake::FakeWindows w;
    expect(read(w, row.bytes), row.want);
  }
}

TEST(SteamUrlReader, FindsTheFirstUrlKeyOfTheShortcutSection) {
  struct Row {
    const char* name;
    std::string text;
    Expected want;
  };
  const Row rows[] = {
      {"lower-case header", "[internetshortcut]\nURL=steam://rungameid/1",
       std::string("steam://rungameid/1")},
      {"upper-case header", "[INTERNETSHORTCUT]\nURL=steam://rungameid/1",
       std::string("steam://rungameid/1")},
      {"header with spaces inside", "[ InternetShortcut ]\nURL=steam://rungameid/1", NoAddress{}},
      {"indented header and key", "  \t[InternetShortcut]  \r\n\tURL = steam://run/2 \r\n",
       std::string("steam://run/2")},
      {"quoted value, key in any case", "[InternetShortcut]\nurl = \"STEAM://RunGameID/570\"",
       std::string("STEAM://RunGameID/570")},
      {"value keeps further equals signs", "[InternetShortcut]\nURL=steam://run/3?a=b=c",
       std::string("steam://run/3?a=b=c")},
      {"no header", "URL=steam://rungameid/1\n", NoAddress{}},
      {"key before the header", "URL=steam://rungameid/1\n[InternetShortcut]\nIconIndex=0",
       NoAddress{}},
      {"key under another header", "[InternetShortcut]\n[Other]\nURL=steam://rungameid/1",
       NoAddress{}},
      {"section reopened later", "[Other]\nURL=https://a/\n[InternetShortcut]\nURL=steam://run/4",
       std::string("steam://run/4")},
      {"web address first, Steam second",
       "[InternetShortcut]\nURL=https://example.com/\nURL=steam://rungameid/1", NoAddress{}},
      {"other keys and lines without = are skipped",
       "[InternetShortcut]\nIconIndex=0\nnonsense\nURLs=steam://run/0\nURL=steam://run/7",
       std::string("steam://run/7")},
      {"other scheme", "[InternetShortcut]\nURL=https://store.steampowered.com/", NoAddress{}},
      {"other steam address", "[InternetShortcut]\nURL=steam://open/games", NoAddress{}},
      {"prefix alone is an address", "[InternetShortcut]\nURL=steam://run/",
       std::string("steam://run/")},
      {"a lone quote stays and is no address", "[InternetShortcut]\nURL=\"", NoAddress{}},
      {"unbalanced quote stays", "[InternetShortcut]\nURL=\"steam://run/1", NoAddress{}},
      {"closing quote only is inside the value", "[InternetShortcut]\nURL=steam://run/1\"",
       Fails{invalid}},
      {"quote in the middle", "[InternetShortcut]\nURL=steam://run/1\"x", Fails{invalid}},
      {"tab in the middle", "[InternetShortcut]\nURL=steam://run/1\tx", Fails{invalid}},
      {"NUL", "[InternetShortcut]\nURL=steam://run/1\0x"s, Fails{invalid}},
      {"DEL", "[InternetShortcut]\nURL=steam://run/1\x7Fx", Fails{invalid}},
      {"C1 control U+0085 inside", "[InternetShortcut]\nURL=steam://run/1\xC2\x85x",
       Fails{invalid}},
      {"U+009F inside", "[InternetShortcut]\nURL=steam://run/1\xC2\x9Fx", Fails{invalid}},
      {"U+00A0 inside is allowed", "[InternetShortcut]\nURL=steam://run/1\xC2\xA0x",
       std::string("steam://run/1\xC2\xA0x")},
      {"spaces and Chinese pass", "[InternetShortcut]\nURL=steam://run/1 游戏 2",
       std::string("steam://run/1 游戏 2")},
      {"a web address may hold anything", "[InternetShortcut]\nURL=https://a/\"\t", NoAddress{}},
      {"Unicode white space trimmed",
       "[InternetShortcut]\n\xE3\x80\x80URL\xE2\x80\x83=\xC2\xA0steam://run/8\xE2\x80\xA8",
       std::string("steam://run/8")},
      {"a CR alone does not end a line", "[InternetShortcut]\rURL=steam://run/1", NoAddress{}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    fake::FakeWindows w;
    expect(read(w, row.text), row.want);
  }
}

TEST(SteamUrlReader, FailuresOfTheReadAndTheConversionAreOsErrorTexts) {
  fake::FakeWindows w;
  expect(read_steam_game_url(w.system(), "C:\\missing.url"),
         Fails{"The system cannot find the file specified. (os error 2)"});

  w.env.fail_ansi_conversion(Win32Error{87});
  expect(read(w, "[InternetShortcut]\nURL=steam://run/\xE9"),
         Fails{"The parameter is incorrect. (os error 87)"});
}

}  // namespace
}  // namespace mossglow
