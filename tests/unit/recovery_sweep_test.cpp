// Whatever stops an apply or a restore (a crash, a power cut that loses, keeps, tears
// or empties what was not flushed, a failed call), at most two restores afterwards give
// back the starting desktops, attributes and Recycle Bin values exactly, and leave no
// journal; so do they when the first of those restores is stopped too. One mixed
// desktop is swept through every change of the apply and of the whole restore the
// window runs. A shortcut the user changed after the apply is kept as the user left it,
// and so is its record and the copy of its original: the restore that saves the shorter
// journal is swept too.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <sstream>

#include "operations/apply.hpp"
#include "operations/restore.hpp"
#include "recycle/icon_values.hpp"
#include "state/backup_journal.hpp"
#include "state/data_directory.hpp"
#include "steam_fixture.hpp"

namespace mossglow {
namespace {

using namespace testing_support;
using fake::FakeWindows;
using fake::Op;
using fake::Snapshot;
using Call = fake::FaultPlan::Call;
using fake::Stop;

constexpr std::uint32_t archive = file_attribute_archive;
constexpr std::uint32_t hidden = file_attribute_hidden;
constexpr std::uint32_t readonly = file_attribute_readonly;

const std::string edited_shortcut = on_public("Shared.lnk");
constexpr std::string_view users_edit = "the user's own shortcut now";

// Shell links, a web and two Steam shortcuts (one hidden, one read-only), a hidden and a
// read-only link, plain files (one read-only, one with no attribute at all, one with a
// Chinese name) and folders (one read-only) on each desktop, and Recycle Bin values of
// two kinds with one absent.
void dress(FakeWindows& w) {
  install_steam(w);
  w.files.add_file(on_user("编辑器.lnk"), link_to("C:\\Editor\\editor.exe"));
  w.files.add_file(on_user("News.URL"), url_to("https://news.example/"));
  w.files.add_file(on_user("Game.url"), url_to("steam://rungameid/570"), archive | hidden);
  w.files.add_file(on_user("Quiet.lnk"), link_to("C:\\Quiet\\q.exe"), archive | hidden);
  w.files.add_file(on_user("Fixed.lnk"), link_to("C:\\Fixed\\f.exe"), archive | readonly);
  w.files.add_file(on_user("笔记.txt"), "notes");
  w.files.add_file(on_user("Locked.doc"), "locked", archive | readonly);
  w.files.add_directory(on_user("Photos"));
  w.files.add_file(on_public("Shared.lnk"), link_to("C:\\Shared\\tool.exe"));
  w.files.add_file(on_public("Other Game.url"), url_to("steam://rungameid/440"),
                   archive | readonly);
  w.files.add_file(on_public("Public.txt"), "public");
  w.files.add_directory(on_public("Tools"));
  w.files.add_directory(on_public("Archive"), file_attribute_directory | readonly);
  w.files.add_file(on_public("Plain.txt"), "plain", file_attribute_normal);
  w.registry.put_value(RegistryRoot::current_user, recycle_icon_subkey, "",
                       {reg_expand_sz, fake::utf16_string_bytes("%SystemRoot%\\imageres.dll,-54")});
  w.registry.put_value(RegistryRoot::current_user, recycle_icon_subkey, "empty",
                       {reg_sz, fake::utf16_string_bytes("C:\\icons\\empty.ico,0")});
}

// Everything the user sees: every entry of both desktops with its attributes and bytes,
// and the Recycle Bin's values with their types and bytes.
std::string what_the_user_sees(const FakeWindows& w) {
  std::ostringstream out;
  for (const auto desktop : {fake::user_desktop, fake::public_desktop}) {
    for (const std::string& path : w.files.tree(desktop)) {
      out << path << " " << w.files.attributes(path).value_or(0) << " "
          << w.files.content(path).value_or("<folder>") << "\n";
    }
  }
  for (const char* name : {"", "empty", "full"}) {
    const auto value = w.registry.value(RegistryRoot::current_user, recycle_icon_subkey, name);
    out << "value '" << name << "' ";
    if (value) {
      out << value->type << ":";
      for (const auto byte : value->bytes) out << int{byte} << ",";
    } else {
      out << "absent";
    }
    out << "\n";
  }
  return out.str();
}

// What the user sees, then each journal file left with its bytes and, for the backup
// journal, the copy each record names (the only place its original still lives).
std::string end_state(const FakeWindows& w) {
  std::string state = what_the_user_sees(w);
  for (const JournalFiles& journal : all_journals) {
    for (const auto name : {journal.name, journal.temporary}) {
      if (auto bytes = w.files.content(in_data(name))) state += std::string(name) + ": " + *bytes;
    }
  }
  const auto records = parse_backup_journal(w.files.content(in_data("backup.json")).value_or(""));
  for (const Record& record : records.value_or(std::vector<Record>{})) {
    state += "\n" + record.backup + ": " + w.files.content(record.backup).value_or("<missing>");
  }
  return state;
}

std::vector<std::string> journals_left(const FakeWindows& w) {
  std::vector<std::string> left;
  for (const JournalFiles& journal : all_journals) {
    for (const auto name : {journal.name, journal.temporary}) {
      if (w.files.exists(in_data(name))) left.emplace_back(name);
    }
  }
  return left;
}

// The whole restore, as the window's button runs it.
void press_restore(FakeWindows& w) { (void)restore(w.system()); }

class RecoverySweep : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    FakeWindows w;
    dress(w);
    start_ = new std::string(end_state(w));
    w.record_history(true);
    const auto applied = apply_skin(w.system(), both_desktops(), data_dir);
    ASSERT_TRUE(applied) << applied.error();
    apply_ = new std::vector<Snapshot>(w.history());
    apply_calls_ = new std::vector<Call>(w.faults.mutating_calls());

