#include "state/journal_storage.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shortcut_fixture.hpp"
#include "state/data_directory.hpp"

namespace mossglow {
namespace {

using namespace testing_support;
using fake::Op;

class JournalStorage : public ::testing::Test {
 protected:
  fake::FakeWindows w;

  Status save(const Result<std::string>& bytes) {
    return save_journal(w.system(), data_dir, overlay_journal, bytes);
  }
  std::optional<std::string> journal() { return w.files.content(in_data("overlay.json")); }
  std::optional<std::string> temporary() { return w.files.content(in_data("overlay.tmp")); }

  void SetUp() override { w.files.add_directory(data_dir); }
};

TEST(DataDirectory, IsLocalAppDataWithTheProgramsFolder) {
  fake::FakeWindows w;
  EXPECT_EQ(data_directory(w.env), "C:\\Users\\user\\AppData\\Local\\MossglowHome");
  w.env.set_variable("LOCALAPPDATA", "D:\\Data\\");
  EXPECT_EQ(data_directory(w.env), "D:\\Data\\MossglowHome");
  w.env.set_variable("LOCALAPPDATA", "");
  EXPECT_EQ(data_directory(w.env), "MossglowHome");
  w.env.set_variable("LOCALAPPDATA", std::nullopt);
  EXPECT_EQ(data_directory(w.env).error(), "找不到本地数据目录");
  EXPECT_FALSE(w.files.exists("C:\\Users\\user\\AppData\\Local\\MossglowHome"));
}

TEST_F(JournalStorage, FirstSaveRenamesLaterSavesReplace) {
  ASSERT_TRUE(save("[1]"));
  EXPECT_EQ(journal(), "[1]");
  EXPECT_FALSE(temporary());
  EXPECT_EQ(w.faults.calls(Op::rename_replace), 1);
  EXPECT_EQ(w.faults.calls(Op::replace_file), 0);

  ASSERT_TRUE(save("[]"));
  EXPECT_EQ(journal(), "[]");
  EXPECT_FALSE(temporary());
  EXPECT_EQ(w.faults.calls(Op::rename_replace), 1);
  EXPECT_EQ(w.faults.calls(Op::replace_file), 1);
}

TEST_F(JournalStorage, SerialisationErrorTouchesNoFile) {
  w.files.add_file(in_data("overlay.json"), "[1]");
  const auto before = w.files.tree();
  EXPECT_EQ(save(std::unexpected(std::string("path contains invalid UTF-8 characters"))).error(),
            "path contains invalid UTF-8 characters");
  EXPECT_EQ(w.files.tree(), before);
  EXPECT_EQ(journal(), "[1]");
  EXPECT_EQ(w.faults.calls(Op::write_file), 0);
}

// A failure at any step leaves the previous journal as it was; a failed swap leaves
// the temporary file with the new content, and the next save still succeeds.
TEST_F(JournalStorage, FailureAtEachStepKeepsTheOldJournal) {
  struct Step {
    const char* name;
    bool journal_before;
    Op operation;
    std::uint32_t code;
    std::string error;
    bool temporary_left;
  };
  const std::vector<Step> steps{
      {"write, first save", false, Op::write_file, 112,
       "There is not enough space on the disk. (os error 112)", false},
      {"write, later save", true, Op::write_file, error_access_denied,
       "Access is denied. (os error 5)", false},
      {"rename", false, Op::rename_replace, error_access_denied, "Access is denied. (os error 5)",
       true},
      {"replace", true, Op::replace_file, 1175,
       "Unable to remove the file to be replaced. (0x80070497)", true},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.name);
    fake::FakeWindows fresh;
    fresh.files.add_directory(data_dir);
    if (step.journal_before) fresh.files.add_file(in_data("overlay.json"), "[\"old\"]");
    fresh.faults.fail_nth(step.operation, 1, step.code);
    const auto saved = save_journal(fresh.system(), data_dir, overlay_journal, "[\"new\"]");
    ASSERT_FALSE(saved);
    EXPECT_EQ(saved.error(), step.error);
    EXPECT_EQ(fresh.files.content(in_data("overlay.json")),
              step.journal_before ? std::optional<std::string>("[\"old\"]") : std::nullopt);
    EXPECT_EQ(fresh.files.content(in_data("overlay.tmp")),
              step.temporary_left ? std::optional<std::string>("[\"new\"]") : std::nullopt);

    ASSERT_TRUE(save_journal(fresh.system(), data_dir, overlay_journal, "[\"again\"]"));
    EXPECT_EQ(fresh.files.content(in_data("overlay.json")), "[\"again\"]");
    EXPECT_FALSE(fresh.files.exists(in_data("overlay.tmp")));
  }
}

// What waits to be restored is the journal, or the temporary file alone when a swap
// removed the journal and could not move the new one in. A lone temporary file that
// is not a whole JSON text is a save that never finished and is dropped.
TEST_F(JournalStorage, PendingAndLoadCountALoneTemporaryFile) {
  struct Case {
    const char* name;
    std::optional<std::string> journal, temporary;
    bool pending;
    std::optional<std::string> loaded, journal_after, temporary_after;
  };
  const std::string torn = "[\n  {\n    \"original\": \"C:\\\\Us";
  const std::vector<Case> cases{
      {"nothing", {}, {}, false, {}, {}, {}},
      {"journal", "[1]", {}, true, "[1]", "[1]", {}},
      {"journal and stale temporary", "[1]", "[1, 2]", true, "[1]", "[1]", "[1, 2]"},
      {"lone whole temporary", {}, "[1, 2]", true, "[1, 2]", "[1, 2]", {}},
      {"lone torn temporary", {}, torn, true, {}, {}, {}},
      {"lone empty temporary", {}, "", true, {}, {}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fake::FakeWindows fresh;
    fresh.files.add_directory(data_dir);
    if (c.journal) fresh.files.add_file(in_data("overlay.json"), *c.journal);
    if (c.temporary) fresh.files.add_file(in_data("overlay.tmp"), *c.temporary);
    EXPECT_EQ(journal_pending(fresh.system(), data_dir, overlay_journal), c.pending);
    const auto loaded = load_journal_bytes(fresh.system(), data_dir, overlay_journal);
    ASSERT_TRUE(loaded) << loaded.error();
    EXPECT_EQ(*loaded, c.loaded);
    EXPECT_EQ(fresh.files.content(in_data("overlay.json")), c.journal_after);
    EXPECT_EQ(fresh.files.content(in_data("overlay.tmp")), c.temporary_after);
  }
}

// ReplaceFileW can remove the journal and then fail to move the new one in. The new
// journal, complete and flushed in the temporary file, is then put in place; if even
// that fails, the lone temporary file stands for the journal and the next save moves
// it in before writing anything, so no save ever truncates the only copy.
TEST_F(JournalStorage, ASwapThatRemovedTheJournalLosesNothing) {
  for (const bool rename_fails : {false, true}) {
    SCOPED_TRACE(rename_fails ? "the rename fails too" : "the rename works");
    fake::FakeWindows fresh;
    fresh.files.add_directory(data_dir);
    fresh.files.add_file(in_data("overlay.json"), "[\"old\"]");
    fresh.faults.fail_nth(Op::replace_file, 1, error_unable_to_move_replacement);
    if (rename_fails) fresh.faults.fail_nth(Op::rename_new, 1, error_access_denied);
    const System sys = fresh.system();
    const auto saved = save_journal(sys, data_dir, overlay_journal, "[\"new\"]");
    EXPECT_EQ(saved.has_value(), !rename_fails);
    EXPECT_EQ(fresh.faults.calls(Op::rename_new), 1) << "the temporary file is put in place";
    const auto where = rename_fails ? "overlay.tmp" : "overlay.json";
    EXPECT_EQ(fresh.files.content(in_data(where)), "[\"new\"]");
    EXPECT_EQ(journal_pending(sys, data_dir, overlay_journal), true);
    if (!rename_fails) continue;

    ASSERT_TRUE(save_journal(sys, data_dir, overlay_journal, "[\"newer\"]"));
    EXPECT_EQ(fresh.files.content(in_data("overlay.json")), "[\"newer\"]");
    EXPECT_FALSE(fresh.files.exists(in_data("overlay.tmp")));
  }
}

// A journal whose metadata cannot be read is not "no journal": it refuses an apply and
// ends a restore with its error, and a save does not swap anything in around it.
TEST_F(JournalStorage, UnreadableMetadataIsAnErrorNotAbsence) {
  const std::string denied = "Access is denied. (os error 5)";
  for (const auto* unseen : {"overlay.json", "overlay.tmp"}) {
    SCOPED_TRACE(unseen);
    fake::FakeWindows fresh;
    fresh.files.add_directory(data_dir);
    fresh.faults.fail_on_path(Op::get_attributes, in_data(unseen), error_access_denied);
    EXPECT_EQ(journal_pending(fresh.system(), data_dir, overlay_journal).error(), denied);
    EXPECT_EQ(load_journal_bytes(fresh.system(), data_dir, overlay_journal).error(), denied);
    EXPECT_EQ(save_journal(fresh.system(), data_dir, overlay_journal, "[]").error(), denied);
    EXPECT_EQ(fresh.files.tree(data_dir), std::vector<std::string>{});
  }
}

TEST_F(JournalStorage, DeleteRemovesTheJournalAndAStaleTemporaryFile) {
  w.files.add_file(in_data("overlay.json"), "[\"x\"]");
  w.files.add_file(in_data("overlay.tmp"), "[\"x\", \"y\"]");
  ASSERT_TRUE(delete_journal(w.system(), data_dir, overlay_journal));
  EXPECT_EQ(w.files.tree(data_dir), std::vector<std::string>{});
  EXPECT_EQ(delete_journal(w.system(), data_dir, overlay_journal).error(),
            "The system cannot find the file specified. (os error 2)");
}

}  // namespace
}  // namespace mossglow
