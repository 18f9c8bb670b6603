// The path form the Win32 file calls are given. Only the Windows build has it; the
// contract suites check its effect on both platforms (long_path_test.cpp).
#ifdef _WIN32

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "platform/text.hpp"
#include "platform/wide_path_win32.hpp"

namespace mossglow {
namespace {

// A folder path of exactly `length` UTF-16 units below `root`, in 50-unit components.
std::u16string folder_of_length(std::u16string root, std::size_t length) {
  while (root.size() < length) {
    root += u'\\';
    root.append(std::min<std::size_t>(50, length - root.size()), u'd');
  }
  return root;
}

// Every absolute path, short or long, takes the one form, so that the name checked is the
// name changed: Windows' plain form would trim "notes " to "notes" on the way.
TEST(WidePath, AbsolutePathsTakeTheExtendedFormAfterWindowsCleanUp) {
  const std::u16string deep = folder_of_length(u"C:\\Users\\u", 260);
  const std::u16string share = folder_of_length(u"\\\\server\\share", 260);
  struct Case {
    std::u16string given;
    std::u16string expected;
  };
  const Case cases[] = {
      {deep + u"\\a.lnk", u"\\\\?\\" + deep + u"\\a.lnk"},
      {u"C:/Users/u" + deep.substr(10) + u"/a.lnk", u"\\\\?\\" + deep + u"\\a.lnk"},
      {deep + u"\\\\.\\sub\\\\\\..\\a.lnk", u"\\\\?\\" + deep + u"\\a.lnk"},
      {deep + u"\\x\\y\\..\\..", u"\\\\?\\" + deep},
      // ".." stops at the drive root and at the share.
      {u"d:\\..\\..\\" + deep.substr(3), u"\\\\?\\d:\\" + deep.substr(3)},
      {share + u"\\a.url", u"\\\\?\\UNC\\" + share.substr(2) + u"\\a.url"},
      {u"//server/share//../../" + share.substr(15), u"\\\\?\\UNC\\" + share.substr(2)},
      // A trailing separator is kept: it still says "a folder".
      {deep + u"\\sub\\\\", u"\\\\?\\" + deep + u"\\sub\\"},
      // Names are kept as written, trailing dots and spaces included.
      {deep + u"\\name. \\a..", u"\\\\?\\" + deep + u"\\name. \\a.."},
      {u"C:\\Users\\u\\Desktop\\notes ", u"\\\\?\\C:\\Users\\u\\Desktop\\notes "},
      {u"C:\\Users\\u\\Desktop\\COM1.lnk", u"\\\\?\\C:\\Users\\u\\Desktop\\COM1.lnk"},
      {u"C:/a/../b/./c", u"\\\\?\\C:\\b\\c"},
      {u"c:\\", u"\\\\?\\c:\\"},
      {u"\\\\server\\share\\a.url", u"\\\\?\\UNC\\server\\share\\a.url"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(to_wtf8(extended_length_path(c.given)), to_wtf8(c.expected)) << to_wtf8(c.given);
  }
}

TEST(WidePath, OtherPathsStayAsGiven) {
  const std::u16string long_tail(300, u'x');
  for (const std::u16string& path : {
           u"\\\\?\\C:\\" + long_tail + u"\\..\\.\\x",
           u"\\\\.\\pipe\\" + long_tail,
           u"C:relative\\" + long_tail,
           u"relative\\" + long_tail,
           u"\\rooted\\" + long_tail,
           u"\\\\server-only" + std::u16string(300, u'\\'),
       }) {
    EXPECT_EQ(to_wtf8(extended_length_path(path)), to_wtf8(path));
  }
}

TEST(WidePath, APathHoldingANulIsNotValid) {
  EXPECT_TRUE(WidePath("C:\\a.lnk").valid());
  EXPECT_FALSE(WidePath(std::string("C:\\a.lnk\0.txt", 14)).valid());
  std::string chinese = "C:\\";
  for (int i = 0; i < 200; ++i) chinese += "中";
  EXPECT_EQ(to_wtf8(reinterpret_cast<const char16_t*>(WidePath(chinese).get())),
            "\\\\?\\" + chinese);
}

}  // namespace
}  // namespace mossglow

#endif  // _WIN32
