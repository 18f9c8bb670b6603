#include "shortcuts/restore.hpp"

#include <vector>

#include "main/report.hpp"
#include "shell/notifications.hpp"
#include "state/backup_journal.hpp"
#include "state/content_hash.hpp"
#include "state/data_directory.hpp"
#include "state/journal_storage.hpp"
#include "steam/steam_restore.hpp"

namespace mossglow {
namespace {

constexpr std::string_view nothing_to_restore = "没有待还原的备份。";
constexpr std::string_view backup_damaged = "备份校验失败";
constexpr std::string_view shortcut_changed = "快捷方式发生变化";

// Undoes one record, or says why it must stay in the journal. Nothing is written
// unless the content hashes prove that the file at the shortcut's place is exactly
// the one the apply wrote.
Status restore_record(const System& sys, const Record& record) {
  auto backup_hash = content_hash(sys, record.backup);
  if (!backup_hash) return std::unexpected(backup_hash.error());
  if (*backup_hash != record.original_hash) return std::unexpected(std::string(backup_damaged));

  if (record.replacement_path) return restore_steam_shortcut(sys, record);

  auto current_hash = content_hash(sys, record.path);
  if (!current_hash) return std::unexpected(current_hash.error());
  if (*current_hash == record.original_hash) return {};  // the original is already in place
  if (!record.applied_hash || *record.applied_hash != *current_hash) {
    return std::unexpected(std::string(shortcut_changed));
  }
  if (auto copied = sys.files.copy_file(record.backup, record.path); !copied) {
    return std::unexpected(sys.os_text(copied.error()));
  }
  // The record is about to leave the journal: the original's bytes must be on disk
  // first, or a power cut could leave neither the journal nor the shortcut.
  if (auto flushed = sys.files.flush_file(record.path); !flushed) {
    return std::unexpected(sys.os_text(flushed.error()));
  }
  notify_item_updated(sys.shell, record.path);
  return {};
}

}  // namespace

Result<std::string> restore_shortcuts(const System& sys, std::string_view data_directory) {
  auto loaded = load_backup_journal(sys, data_directory);
  if (!loaded) return std::unexpected(loaded.error());
  if (!loaded->has_value()) return std::string(nothing_to_restore);

  int restored = 0;
  std::vector<Record> kept;
  std::vector<std::string> failure_lines;
  for (const Record& record : **loaded) {
    if (auto done = restore_record(sys, record); done) {
      ++restored;
    } else {
      kept.push_back(record);
      failure_lines.push_back(failure_line(record.path, done.error()));
    }
  }

  const Status stored = kept.empty() ? delete_journal(sys, data_directory, backup_journal.name, backup_journal.temporary)
                                     : save_backup_journal(sys, data_directory, kept);
  if (!stored) return std::unexpected(stored.error());

  const std::string suffix =
      write_detailed_record(sys, data_directory, restore_record_title, failure_lines);
  notify_associations_changed(sys.shell);
  return "已还原 " + std::to_string(restored) + " 个，跳过 " + std::to_string(kept.size()) +
         " 个。" + suffix;
}

}  // namespace mossglow
