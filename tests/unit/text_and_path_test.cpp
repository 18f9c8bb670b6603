#include <gtest/gtest.h>

#include "platform/error_text.hpp"
#include "platform/path.hpp"
#include "platform/text.hpp"
#include "support/fake_messages.hpp"

namespace mossglow {
namespace {

TEST(Wtf8, UnpairedSurrogatesSurviveTheRoundTrip) {
  const std::u16string names[] = {u"plain.lnk", u"桌面快捷方式.url",   u"a\xD800z",
                                  u"\xDC00",    u"emoji \xD83D\xDE00", u""};
  for (const auto& name : names) {
    EXPECT_EQ(to_utf16(to_wtf8(name)), name);
  }
  EXPECT_FALSE(is_valid_utf8(to_wtf8(u"a\xD800z")));
  EXPECT_TRUE(is_valid_utf8(to_wtf8(u"emoji \xD83D\xDE00")));
  EXPECT_FALSE(to_utf8_strict(u"a\xD800").has_value());
  EXPECT_EQ(to_utf8_lossy(u"a\xD800"), "a\xEF\xBF\xBD");
}

TEST(Utf8Validation, RejectsMalformedSequences) {
  EXPECT_TRUE(is_valid_utf8("中文 ascii"));
  EXPECT_FALSE(is_valid_utf8("\xC0\x80"));          // overlong
  EXPECT_FALSE(is_valid_utf8("\xE4\xB8"));          // truncated
  EXPECT_FALSE(is_valid_utf8("\xFF"));              // never valid
  EXPECT_FALSE(is_valid_utf8("\xED\xA0\x80"));      // surrogate code point
  EXPECT_FALSE(is_valid_utf8("\xF4\x90\x80\x80"));  // beyond U+10FFFF
}

TEST(Trim, UsesUnicodeWhiteSpace) {
  EXPECT_EQ(trim_end_unicode("Access is denied.\r\n"), "Access is denied.");
  EXPECT_EQ(trim_unicode("\xE3\x80\x80 x\t\xC2\xA0"), "x");  // U+3000 and U+00A0
  EXPECT_EQ(trim_unicode("   "), "");
}

TEST(Path, ExtensionFollowsTheLastDotOfTheFileName) {
  struct Case {
    const char* path;
    std::optional<std::string_view> extension;
  };
  const Case cases[] = {
      {"C:\\d\\A.lnk", "lnk"},          {"C:\\d\\b.URL", "URL"},
      {"C:\\d\\c.tar.gz", "gz"},        {"C:\\d\\.lnk", std::nullopt},
      {"C:\\d\\..", std::nullopt},      {"C:\\d\\noext", std::nullopt},
      {"C:\\d.x\\noext", std::nullopt}, {"C:\\d\\trailing.", ""},
      {"C:/d/fwd.Url", "Url"},          {"..x", "x"},
  };
  for (const auto& c : cases) EXPECT_EQ(extension(c.path), c.extension) << c.path;
  EXPECT_TRUE(has_extension("X.LnK", "lnk"));
  EXPECT_FALSE(has_extension("X.lnk2", "lnk"));
  EXPECT_FALSE(has_extension("X.ln", "lnk"));
}

TEST(Path, JoinAddsOneSeparator) {
  EXPECT_EQ(join_path("C:\\a", "b"), "C:\\a\\b");
  EXPECT_EQ(join_path("C:\\a\\", "b"), "C:\\a\\b");
  EXPECT_EQ(join_path("C:", "b"), "C:b");
  EXPECT_EQ(join_path("", "MossglowHome"), "MossglowHome");
  EXPECT_EQ(with_extension("C:\\d\\Game One.url", "lnk"), "C:\\d\\Game One.lnk");
  EXPECT_EQ(file_name("C:\\d\\x.lnk"), "x.lnk");
  EXPECT_EQ(parent_path("C:\\d\\x.lnk"), "C:\\d");
}

TEST(ErrorText, OsAndWindowsForms) {
  fake::FakeMessages messages;
  EXPECT_EQ(os_error_text(messages, Win32Error{2}),
            "The system cannot find the file specified. (os error 2)");
  EXPECT_EQ(os_error_text(messages, Win32Error{222}), " (os error 222)");
  EXPECT_EQ(windows_error_text(messages, hresult_from_win32(5)), "Access is denied. (0x80070005)");
  EXPECT_EQ(windows_error_text(messages, HResult{0x8000FFFFu}), "0x8000FFFF");
  EXPECT_EQ(hresult_from_win32(0x12345).value, 0x80072345u);
}

}  // namespace
}  // namespace mossglow
