#include "shortcuts/restore.hpp"

#include <algorithm>
#include <optional>
#include <vector>

#include "platform/notifications.hpp"
#include "platform/path.hpp"
#include "platform/text.hpp"
#include "shortcuts/icon_change.hpp"
#include "state/backup_journal.hpp"
#include "state/content_hash.hpp"
#include "state/data_directory.hpp"
#include "state/desktop_writes.hpp"
#include "state/journal_storage.hpp"
#include "steam/restore.hpp"

namespace mossglow {
namespace {

constexpr std::string_view nothing_to_restore = "没有待还原的备份。";
constexpr std::string_view backup_damaged = "备份校验失败";
constexpr std::string_view shortcut_changed = "快捷方式发生变化";
constexpr std::string_view not_on_desktop = "记录的快捷方式不在桌面上，已保留记录";
constexpr std::string_view backup_elsewhere = "记录的备份不在备份目录中，已保留记录";

Status keep(std::string_view reason) { return std::unexpected(std::string(reason)); }

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

// Whether the shortcut's bytes are the apply's doing: exactly what it wrote, or what
// rewriting between the original and that (either way) left when a write stopped. The
// latter is proven against the new bytes made again from the original, which must hash
// to the journalled value: bytes that cannot be proven are never taken for the apply's.
bool is_applied(const RestoreRun& run, const Record& record, std::string_view original,
                std::string_view current) {
  if (!record.applied_hash) return false;
  if (hashes_to(current, record.applied_hash)) return true;
  const auto applied = bytes_with_mascot_icon(run.sys, run.data_directory, original,
                                              has_extension(record.path, "url"));
  return applied && hashes_to(*applied, record.applied_hash) &&
         is_interrupted_rewrite(current, original, *applied);
}

// Undoes one record, or says why it must stay in the journal. Nothing is written
// unless the content hashes prove that the file at the shortcut's place is the one the
// apply wrote (or its interrupted write), and then only by rewriting it in place.
Status restore_record(const RestoreRun& run, const Record& record) {
  const System& sys = run.sys;
  if (!has_extension(record.path, "lnk") && !has_extension(record.path, "url")) {
    return keep(not_on_desktop);
  }
  auto path = run.places.locate(record.path, not_on_desktop);
  if (!path) return std::unexpected(path.error());
  if (!is_backup_name(record, run.originals)) return keep(backup_elsewhere);

  auto original = sys.files.read_file(record.backup);
  if (!original) return std::unexpected(sys.read_text(original.error()));
  auto backup_hash = sha256_hex(*original);
  if (!backup_hash) return std::unexpected(backup_hash.error());
  if (*backup_hash != record.original_hash) return keep(backup_damaged);

  if (record.replacement_path) {
    // Both files of a conversion are found in the same place, or neither is acted on.
    auto link = run.places.locate(*record.replacement_path, not_on_desktop);
    if (!link) return std::unexpected(link.error());
    return restore_steam_shortcut(sys, run.places,
                                  {record, *path, *link, *original, run.originals});
  }

  const ListedEntry* entry = run.places.entry(*path);
  if (entry == nullptr) return sys.failure(Win32Error{error_file_not_found});
  // A folder or a link put in the shortcut's place is not what the apply wrote,
  // whatever it leads to.
  if (entry->is_directory() || entry->is_link()) return keep(shortcut_changed);
  auto current = sys.files.read_file(*path);
  if (!current) return std::unexpected(sys.read_text(current.error()));

  const std::uint32_t wanted = attributes_after_rewrite(entry->attributes, record.attributes);
  if (*current == *original) {
    // Already the original, perhaps only in the cache (a restore stopped before its
    // flush), so it is flushed before its record goes; a rewrite that stopped before its
    // attributes came back leaves them to give.
    if (auto durable = make_durable(sys, *path, entry->attributes); !durable) return durable;
    if ((entry->attributes & settable_attributes) != wanted) {
      if (auto set = sys.files.set_attributes(*path, attribute_word(wanted)); !set) {
        return sys.failure(set.error());
      }
    }
    return {};
  }
  if (!is_applied(run, record, *original, *current)) return keep(shortcut_changed);
  // The journal names both versions, so a restore stopped at any moment leaves a file
  // the next one proves and finishes.
  return rewrite_in_place(sys, *path, *original, entry->attributes, wanted);
}

}  // namespace

Result<Section> restore_shortcuts(const System& sys, const DesktopPlaces& places,
                                  std::string_view data_directory) {
  auto loaded = load_backup_journal(sys, data_directory);
  if (!loaded) return std::unexpected(loaded.error());
  if (!loaded->has_value()) return Section{std::string(nothing_to_restore), false};

  const RestoreRun run{sys, places, data_directory, originals_folder(data_directory)};
  int restored = 0;
  std::vector<Record> kept;
  std::vector<std::string> failure_lines;
  for (const Record& record : **loaded) {
    if (auto done = restore_record(run, record); done) {
      ++restored;
    } else {
      kept.push_back(record);
      failure_lines.push_back(failure_line(record.path, done.error()));
    }
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