    w.record_history(false);
    applied_ = new Snapshot(w.snapshot("applied"));
    FakeWindows restoring;
    restoring.load(*applied_, Stop::crash);
    restoring.record_history(true);
    press_restore(restoring);
    restore_ = new std::vector<Snapshot>(restoring.history());
    restore_calls_ = new std::vector<Call>(restoring.faults.mutating_calls());

    FakeWindows editing;
    editing.load(*applied_, Stop::crash);
    editing.files.add_file(edited_shortcut, users_edit);
    edited_ = new Snapshot(editing.snapshot("edited"));
    editing.record_history(true);
    press_restore(editing);
    edited_restore_ = new std::vector<Snapshot>(editing.history());
    edited_calls_ = new std::vector<Call>(editing.faults.mutating_calls());
    edited_end_ = new std::string(end_state(editing));
    // The end the sweep holds every stopped restore to: the user's shortcut as the user
    // left it, one record for it, and the copy of its original.
    EXPECT_EQ(editing.files.content(edited_shortcut), users_edit);
    const auto kept =
        parse_backup_journal(editing.files.content(in_data("backup.json")).value_or(""));
    ASSERT_TRUE(kept && kept->size() == 1u);
    EXPECT_EQ((*kept)[0].path, edited_shortcut);
    EXPECT_EQ(editing.files.content((*kept)[0].backup), link_to("C:\\Shared\\tool.exe"));
  }
  static void TearDownTestSuite() {
    delete start_;
    delete apply_;
    delete restore_;
    delete applied_;
    delete apply_calls_;
    delete restore_calls_;
    delete edited_;
    delete edited_restore_;
    delete edited_calls_;
    delete edited_end_;
  }

  // At most two restores from what the stop left reach the expected end exactly: the
  // start, or with a changed shortcut the state an uninterrupted restore leaves.
  static void expect_recovered(const Snapshot& snapshot, Stop stop, const std::string& moment,
                               const std::string& expected) {
    FakeWindows w;
    w.load(snapshot, stop);
    for (int restores = 1; restores <= 2; ++restores) {
      press_restore(w);
      if (end_state(w) == expected) return;
    }
    ADD_FAILURE() << moment << "\nstill differs after two restores; journals left: "
                  << ::testing::PrintToString(journals_left(w)) << "\nnow:\n"
                  << end_state(w) << "\nexpected:\n"
                  << expected;
  }

  // Every stop of `history` (under each kind in turn) is followed by a restore that is
  // stopped as well, after each change it makes (by a crash, or by the power cut of the
  // kind after the first one's, in turn): from there too, at most two restores reach the
  // expected end.
  static void sweep_double_stops(const std::vector<Snapshot>& history, std::string_view what,
                                 const std::string& expected) {
    for (std::size_t i = 0; i < history.size(); ++i) {
      const Stop first = fake::all_stops[i % fake::all_stops.size()];
      FakeWindows w;
      w.load(history[i], first);
      w.record_history(true);
      press_restore(w);
      const std::vector<Snapshot>& recovering = w.history();
      for (std::size_t j = 0; j < recovering.size(); ++j) {
        const Stop second = fake::all_stops[(i + j + 1) % fake::all_stops.size()];
        expect_recovered(recovering[j], second,
                         std::string(fake::stop_name(first)) + " during the " + std::string(what) +
                             " after " + std::to_string(i) + ": " + history[i].describe() + ", " +
                             std::string(fake::stop_name(second)) + " during the restore after " +
                             std::to_string(j) + ": " + recovering[j].describe(),
                         expected);
      }
    }
  }

