#include "shortcuts/restore.hpp"

#include <algorithm>
#include <map>
#include <optional>
#include <vector>

#include "platform/notifications.hpp"
#include "platform/path.hpp"
#include "platform/text.hpp"
#include "state/backup_journal.hpp"
#include "state/content_hash.hpp"
#include "state/data_directory.hpp"
#include "state/journal_storage.hpp"
#include "state/placement.hpp"
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

// A rename over the shortcut that stopped halfway leaves the shortcut gone and the
// temporary file beside it holding the new content, whole and flushed: the icon change
// (the journalled applied hash) or the original being put back. Either way the
// original goes back in its place, with the attributes the temporary file was given
// for it. Nothing when the temporary file is not one of those two.
std::optional<Status> finish_interrupted_rename(const System& sys, const Record& record) {
  const std::string temporary = placement_temporary(record.path);
  const auto attributes = sys.files.get_attributes(temporary);
  if (!attributes) return std::nullopt;
  const auto hash = content_hash(sys, temporary);
  if (!hash || (*hash != record.original_hash && *hash != record.applied_hash)) {
    return std::nullopt;
  }
  if (auto cleared = discard_temporary(sys, record.path); !cleared) return cleared;
  if (auto placed = place_copy(sys, record.backup, record.path, *attributes, Placement::create);
      !placed) {
    return placed;
  }
  return Status{};
}

// What one restore knows before it looks at any record.
struct RestoreRun {
  const System& sys;
  const DesktopFolders& desktops;
  std::string originals;
  // Which records left a temporary file beside their shortcut; none when a desktop
  // could not be listed (each is then asked about on its own).
  std::optional<DesktopListing> leftovers;
  // The copies' attributes, from one listing of the originals folder: a copy put back
  // with the attributes it already has needs no further call.
  std::map<std::string, std::uint32_t> copy_attributes;
};

std::optional<std::uint32_t> copy_attributes(const RestoreRun& run, std::string_view backup) {
  const auto it = run.copy_attributes.find(ascii_lower(file_name(backup)));
  if (it == run.copy_attributes.end()) return std::nullopt;
  return it->second;
}

// Undoes one record, or says why it must stay in the journal. Nothing is written
// unless the content hashes prove that the file at the shortcut's place is exactly
// the one the apply wrote, and then only through a temporary file renamed over it.
Status restore_record(const RestoreRun& run, const Record& record) {
  const System& sys = run.sys;
  if (!is_on_a_desktop(record.path, run.desktops) ||
      (!has_extension(record.path, "lnk") && !has_extension(record.path, "url"))) {
    return keep(not_on_desktop);
  }
  if (!is_backup_name(record, run.originals)) return keep(backup_elsewhere);

  auto backup_hash = content_hash(sys, record.backup);
  if (!backup_hash) return std::unexpected(backup_hash.error());
  if (*backup_hash != record.original_hash) return keep(backup_damaged);

  if (record.replacement_path) return restore_steam_shortcut(sys, run.leftovers, record);

  auto attributes = sys.files.get_attributes(record.path);
  if (!attributes && is_not_found(attributes.error())) {
    if (auto finished = finish_interrupted_rename(sys, record); finished) return *finished;
  }
  // A leftover of an apply or restore that stopped while writing beside the shortcut.
  if (auto cleared = discard_listed_temporary(sys, run.leftovers, record.path); !cleared) {
    return cleared;
  }
  if (!attributes) return sys.failure(attributes.error());
  // A link put in the shortcut's place is not what the apply wrote, whatever it leads to.
  if ((*attributes & file_attribute_reparse_point) != 0) return keep(shortcut_changed);
  auto current_hash = content_hash(sys, record.path);
  if (!current_hash) return std::unexpected(current_hash.error());
  if (*current_hash == record.original_hash) return {};  // the original is already in place
  if (!record.applied_hash || *record.applied_hash != *current_hash) return keep(shortcut_changed);

  // The original comes back whole or not at all: a restore stopped at any moment leaves
  // either the file the journal still names or the original.
  if (auto placed = place_copy(sys, record.backup, record.path, *attributes, Placement::replace,
                               copy_attributes(run, record.backup));
      !placed) {
    return placed;
  }
  return {};
}

}  // namespace

Result<Section> restore_shortcuts(const System& sys, const DesktopFolders& desktops,
                                  std::string_view data_directory) {
  auto loaded = load_backup_journal(sys, data_directory);
  if (!loaded) return std::unexpected(loaded.error());
  if (!loaded->has_value()) return Section{std::string(nothing_to_restore), false};

  RestoreRun run{sys, desktops, originals_folder(data_directory), std::nullopt, {}};
  if (auto listing = DesktopListing::read(sys, desktops)) run.leftovers = std::move(*listing);
  if (auto copies = sys.files.list_directory(run.originals)) {
    for (const auto& entry : *copies)
      run.copy_attributes[ascii_lower(entry.name)] = entry.attributes;
  }
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
