#include "operations/report.hpp"

#include <gtest/gtest.h>

#include "state/detailed_record.hpp"
#include "support/fake_windows.hpp"

namespace mossglow {
namespace {

constexpr std::string_view data_dir = "C:\\Users\\user\\AppData\\Local\\MossglowHome";
constexpr std::string_view record_path =
    "C:\\Users\\user\\AppData\\Local\\MossglowHome\\last-operation.txt";
constexpr std::string_view hint =
    "\n若运行中的应用在任务栏仍显示Brambun，请先保存工作，再关闭并重新打开该应用。";
constexpr std::string_view note = "\n有项目未还原，请查看失败原因并保留备份目录。";

std::vector<std::string> lines(int count) {
  std::vector<std::string> out;
  for (int i = 1; i <= count; ++i) {
    out.push_back(failure_line("C:\\Users\\user\\Desktop\\项目" + std::to_string(i) + ".lnk",
                               "拒绝访问 (os error 5)"));
  }
  return out;
}

TEST(FailureLine, ShowsAnUnpairedSurrogateInTheNameAsReplacementCharacter) {
  // "\xED\xA0\x80" is a lone U+D800 kept as WTF-8 in the path.
  EXPECT_EQ(failure_line("C:\\d\\a\xED\xA0\x80.lnk", "E"), "C:\\d\\a\xEF\xBF\xBD.lnk：E");
}

class DetailedRecord : public testing::Test {
 protected:
  fake::FakeWindows w;
  DetailedRecord() { w.files.add_directory(data_dir); }
  std::string write(std::string_view title, const std::vector<std::string>& failures) {
    return write_detailed_record(w.system(), data_dir, title, failures);
  }
  std::string file() { return w.files.content(record_path).value_or("<missing>"); }
};

TEST_F(DetailedRecord, OverwritesALongerEarlierRecord) {
  w.files.add_file(record_path, std::string(4096, 'x'));
  write(restore_record_title, {});
  EXPECT_EQ(file(), "快捷方式还原：没有失败项目。");
}

TEST_F(DetailedRecord, FailedWriteListsEveryFailureAndTheError) {
  w.faults.fail_nth(fake::Op::write_file, 1, 5);
  const auto f = lines(6);
  std::string expected;
  for (const auto& line : f) expected += "\n" + line;
  expected += "\n无法写入详细记录：Access is denied. (os error 5)";
  EXPECT_EQ(write(apply_record_title, f), expected);
  EXPECT_FALSE(w.files.exists(record_path));
}

TEST_F(DetailedRecord, FailedWriteWithoutFailuresStillReportsTheError) {
  w.faults.fail_nth(fake::Op::write_file, 1, 5);
  EXPECT_EQ(write(apply_record_title, {}), "\n\n无法写入详细记录：Access is denied. (os error 5)");
}

TEST_F(DetailedRecord, MissingDataDirectoryIsReportedNotCreated) {
  const std::string suffix = write_detailed_record(
      w.system(), "C:\\Users\\user\\AppData\\Local\\Gone", apply_record_title, lines(1));
  EXPECT_EQ(suffix, "\n" + lines(1)[0] +
                        "\n无法写入详细记录：The system cannot find the path specified. (os "
                        "error 3)");
}

TEST(RestoreReport, JoinsSectionsInOrderWithTheNoteOnlyWhenOneLeftSomethingUndone) {
  const Section done_s{"已还原 2 个，跳过 0 个。", false};
  const Section done_o{"没有文件或文件夹待还原。", false};
  const Section done_r{"回收站没有待还原的设置。", false};
  const Report complete = compose_restore_report(done_s, done_o, done_r);
  EXPECT_FALSE(complete.needs_attention);
  EXPECT_EQ(complete.text,
            done_s.text + "\n" + done_o.text + "\n" + done_r.text + std::string(hint));

  for (int undone = 0; undone < 3; ++undone) {
    Section sections[] = {done_s, done_o, done_r};
    sections[undone].left_undone = true;
    const Report report = compose_restore_report(sections[0], sections[1], sections[2]);
    EXPECT_TRUE(report.needs_attention) << undone;
    EXPECT_EQ(report.text, done_s.text + "\n" + done_o.text + "\n" + done_r.text +
                               std::string(note) + std::string(hint));
  }
}

}  // namespace
}  // namespace mossglow
