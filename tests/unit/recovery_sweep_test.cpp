// Whatever stops an apply or a restore (a crash, a power cut that loses, keeps, tears
// or empties what was not flushed, a failed call), at most two restores afterwards give
// back the starting desktops, attributes and Recycle Bin values exactly, and leave no
// journal; so do they when the first of those restores is stopped too. One mixed
// desktop is swept through every change of the apply and of the whole restore the
// window runs. Files the user changed after the apply are kept as the user left them,
// and so are their records and the copies of their originals: the restores that save
// the shorter journals are swept too, from the journals this version writes and from
// those an earlier one wrote (no record marked complete, no link's bytes kept).
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <sstream>

#include "operations/apply.hpp"
#include "operations/restore.hpp"
#include "overlay/journal.hpp"
#include "platform/text.hpp"
#include "recycle/icon_values.hpp"
#include "state/backup_journal.hpp"
#include "state/content_hash.hpp"
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

constexpr std::string_view users_edit = "the user's own shortcut now";
constexpr std::string_view users_link = "the user's own link";

// Shell links, a web and two Steam shortcuts (one hidden, one read-only), a hidden and a
// read-only link, plain files (one read-only, one with no attribute at all, one with a
// Chinese name) and folders (one read-only) on each desktop, and Recycle Bin values of
// two kinds with one absent. Some names only look like short aliases (Web~1.URL).
void dress(FakeWindows& w) {
  install_steam(w);
  w.files.add_file(on_user("编辑器.lnk"), link_to("C:\\Editor\\editor.exe"));
  w.files.add_file(on_user("Web~1.URL"), url_to("https://news.example/"));
  w.files.add_file(on_user("Game.url"), url_to("steam://rungameid/570"), archive | hidden);
  w.files.add_file(on_user("SETUP~1.LNK"), link_to("C:\\Quiet\\q.exe"), archive | hidden);
  w.files.add_file(on_user("Fixed.lnk"), link_to("C:\\Fixed\\f.exe"), archive | readonly);
  w.files.add_file(on_user("笔记.txt"), "notes");
  w.files.add_file(on_user("draft~2.doc"), "locked", archive | readonly);
  w.files.add_directory(on_user("Fotos~3"));
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

    edited_ = meddle(/*earlier_journals=*/false);
    edited_earlier_ = meddle(/*earlier_journals=*/true);
  }
  static void TearDownTestSuite() {
    delete start_;
    delete apply_;
    delete restore_;
    delete applied_;
    delete apply_calls_;
    delete restore_calls_;
    delete edited_;
    delete edited_earlier_;
  }

  // The applied desktops with files the user changed since, and their restore.
  struct Meddled {
    Snapshot start;
    std::vector<Snapshot> restore;
    std::vector<Call> calls;
    std::string end;
  };

  // The user's changes after the apply: a shortcut made anew, a dressed .url cut short
  // by hand, files of the user's own where an overlay link or a Steam link was (links cut
  // short while what they replaced is still hidden or gone), and links made again of
  // covered items as the shell makes them now. None of them may be taken for the
  // program's, whether the journals mark the apply's writes complete or were written by
  // an earlier version that marks nothing (then the proofs of stopped writes must tell
  // them apart).
  static Meddled* meddle(bool earlier_journals) {
    FakeWindows w;
    w.load(*applied_, Stop::crash);
    std::vector<std::string> kept_backup{on_public("Shared.lnk"), on_user("Web~1.URL")};
    std::vector<std::string> kept_overlay{on_user("笔记.txt")};
    std::vector<std::string> changed{on_public("Shared.lnk"), on_user("Web~1.URL"),
                                     on_user("笔记.txt.lnk")};
    w.files.add_file(on_public("Shared.lnk"), users_edit);
    std::string web = w.files.content(on_user("Web~1.URL")).value_or("");
    w.files.add_file(on_user("笔记.txt.lnk"), users_link);
    if (!earlier_journals) {
      // Its last line deleted: a prefix of what the apply wrote, longer than the original.
      web.erase(web.rfind("IconIndex"));
      // Cut short while the .url it replaced is gone: not a stop of the program's, whose
      // records say the link was whole.
      const std::string game = w.files.content(on_user("Game.lnk")).value_or("");
      w.files.add_file(on_user("Game.lnk"), game.substr(0, game.size() / 2));
      // The same for a covering link while its item is hidden.
      const std::string cover = w.files.content(on_public("Public.txt.lnk")).value_or("");
      w.files.add_file(on_public("Public.txt.lnk"), cover.substr(0, cover.size() / 2));
      kept_backup.push_back(on_user("Game.url"));
      kept_overlay.push_back(on_public("Public.txt"));
      changed.push_back(on_user("Game.lnk"));
      changed.push_back(on_public("Public.txt.lnk"));
    } else {
      web.resize(10);
      // Links made again of covered items, as the shell makes them now: one where the
      // journal keeps no bytes (made again, the link's are not the apply's), and one
      // whose record a hand names those very bytes (they are not what it recorded).
      const auto made_now = [&w](const std::string& item) {
        return w.shell
            .new_link_bytes(NewLink{item, std::nullopt, std::nullopt,
                                    std::string(testing_support::icon_path), 0})
            .value();
      };
      const std::string draft_link = made_now(on_user("draft~2.doc"));
      earlier_versions_journals(w, {{on_user("draft~2.doc"), draft_link}});
      w.files.add_file(on_public("Public.txt.lnk"), made_now(on_public("Public.txt")));
      w.files.add_file(on_user("draft~2.doc.lnk"), draft_link);
      w.files.add_file(on_user("Game.lnk"), users_link);
      kept_backup.push_back(on_user("Game.url"));
      kept_overlay.push_back(on_public("Public.txt"));
      kept_overlay.push_back(on_user("draft~2.doc"));
      changed.push_back(on_public("Public.txt.lnk"));
      changed.push_back(on_user("draft~2.doc.lnk"));
      changed.push_back(on_user("Game.lnk"));
    }
    w.files.add_file(on_user("Web~1.URL"), web);
    std::vector<std::optional<std::string>> as_left;
    for (const std::string& path : changed) as_left.push_back(w.files.content(path));

    auto* meddled = new Meddled{w.snapshot("edited"), {}, {}, {}};
    w.record_history(true);
    press_restore(w);
    meddled->restore = w.history();
    meddled->calls = w.faults.mutating_calls();
    meddled->end = end_state(w);
    // The end the sweep holds every stopped restore to: each changed file as the user
    // left it, a record for each, and the copies of the originals.
    for (std::size_t i = 0; i < changed.size(); ++i) {
      EXPECT_EQ(w.files.content(changed[i]), as_left[i]) << changed[i];
    }
    const auto paths = [](const auto& records, auto member) {
      std::vector<std::string> named;
      for (const auto& record : records) named.push_back(record.*member);
      std::ranges::sort(named);
      return named;
    };
    std::ranges::sort(kept_backup);
    std::ranges::sort(kept_overlay);
    const auto backup = parse_backup_journal(w.files.content(in_data("backup.json")).value_or(""));
    const auto overlay =
        parse_overlay_journal(w.files.content(in_data("overlay.json")).value_or(""));
    EXPECT_EQ(paths(backup.value_or(std::vector<Record>{}), &Record::path), kept_backup);
    EXPECT_EQ(paths(overlay.value_or(std::vector<Overlay>{}), &Overlay::original), kept_overlay);
    for (const Record& record : backup.value_or(std::vector<Record>{})) {
      EXPECT_EQ(sha256_hex(w.files.content(record.backup).value_or("")), record.original_hash);
    }
    return meddled;
  }

  // The journals as the previous version wrote them (no record complete, no bytes of a
  // link kept with its record), but for the bytes a hand wrote into some records.
  static void earlier_versions_journals(FakeWindows& w,
                                        const std::map<std::string, std::string>& hand_made) {
    auto backup = parse_backup_journal(w.files.content(in_data("backup.json")).value_or(""));
    auto overlay = parse_overlay_journal(w.files.content(in_data("overlay.json")).value_or(""));
    ASSERT_TRUE(backup && overlay);
    for (Record& record : *backup) record.complete = false;
    for (Overlay& record : *overlay) {
      record.complete = false;
      record.shortcut_bytes.reset();
      if (const auto bytes = hand_made.find(record.original); bytes != hand_made.end()) {
        record.shortcut_bytes = base64_encode(bytes->second);
      }
    }
    w.files.add_file(in_data("backup.json"), serialize_backup_journal(*backup).value());
    w.files.add_file(in_data("overlay.json"), serialize_overlay_journal(*overlay).value());
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
      // Stopped by a crash or, in turn, by each kind of power cut.
      std::size_t turn = nth;
      const auto next_stop = [&turn] { return fake::all_stops[turn++ % fake::all_stops.size()]; };
      for (const Snapshot& snapshot : w.history()) {
        if (snapshot.call < failing || snapshot.call > failing + 3) continue;
        const Stop stop = next_stop();
        expect_recovered(
            snapshot, stop,
            moment + ", " + std::string(fake::stop_name(stop)) + " after " + snapshot.describe(),
            expected);
      }
      const Stop stop = next_stop();
      expect_recovered(w.snapshot(), stop, moment + ", then " + std::string(fake::stop_name(stop)),
                       expected);
    }
  }

  static std::string* start_;
  static std::vector<Snapshot>* apply_;
  static std::vector<Snapshot>* restore_;
  static Snapshot* applied_;
  static std::vector<Call>* apply_calls_;
  static std::vector<Call>* restore_calls_;
  static Meddled* edited_;
  static Meddled* edited_earlier_;
};

