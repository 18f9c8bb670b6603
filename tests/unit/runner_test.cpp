#include "main/runner.hpp"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

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

constexpr const char* user_desktop = "C:\\U\\Desktop";
constexpr const char* public_desktop = "C:\\P\\Desktop";
constexpr const char* data_dir = "C:\\L\\MossglowHome";

constexpr const char* done_shortcuts = "已还原 2 个，跳过 0 个。";
constexpr const char* done_overlay = "已还原文件或文件夹 1 个，跳过 0 个。";
constexpr const char* done_recycle = "回收站图标已还原 3 项，跳过 0 项。";
constexpr const char* hint =
    "\r\n若运行中的应用在任务栏仍显示Brambun，请先保存工作，再关闭并重新打开该应用。";
constexpr const char* note = "\r\n有项目未还原，请查看失败原因并保留备份目录。";

const Log start = {"disable 1", "disable 2", "disable 4", "repaint", "acquire"};
const Log shown_end = {"button show", "details show", "enable 1", "enable 2", "enable 4"};
const Log hidden_end = {"text ", "button hide", "details hide", "enable 1", "enable 2", "enable 4"};

Log concat(std::initializer_list<Log> parts) {
  Log all;
  for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

// Every step records its call; its answer is scripted per test.
class Runner : public testing::Test {
 protected:
  Log log;
  RecordingView view{log};
  ScriptedLock lock{log};

  Result<std::string> data_directory = std::string(data_dir);
  std::map<KnownFolder, Result<std::string>> folders{
      {KnownFolder::desktop, std::string(user_desktop)},
      {KnownFolder::public_desktop, std::string(public_desktop)}};
  OperationOutcome apply_outcome = Report{"已更新", false};
  Result<Section> overlay = Section{done_overlay, false};
  Result<Section> recycle = Section{done_recycle, false};
  Result<Section> shortcuts = Section{done_shortcuts, false};

  OperationSteps steps() {
    OperationSteps s;
    s.data_directory = [this] {
      log.push_back("data_directory");
      return data_directory;
    };
    s.known_folder = [this](KnownFolder f) {
      log.push_back(f == KnownFolder::desktop ? "known desktop" : "known public");
      return folders.at(f);
    };
    s.apply_skin = [this](const std::string& u, const std::string& p, const std::string& d) {
      log.push_back("apply_skin " + u + "|" + p + "|" + d);
      return apply_outcome;
    };
    s.restore_overlay = [this](const DesktopFolders& desktops, const std::string& d) {
      log.push_back("overlay " + desktops[0] + "|" + desktops[1] + "|" + d);
      return overlay;
    };
    s.restore_recycle_icon = [this](const std::string& d) {
      log.push_back("recycle " + d);
      return recycle;
    };
    s.restore_shortcuts = [this](const DesktopFolders& desktops, const std::string& d) {
      log.push_back("shortcuts " + desktops[0] + "|" + desktops[1] + "|" + d);
      return shortcuts;
    };
    s.notify_desktops_updated = [this](const std::string& u, const std::string& p) {
      log.push_back("notify desktops " + u + "|" + p);
    };
    s.notify_associations_changed = [this] { log.push_back("notify assoc"); };
    s.windows_error_text = [this](HResult hr) {
      log.push_back("windows_error_text " + std::to_string(hr.value));
      return "系统错误 (0x" + std::to_string(hr.value) + ")";
    };
    return s;
  }

  void run(std::string_view operation) { run_operation(view, lock, steps(), operation); }
};

const std::string on_desktops = std::string(user_desktop) + "|" + public_desktop + "|" + data_dir;
const Log restore_steps = {"data_directory",
                           "known desktop",
                           "known public",
                           "overlay " + on_desktops,
                           std::string("recycle ") + data_dir,
                           "shortcuts " + on_desktops,
                           std::string("notify desktops ") + user_desktop + "|" + public_desktop,
                           "notify assoc",
                           "release"};

TEST_F(Runner, CompleteRestoreRunsEveryStepInOrderAndShowsNothing) {
  run("restore");
  EXPECT_EQ(log, concat({start, restore_steps, hidden_end}));
}

TEST_F(Runner, RecycleErrorIsReportedInsideTheReportAndTheRestoreGoesOn) {
  recycle = std::unexpected(std::string("拒绝访问 (os error 5)"));
  run("restore");
  const std::string text = std::string("text ") + done_shortcuts + "\r\n" + done_overlay +
                           "\r\n回收站还原失败：拒绝访问 (os error 5)" + note + hint;
  EXPECT_EQ(log, concat({start, restore_steps, {text}, shown_end}));
}

TEST_F(Runner, KeptShortcutShowsTheReportWithTheAttentionNote) {
  shortcuts = Section{"已还原 1 个，跳过 1 个。\nC:\\a.lnk：快捷方式发生变化", true};
  run("restore");
  const std::string text =
      std::string("text 已还原 1 个，跳过 1 个。\r\nC:\\a.lnk：快捷方式发生变化\r\n") +
      done_overlay + "\r\n" + done_recycle + note + hint;
  EXPECT_EQ(log, concat({start, restore_steps, {text}, shown_end}));
}

// Whether a section is shown is its own flag: a file name that looks like a count in
// the text ("跳过 0 个.lnk") says nothing.
TEST_F(Runner, AttentionComesFromTheSectionsFlagsNotTheirTexts) {
  shortcuts = Section{"已还原 0 个，跳过 1 个。\nC:\\跳过 0 个.lnk：快捷方式发生变化", true};
  run("restore");
  EXPECT_EQ(Log(log.end() - 5, log.end()), shown_end);

  log.clear();
  shortcuts = Section{done_shortcuts, false};
  overlay = Section{"文件和文件夹已还原 1 个，跳过 1 个。", false};
  recycle = Section{"回收站还原失败（跳过）", false};
  run("restore");
  EXPECT_EQ(Log(log.end() - 6, log.end()), hidden_end);
}

struct RestoreStopCase {
  const char* name;
  int failing_step;  // 0 data directory, 1 user desktop, 2 public desktop, 3 overlay,
                     // 4 shortcuts
  Log steps_run;
};

class RestoreStops : public Runner, public testing::WithParamInterface<RestoreStopCase> {};

TEST_P(RestoreStops, ErrorEndsTheRestoreWithoutNotificationsAndIsShown) {
  const auto& c = GetParam();
  const auto error = std::unexpected(std::string("出错\n第二行"));
  if (c.failing_step == 0) data_directory = error;
  if (c.failing_step == 1) folders.insert_or_assign(KnownFolder::desktop, error);
  if (c.failing_step == 2) folders.insert_or_assign(KnownFolder::public_desktop, error);
  if (c.failing_step == 3) overlay = error;
  if (c.failing_step == 4) shortcuts = error;
  run("restore");
  EXPECT_EQ(log, concat({start, c.steps_run, {"release", "text 出错\r\n第二行"}, shown_end}));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RestoreStops,
    testing::Values(RestoreStopCase{"DataDirectory", 0, {"data_directory"}},
                    RestoreStopCase{"UserDesktop", 1, {"data_directory", "known desktop"}},
                    RestoreStopCase{
                        "PublicDesktop", 2, {"data_directory", "known desktop", "known public"}},
                    RestoreStopCase{"Overlay",
                                    3,
                                    {"data_directory", "known desktop", "known public",
                                     "overlay " + on_desktops}},
                    RestoreStopCase{"Shortcuts",
                                    4,
                                    {"data_directory", "known desktop", "known public",
                                     "overlay " + on_desktops, std::string("recycle ") + data_dir,
                                     "shortcuts " + on_desktops}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Runner, ApplyPassesBothDesktopsAndTheDataDirectory) {
  run("apply");
  EXPECT_EQ(
      log,
      concat({start,
              {"known desktop", "known public", "data_directory",
               std::string("apply_skin ") + user_desktop + "|" + public_desktop + "|" + data_dir,
               "release"},
              hidden_end}));
}

TEST_F(Runner, ApplyReportNeedingAttentionIsShownAsIs) {
  apply_outcome = Report{"失败 1 个。\nC:\\a.lnk：拒绝", true};
  run("apply");
  EXPECT_EQ(log.at(log.size() - 6), "text 失败 1 个。\r\nC:\\a.lnk：拒绝");
  EXPECT_EQ(Log(log.end() - 5, log.end()), shown_end);
}

TEST_F(Runner, ApplyErrorFromTheDriverIsShown) {
  apply_outcome = std::unexpected(std::string("已有待还原的备份，请先还原。"));
  run("apply");
  EXPECT_EQ(Log(log.end() - 7, log.end()),
            concat({{"release", "text 已有待还原的备份，请先还原。"}, shown_end}));
}

struct ApplyResolveCase {
  const char* name;
  int failing_step;  // 0 user desktop, 1 public desktop, 2 data directory
  Log steps_run;
};

class ApplyResolve : public Runner, public testing::WithParamInterface<ApplyResolveCase> {};

TEST_P(ApplyResolve, FailureEndsTheApplyBeforeTheDriver) {
  const auto& c = GetParam();
  const auto error = std::unexpected(std::string("找不到本地数据目录"));
  if (c.failing_step == 0) folders.insert_or_assign(KnownFolder::desktop, error);
  if (c.failing_step == 1) folders.insert_or_assign(KnownFolder::public_desktop, error);
  if (c.failing_step == 2) data_directory = error;
  run("apply");
  EXPECT_EQ(log, concat({start, c.steps_run, {"release", "text 找不到本地数据目录"}, shown_end}));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ApplyResolve,
    testing::Values(ApplyResolveCase{"UserDesktop", 0, {"known desktop"}},
                    ApplyResolveCase{"PublicDesktop", 1, {"known desktop", "known public"}},
                    ApplyResolveCase{
                        "DataDirectory", 2, {"known desktop", "known public", "data_directory"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Runner, BusyLockDispatchesNothingAndReleasesNothing) {
  lock.answer = OperationLock::Attempt::busy;
  run("restore");
  EXPECT_EQ(log, concat({start, {"text 另一次换肤或还原正在进行，请等待完成。"}, shown_end}));
}

TEST_F(Runner, LockCreationFailureShowsTheWindowsText) {
  lock.answer = std::unexpected(HResult{0x80070005u});
  run("apply");
  EXPECT_EQ(log, concat({start,
                         {"windows_error_text 2147942405", "text 系统错误 (0x2147942405)"},
                         shown_end}));
}

class UnknownOperation : public Runner, public testing::WithParamInterface<std::string> {};

TEST_P(UnknownOperation, IsRefusedAndTheLockReleased) {
  run(GetParam());
  EXPECT_EQ(log, concat({start, {"release", "text 未知操作。"}, shown_end}));
}

INSTANTIATE_TEST_SUITE_P(Names, UnknownOperation,
                         testing::Values("", "Apply", "RESTORE", "apply ",
                                         std::string("apply\0", 6), "skin"));

}  // namespace
}  // namespace mossglow
