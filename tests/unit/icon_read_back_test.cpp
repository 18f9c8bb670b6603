#include <gtest/gtest.h>

#include "platform/path.hpp"
#include "steam/conversion.hpp"
#include "support/fake_windows.hpp"

namespace mossglow {
namespace {

constexpr std::string_view icon = "D:\\Users\\u\\AppData\\Local\\MossglowHome\\brambun.ico";
constexpr std::string_view failed = "Windows 未能回读Brambun图标，已保留原快捷方式";

TEST(PathsEqual, FoldsOnlyWhatTheShellMayWriteDifferently) {
  struct Row {
    std::string_view a, b;
    bool equal;
  };
  const Row rows[] = {
      {icon, icon, true},
      {icon, "D:/Users/u/AppData/Local/MossglowHome//brambun.ico", true},
      {icon, "d:\\Users\\u\\AppData\\Local\\MossglowHome\\brambun.ico", true},
      {icon, "D:\\Users\\u\\AppData\\Local\\MossglowHome\\brambun.ico\\", true},
      {icon, "D:\\Users\\.\\u\\AppData\\Local\\MossglowHome\\.\\brambun.ico", true},
      {icon, "D:\\Users\\u\\AppData\\Local\\MossglowHome\\BRAMBUN.ICO", false},
      {icon, "D:\\users\\u\\AppData\\Local\\MossglowHome\\brambun.ico", false},
      {icon, "E:\\Users\\u\\AppData\\Local\\MossglowHome\\brambun.ico", false},
      {icon, "D:\\Users\\u\\AppData\\Local\\Other\\..\\MossglowHome\\brambun.ico", false},
      {icon, "Users\\u\\AppData\\Local\\MossglowHome\\brambun.ico", false},
      {icon, "D:Users\\u\\AppData\\Local\\MossglowHome\\brambun.ico", false},
      {icon, "", false},
      {"a\\..\\b", "a/../b", true},
      {".\\a", "a", false},  // a leading "." is kept
      {".\\a", "./a", true},
      {"a\\.", "a", true},
      {"\\a", "a", false},
      {"", "", true},
      {"1:\\a", "1:/a", true},  // not a drive: compared as a component
      {"1:\\a", "1:/A", false},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(paths_equal(row.a, row.b), row.equal) << row.a << " vs " << row.b;
    EXPECT_EQ(paths_equal(row.b, row.a), row.equal) << row.b << " vs " << row.a;
  }
}

TEST(IconReadBack, AcceptsOnlyTheMascotIconAtIndexZero) {
  constexpr std::string_view link = "D:\\x\\Game.lnk";
  struct Row {
    const char* name;
    std::optional<IconLocation> shell_answer;
    bool passes;
  };
  const Row rows[] = {
      {"same text", IconLocation{std::string(icon), 0}, true},
      {"slashes and a doubled one",
       IconLocation{"D:/Users/u/AppData/Local/MossglowHome//brambun.ico", 0}, true},
      {"lower-case drive",
       IconLocation{"d:\\Users\\u\\AppData\\Local\\MossglowHome\\brambun.ico", 0}, true},
      {"upper-case file name",
       IconLocation{"D:\\Users\\u\\AppData\\Local\\MossglowHome\\BRAMBUN.ICO", 0}, false},
      {"index 1", IconLocation{std::string(icon), 1}, false},
      {"index -1", IconLocation{std::string(icon), -1}, false},
      {"empty path", IconLocation{"", 0}, false},
      {"the shell's own icon", IconLocation{"C:\\windows\\system32\\SHELL32.dll", 0}, false},
      // A link that is gone or cannot be loaded: the shell gives no answer.
      {"the call fails", std::nullopt, false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    fake::FakeWindows w;
    w.files.add_directory("D:\\x");
    w.files.add_file(link, "link");
    w.shell.override_icon_location(link, row.shell_answer);
    const Status checked = verify_icon_read_back(w.system(), link, icon);
    EXPECT_EQ(checked.has_value(), row.passes);
    if (!checked) {
      EXPECT_EQ(checked.error(), failed);
    }
  }
}

}  // namespace
}  // namespace mossglow