std::string* RecoverySweep::start_ = nullptr;
std::vector<Snapshot>* RecoverySweep::apply_ = nullptr;
std::vector<Snapshot>* RecoverySweep::restore_ = nullptr;
Snapshot* RecoverySweep::applied_ = nullptr;
std::vector<Call>* RecoverySweep::apply_calls_ = nullptr;
std::vector<Call>* RecoverySweep::restore_calls_ = nullptr;
RecoverySweep::Meddled* RecoverySweep::edited_ = nullptr;
RecoverySweep::Meddled* RecoverySweep::edited_earlier_ = nullptr;

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

// The restore keeps what the user changed and saves a journal of those records alone;
// stopped or failing anywhere, it still ends there, with the copies of the originals
// intact, from the journals of this version and of the one before.
TEST_F(RecoverySweep, ARestoreThatKeepsWhatTheUserChangedEndsWithItsRecordsWhateverStopsIt) {
  for (const Meddled* meddled : {edited_, edited_earlier_}) {
    const std::string what = meddled == edited_ ? "restore keeping the user's changes"
                                                : "restore of earlier journals keeping changes";
    sweep(meddled->restore, what, meddled->end);
    sweep_failures(
        meddled->calls, [meddled](FakeWindows& w) { w.load(meddled->start, Stop::crash); },
        press_restore, what, meddled->end);
  }
}

}  // namespace
}  // namespace mossglow
