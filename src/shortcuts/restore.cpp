#include "shortcuts/restore.hpp"

#include <algorithm>
#include <optional>
#include <vector>

#include "desktop/writes.hpp"
#include "platform/notifications.hpp"
#include "platform/path.hpp"
#include "platform/text.hpp"
#include "shortcuts/icon_change.hpp"
#include "state/backup_journal.hpp"
#include "state/content_hash.hpp"
#include "state/data_directory.hpp"
#include "state/journal_storage.hpp"
#include "steam/restore.hpp"

namespace mossglow {
namespace {

constexpr std::string_view nothing_to_restore = "没有待还原的备份。";
constexpr std::string_view backup_damaged = "备份校验失败";
constexpr std::string_view shortcut_changed = "快捷方式发生变化";
constexpr std::string_view not_on_desktop = "记录的快捷方式不在桌面上，已保留记录";
constexpr std::string_view backup_elsewhere = "记录的备份不在备份目录中，已保留记录";

std::unexpected<std::string> keep(std::string_view reason) {
  return std::unexpected(std::string(reason));
}

bool is_decimal_index(std::string_view text) {
  if (text.empty() || (text.size() > 1 && text.front() == '0')) return false;
  return std::ranges::all_of(text, [](char c) { return c >= '0' && c <= '9'; });
}

// The copy an apply makes is "<index>.<the shortcut's extension>" in the originals
// folder; a journal naming any other file is not followed.
bool is_backup_name(const Record& record, std::string_view originals) {
  if (!is_direct_child(record.backup, originals)) return false;
  const std::string_view name = file_name(record.backup);
  const auto ext = extension(record.path);
  if (!ext || name.size() <= ext->size() || !name.ends_with(*ext)) return false;
  const std::size_t dot = name.size() - ext->size() - 1;
  return name[dot] == '.' && is_decimal_index(name.substr(0, dot));
}

// What one restore knows before it looks at any record.
struct RestoreRun {
  const System& sys;
  const DesktopPlaces& places;
  std::string_view data_directory;
  std::string originals;
};

// Whether the shortcut's bytes are the apply's doing: exactly what it wrote or, while
// its record is not complete, what rewriting between the original and that (either way)
// left when a write stopped. The latter is proven against the new bytes made again from
// the copy of the original and the icon path alone (never from anything on the desktop),
// which must hash to the journalled value: bytes that cannot be proven are never taken
// for the apply's.
bool is_applied(const RestoreRun& run, const Record& record, std::string_view original,
                std::string_view current) {
  if (!record.applied_hash) return false;
  if (hashes_to(current, record.applied_hash)) return true;
  if (record.complete) return false;
  const auto applied = bytes_with_mascot_icon(run.sys, run.data_directory, original,
                                              has_extension(record.path, "url"));
  return applied && hashes_to(*applied, record.applied_hash) &&
         is_interrupted_rewrite(current, original, *applied);
}

// What the restore is to do for one record, once it has looked at its files.
struct Plan {
  enum class Step {
    settle,   // the shortcut is the original already
    rewrite,  // the shortcut is the apply's (or its stopped write): the original goes back
    steam,    // a converted Steam shortcut
  } step = Step::settle;
  std::string path;      // where the shortcut is now
  std::string original;  // the copy's bytes, proven by their hash
  std::string current;   // the shortcut's bytes as found
  std::uint32_t now = 0;
  std::uint32_t wanted = 0;
  SteamPlan steam;
  std::string link;  // a conversion's link, where it is now