  static void sweep(const std::vector<Snapshot>& history, std::string_view what,
                    const std::string& expected) {
    for (std::size_t i = 0; i < history.size(); ++i) {
      for (const Stop stop : fake::all_stops) {
        expect_recovered(history[i], stop,
                         std::string(fake::stop_name(stop)) + " during the " + std::string(what) +
                             " after " + std::to_string(i) + ": " + history[i].describe(),
                         expected);
      }
    }
  }

  // The n-th mutating call fails (ReplaceFileW after it removed the journal, anything
  // else before it changed anything); the run goes on, and is stopped by a crash at each
  // of the next few changes, or not at all.
  static void sweep_failures(const std::vector<Call>& calls,
                             const std::function<void(FakeWindows&)>& prepare,
                             const std::function<void(FakeWindows&)>& run, std::string_view what,
                             const std::string& expected) {
    for (std::size_t nth = 1; nth <= calls.size(); ++nth) {
      const Call& call = calls[nth - 1];
      FakeWindows w;
      prepare(w);
      const int failing = w.faults.mutations() + static_cast<int>(nth);
      w.faults.fail_mutation(static_cast<int>(nth), call.op == Op::replace_file
                                                        ? error_unable_to_move_replacement
                                                        : error_access_denied);
      w.record_history(true);
      run(w);
      const std::string moment = std::string(what) + " whose call " + std::to_string(nth) + " (" +
                                 call.describe() + ") failed";
      for (const Snapshot& snapshot : w.history()) {
        if (snapshot.call < failing || snapshot.call > failing + 3) continue;
        expect_recovered(snapshot, Stop::crash, moment + ", crash after " + snapshot.describe(),
                         expected);
      }
      expect_recovered(w.snapshot(), Stop::crash, moment, expected);
    }
  }

  static std::string* start_;
  static std::vector<Snapshot>* apply_;
  static std::vector<Snapshot>* restore_;
  static Snapshot* applied_;
  static std::vector<Call>* apply_calls_;
  static std::vector<Call>* restore_calls_;
  // The applied desktops with one shortcut changed by the user, and their restore.
  static Snapshot* edited_;
  static std::vector<Snapshot>* edited_restore_;
  static std::vector<Call>* edited_calls_;
  static std::string* edited_end_;
};

std::string* RecoverySweep::start_ = nullptr;
std::vector<Snapshot>* RecoverySweep::apply_ = nullptr;
std::vector<Snapshot>* RecoverySweep::restore_ = nullptr;
Snapshot* RecoverySweep::applied_ = nullptr;
std::vector<Call>* RecoverySweep::apply_calls_ = nullptr;
std::vector<Call>* RecoverySweep::restore_calls_ = nullptr;
Snapshot* RecoverySweep::edited_ = nullptr;
std::vector<Snapshot>* RecoverySweep::edited_restore_ = nullptr;
std::vector<Call>* RecoverySweep::edited_calls_ = nullptr;
std::string* RecoverySweep::edited_end_ = nullptr;

TEST_F(RecoverySweep, AnApplyStoppedAnywhereIsUndoneExactly) {
  ASSERT_GT(apply_->size(), 100u);
  sweep(*apply_, "apply", *start_);
}

TEST_F(RecoverySweep, ARestoreStoppedAnywhereIsFinishedExactly) {
  ASSERT_GT(restore_->size(), 20u);
  sweep(*restore_, "restore", *start_);
}

TEST_F(RecoverySweep, AStopWhileRecoveringFromAStoppedApplyIsRecoveredExactly) {
  sweep_double_stops(*apply_, "apply", *start_);
}

TEST_F(RecoverySweep, AStopWhileRecoveringFromAStoppedRestoreIsRecoveredExactly) {
  sweep_double_stops(*restore_, "restore", *start_);
}

TEST_F(RecoverySweep, AFailedCallDuringTheApplyIsUndoneExactly) {
  sweep_failures(
      *apply_calls_, dress,
      [](FakeWindows& w) { (void)apply_skin(w.system(), both_desktops(), data_dir); }, "apply",
      *start_);
}

TEST_F(RecoverySweep, AFailedCallDuringTheRestoreIsFinishedExactly) {
  sweep_failures(
      *restore_calls_, [](FakeWindows& w) { w.load(*applied_, Stop::crash); }, press_restore,
      "restore", *start_);
}

// The restore keeps the changed shortcut and saves a journal of its record alone; stopped
// or failing anywhere, it still ends there, with the copy of the original intact.
TEST_F(RecoverySweep, ARestoreThatKeepsAChangedShortcutEndsWithItsRecordWhateverStopsIt) {
  sweep(*edited_restore_, "restore keeping a changed shortcut", *edited_end_);
  sweep_failures(
      *edited_calls_, [](FakeWindows& w) { w.load(*edited_, Stop::crash); }, press_restore,
      "restore keeping a changed shortcut", *edited_end_);
}

}  // namespace
}  // namespace mossglow
