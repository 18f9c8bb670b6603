// Whatever stops an apply or a restore (a crash, a power cut that loses, keeps, tears
// or empties what was not flushed, a failed call), at most two restores afterwards give
// back the starting desktops, attributes and Recycle Bin values exactly, and leave no
// journal. One mixed desktop is swept through every change of the apply and of the
// whole restore the window runs.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <sstream>

#include "operations/apply.hpp"
#include "operations/restore.hpp"
#include "recycle/icon_values.hpp"
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

// Shell links, a web and two Steam shortcuts (one hidden, one read-only), a hidden and a
// read-only link,
// plain files (one read-only, one with a Chinese name) and a folder on each desktop, and
// Recycle Bin values of two kinds with one absent.
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
    start_ = new std::string(what_the_user_sees(w));
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
  }
  static void TearDownTestSuite() {
    delete start_;
    delete apply_;
    delete restore_;
    delete applied_;
    delete apply_calls_;
    delete restore_calls_;
  }

  // At most two restores from what the stop left give back the start exactly.
  static void expect_recovered(const Snapshot& snapshot, Stop stop, const std::string& moment) {
    FakeWindows w;
    w.load(snapshot, stop);
    for (int restores = 1; restores <= 2; ++restores) {
      press_restore(w);
      if (what_the_user_sees(w) == *start_ && journals_left(w).empty()) return;
    }
    ADD_FAILURE() << moment << "\nstill differs after two restores; journals left: "
                  << ::testing::PrintToString(journals_left(w)) << "\nnow:\n"
                  << what_the_user_sees(w) << "start:\n"
                  << *start_;
  }

  static void sweep(const std::vector<Snapshot>& history, std::string_view what) {
    for (std::size_t i = 0; i < history.size(); ++i) {
      for (const Stop stop : fake::all_stops) {
        expect_recovered(history[i], stop,
                         std::string(fake::stop_name(stop)) + " during the " + std::string(what) +
                             " after " + std::to_string(i) + ": " + history[i].describe());
      }
    }
  }

  // The n-th mutating call fails (ReplaceFileW after it removed the journal, anything
  // else before it changed anything); the run goes on, and is stopped by a crash at each
  // of the next few changes, or not at all.
  static void sweep_failures(const std::vector<Call>& calls,
                             const std::function<void(FakeWindows&)>& prepare,
                             const std::function<void(FakeWindows&)>& run, std::string_view what) {
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
        expect_recovered(snapshot, Stop::crash, moment + ", crash after " + snapshot.describe());
      }
      expect_recovered(w.snapshot(), Stop::crash, moment);
    }
  }

  static std::string* start_;
  static std::vector<Snapshot>* apply_;
  static std::vector<Snapshot>* restore_;
  static Snapshot* applied_;
  static std::vector<Call>* apply_calls_;
  static std::vector<Call>* restore_calls_;
};

std::string* RecoverySweep::start_ = nullptr;
std::vector<Snapshot>* RecoverySweep::apply_ = nullptr;
std::vector<Snapshot>* RecoverySweep::restore_ = nullptr;
Snapshot* RecoverySweep::applied_ = nullptr;
std::vector<Call>* RecoverySweep::apply_calls_ = nullptr;
std::vector<Call>* RecoverySweep::restore_calls_ = nullptr;

TEST_F(RecoverySweep, AnApplyStoppedAnywhereIsUndoneExactly) {
  ASSERT_GT(apply_->size(), 100u);
  sweep(*apply_, "apply");
}

TEST_F(RecoverySweep, ARestoreStoppedAnywhereIsFinishedExactly) {
  ASSERT_GT(restore_->size(), 20u);
  sweep(*restore_, "restore");
}

TEST_F(RecoverySweep, AFailedCallDuringTheApplyIsUndoneExactly) {
  sweep_failures(
      *apply_calls_, dress,
      [](FakeWindows& w) { (void)apply_skin(w.system(), both_desktops(), data_dir); }, "apply");
}

TEST_F(RecoverySweep, AFailedCallDuringTheRestoreIsFinishedExactly) {
  sweep_failures(
      *restore_calls_, [](FakeWindows& w) { w.load(*applied_, Stop::crash); }, press_restore,
      "restore");
}

}  // namespace
}  // namespace mossglow
