#include "app/runner.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/fake_messages.hpp"

namespace mossglow {
namespace {

using Log = std::vector<std::string>;

class RecordingView final : public OperationView {
 public:
  explicit RecordingView(Log& log) : log_(log) {}
  void set_button_enabled(int id, bool enabled) override {
    log_.push_back((enabled ? "enable " : "disable ") + std::to_string(id));
  }
  void repaint() override { log_.push_back("repaint"); }
  void set_details_text(std::string_view text) override {
    log_.push_back("text " + std::string(text));
  }
  void show_details_button(bool show) override {
    log_.push_back(show ? "button show" : "button hide");
  }
  void set_details_visible(bool show) override {
    log_.push_back(show ? "details show" : "details hide");
  }

 private:
  Log& log_;
};

class ScriptedLock final : public OperationLock {
 public:
  explicit ScriptedLock(Log& log) : log_(log) {}
  std::expected<Attempt, HResult> answer = Attempt::acquired;
  std::expected<Attempt, HResult> acquire() override {
    log_.push_back("acquire");
    return answer;
  }
  void release() override { log_.push_back("release"); }

 private:
  Log& log_;
};

const Log start = {"disable 1", "disable 2", "disable 4", "repaint", "acquire"};
const Log shown_end = {"button show", "details show", "enable 1", "enable 2", "enable 4"};
const Log hidden_end = {"text ", "button hide", "details hide", "enable 1", "enable 2", "enable 4"};

Log concat(std::initializer_list<Log> parts) {
  Log all;
  for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

// Each road records that it ran; its outcome is scripted per test.
class Runner : public testing::Test {
 protected:
  Log log;
  RecordingView view{log};
  ScriptedLock lock{log};
  fake::FakeMessages messages;
  OperationOutcome outcome;  // what either road gives

  void run(std::string_view operation) {
    const OperationRoads roads{[this] {
                                 log.push_back("apply");
                                 return outcome;
                               },
                               [this] {
                                 log.push_back("restore");
                                 return outcome;
                               },
                               messages};
    run_operation(view, lock, roads, operation);
  }
};

// A fully successful run shows nothing but enabled buttons; anything the user must
// read is shown expanded, its line breaks made CR LF for the edit control.
TEST_F(Runner, ShowsWhatNeedsAttentionAndNothingElse) {
  for (const char* operation : {"apply", "restore"}) {
    SCOPED_TRACE(operation);
    log.clear();
    outcome = Report{"已完成", false};
    run(operation);
    EXPECT_EQ(log, concat({start, {operation, "release"}, hidden_end}));

    log.clear();
    outcome = Report{"失败 1 个。\nC:\\a.lnk：拒绝", true};
    run(operation);
    EXPECT_EQ(
        log,
        concat({start, {operation, "release", "text 失败 1 个。\r\nC:\\a.lnk：拒绝"}, shown_end}));

    log.clear();
    outcome = std::unexpected(std::string("出错\n第二行"));
    run(operation);
    EXPECT_EQ(log, concat({start, {operation, "release", "text 出错\r\n第二行"}, shown_end}));
  }
}

TEST_F(Runner, BusyLockDispatchesNothingAndReleasesNothing) {
  lock.answer = OperationLock::Attempt::busy;
  run("restore");
  EXPECT_EQ(log, concat({start, {"text 另一次换肤或还原正在进行，请等待完成。"}, shown_end}));
}

TEST_F(Runner, LockCreationFailureShowsTheWindowsText) {
  lock.answer = std::unexpected(HResult{0x80070005u});
  run("apply");
  EXPECT_EQ(log, concat({start, {"text Access is denied. (0x80070005)"}, shown_end}));
}

class UnknownOperation : public Runner, public testing::WithParamInterface<std::string> {};

TEST_P(UnknownOperation, IsRefusedAndTheLockReleased) {
  run(GetParam());
  EXPECT_EQ(log, concat({start, {"release", "text 未知操作。"}, shown_end}));
}

INSTANTIATE_TEST_SUITE_P(Names, UnknownOperation,
                         testing::Values("", "Apply", "RESTORE", "apply ",
                                         std::string("apply\0", 6), "skin"));

struct LineBreakCase {
  const char* name;
  const char* input;
  const char* expected;
};

class EditLineBreaks : public testing::TestWithParam<LineBreakCase> {};

TEST_P(EditLineBreaks, EveryBreakBecomesOneCrLf) {
  EXPECT_EQ(to_edit_line_breaks(GetParam().input), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EditLineBreaks,
    testing::Values(LineBreakCase{"CrLfAndLf", "a\r\nb\nc", "a\r\nb\r\nc"},
                    LineBreakCase{"LoneCrStays", "a\rb", "a\rb"},
                    LineBreakCase{"CrBeforeCrLf", "a\r\r\nb", "a\r\r\nb"},
                    LineBreakCase{"LfCrIsTwoBreaks", "a\n\rb", "a\r\n\rb"},
                    LineBreakCase{"ConsecutiveLf", "\n\n", "\r\n\r\n"},
                    LineBreakCase{"TrailingCr", "a\r", "a\r"}, LineBreakCase{"Empty", "", ""},
                    LineBreakCase{"Chinese", "失败：\n拒绝", "失败：\r\n拒绝"}),
    [](const testing::TestParamInfo<LineBreakCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace mossglow