  // Whether acting writes bytes that a stop can cut short.
  bool writes() const { return step == Step::rewrite || (step == Step::steam && steam.writes()); }
};

// Looks at one record's files and says what is to be done, or why the record stays in
// the journal. Nothing is written: the restore acts only once the journal says which
// writes may be under way.
Result<Plan> examine(const RestoreRun& run, const Record& record) {
  const System& sys = run.sys;
  if (!has_extension(record.path, "lnk") && !has_extension(record.path, "url")) {
    return keep(not_on_desktop);
  }
  Plan plan;
  auto path = run.places.locate(record.path, not_on_desktop);
  if (!path) return std::unexpected(path.error());
  plan.path = std::move(*path);
  if (!is_backup_name(record, run.originals)) return keep(backup_elsewhere);

  auto original = sys.files.read_file(record.backup);
  if (!original) return std::unexpected(sys.read_text(original.error()));
  plan.original = std::move(*original);
  auto backup_hash = sha256_hex(plan.original);
  if (!backup_hash) return std::unexpected(backup_hash.error());
  if (*backup_hash != record.original_hash) return keep(backup_damaged);

  if (record.replacement_path) {
    // Both files of a conversion are found in the same place, or neither is acted on.
    auto link = run.places.locate(*record.replacement_path, not_on_desktop);
    if (!link) return std::unexpected(link.error());
    plan.link = std::move(*link);
    auto steam = examine_steam_shortcut(
        sys, run.places, {record, plan.path, plan.link, plan.original, run.originals});
    if (!steam) return std::unexpected(steam.error());
    plan.step = Plan::Step::steam;
    plan.steam = *steam;
    return plan;
  }

  const ListedEntry* entry = run.places.entry(plan.path);
  if (entry == nullptr) return sys.failure(Win32Error{error_file_not_found});
  // A folder or a link put in the shortcut's place is not what the apply wrote,
  // whatever it leads to.
  if (entry->is_directory() || entry->is_link()) return keep(shortcut_changed);
  auto current = sys.files.read_file(plan.path);
  if (!current) return std::unexpected(sys.read_text(current.error()));
  plan.current = std::move(*current);
  plan.now = entry->attributes;
  plan.wanted = attributes_after_rewrite(entry->attributes, record.attributes);
  if (plan.current == plan.original) return plan;
  if (!is_applied(run, record, plan.original, plan.current)) return keep(shortcut_changed);
  plan.step = Plan::Step::rewrite;
  return plan;
}

// Carries the plan out. The failure says whether a file may have been written to.
WriteResult<void> act(const RestoreRun& run, const Record& record, const Plan& plan) {
  const System& sys = run.sys;
  switch (plan.step) {
    case Plan::Step::settle:
      // Already the original, perhaps only in the cache (a restore stopped before its
      // flush); a rewrite that stopped before its attributes came back leaves them to
      // give.
      if (auto settled = settle_file(sys, plan.path, plan.now, plan.wanted); !settled) {
        return std::unexpected(WriteFailure{settled.error(), false});
      }
      return {};
    case Plan::Step::rewrite: {
      // The journal names both versions, so a restore stopped at any moment leaves a file
      // the next one proves and finishes.
      const auto written =
          rewrite_in_place(sys, plan.path, plan.current, plan.original, plan.now, plan.wanted);
      if (!written) return std::unexpected(written.error());
      if (*written == InPlace::differs) {
        return std::unexpected(WriteFailure{std::string(shortcut_changed), false});
      }
      return {};
    }
    case Plan::Step::steam:
      return finish_steam_shortcut(
          sys, {record, plan.path, plan.link, plan.original, run.originals}, plan.steam);
  }
  return {};
}

}  // namespace

Result<Section> restore_shortcuts(const System& sys, const DesktopPlaces& places,
                                  std::string_view data_directory) {
  auto loaded = load_backup_journal(sys, data_directory);
  if (!loaded) return std::unexpected(loaded.error());
  if (!loaded->has_value()) return Section{std::string(nothing_to_restore), false};
  std::vector<Record>& records = **loaded;

  const RestoreRun run{sys, places, data_directory, originals_folder(data_directory)};
  std::vector<Result<Plan>> plans;
  plans.reserve(records.size());
  for (const Record& record : records) plans.push_back(examine(run, record));

  // A complete record's file is the apply's exact bytes or someone else's. Before the
  // restore writes over one, the journal says that write may be under way, so that the
  // next restore recognises what a stop leaves of it.
  std::vector<bool> was_complete;
  bool reopened = false;
  for (std::size_t i = 0; i < records.size(); ++i) {
    was_complete.push_back(records[i].complete);
    if (plans[i] && plans[i]->writes() && records[i].complete) {
      records[i].complete = false;
      reopened = true;
    }
  }
  if (reopened) {
    if (auto saved = save_backup_journal(sys, data_directory, records); !saved) {
      for (std::size_t i = 0; i < records.size(); ++i) {
        if (plans[i] && plans[i]->writes()) plans[i] = std::unexpected(saved.error());
      }
    }
  }

  int restored = 0;
  std::vector<Record> kept;
  std::vector<std::string> failure_lines;
  for (std::size_t i = 0; i < records.size(); ++i) {
    Record& record = records[i];
    const WriteResult<void> done =
        plans[i] ? act(run, record, *plans[i])
                 : WriteResult<void>(std::unexpected(WriteFailure{plans[i].error(), false}));
    if (done) {
      ++restored;
      continue;
    }
    // A write that never began leaves the file as the apply finished it.
    if (!done.error().touched) record.complete = was_complete[i];
    kept.push_back(record);
    failure_lines.push_back(failure_line(record.path, done.error().text));
  }

  const Status stored = kept.empty() ? delete_journal(sys, data_directory, backup_journal)
                                     : save_backup_journal(sys, data_directory, kept);
  if (!stored) return std::unexpected(stored.error());

  const std::string suffix =
      write_detailed_record(sys, data_directory, restore_record_title, failure_lines);
  notify_associations_changed(sys.shell);
  return Section{"已还原 " + std::to_string(restored) + " 个，跳过 " + std::to_string(kept.size()) +
                     " 个。" + suffix,
                 !kept.empty()};
}

}  // namespace mossglow
