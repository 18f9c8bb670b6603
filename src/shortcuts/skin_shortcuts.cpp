#include "shortcuts/skin_shortcuts.hpp"

#include <algorithm>
#include <cstdint>
#include <optional>

#include "desktop/writes.hpp"
#include "platform/path.hpp"
#include "platform/text.hpp"
#include "shortcuts/icon_change.hpp"
#include "state/content_hash.hpp"
#include "state/detailed_record.hpp"
#include "state/journal_storage.hpp"
#include "steam/conversion.hpp"
#include "steam/url_reader.hpp"

namespace mossglow {
namespace {

constexpr std::string_view changed_during_backup = "原快捷方式在备份过程中发生变化，已保留原文件";
constexpr std::string_view changed_before_write = "原快捷方式在换肤过程中发生变化，已保留原文件";

// One shortcut on its way through a batch.
struct Item {
  std::string path;
  std::size_t index = 0;                     // in the shortcut list; names the backup copy
  const ListedEntry* entry = nullptr;        // as the scan listed it
  std::optional<std::size_t> record;         // its record in the journal, once appended
  std::optional<std::string> steam_address;  // a Steam game shortcut, to be converted
  std::string original;                      // the shortcut's bytes as backed up
  std::string applied;                       // the shortcut's bytes once it shows the mascot
  std::optional<WriteFailure> failure;
};

void record_changed(SkinRun& run, std::size_t record) {
  run.journal_text.put(record, backup_journal_element(run.journal[record]));
}

// Every save says what has become of the writes that are over since the one before.
Status save(SkinRun& run) {
  run.outcomes.write_into(run.journal, run.journal_text, backup_journal_element);
  return save_journal(run.sys, run.data_directory, backup_journal, run.journal_text.text());
}

WriteFailure untouched(std::string text) { return WriteFailure{std::move(text), false}; }

// What the shortcut is: its Steam address when it opens a Steam game (checked against
// a name clash before anything is journalled), or else its bytes with the mascot icon.
Status decide(SkinRun& run, Item& item, std::string_view original) {
  const System& sys = run.sys;
  const bool is_url = has_extension(item.path, "url");
  if (is_url) {
    auto text = decode_url_file(sys, original);
    if (!text) return std::unexpected(text.error());
    auto address = find_steam_address(*text);
    if (!address) return std::unexpected(address.error());
    item.steam_address = std::move(*address);
    if (item.steam_address) return check_steam_name_clash(sys, item.path, run.desktops);
  }
  auto applied = bytes_with_mascot_icon(sys, run.data_directory, original, is_url);
  if (!applied) return std::unexpected(applied.error());
  item.applied = std::move(*applied);
  return {};
}

// Keeps a copy of the original, works out what the shortcut becomes and appends its
// record to the journal (not yet saved). Nothing on the desktop is written.
Status back_up(SkinRun& run, Item& item) {
  const System& sys = run.sys;
  // Windows would reach another entry through this name, or the journal cannot hold
  // it: the shortcut fails here, alone.
  if (auto reason = unsafe_name_reason(file_name(item.path))) {
    return std::unexpected(std::string(*reason));
  }
  if (!is_valid_utf8(item.path)) return std::unexpected(std::string(invalid_path_text));
  item.entry = run.listing.find(item.path);
  if (item.entry == nullptr) return sys.failure(Win32Error{error_file_not_found});
  // Refused before anything is read or copied: no shortcut is this large.
  if (item.entry->size > max_read_bytes) return std::unexpected(std::string(file_too_large_text));

  auto original = sys.files.read_file(item.path);
  if (!original) return std::unexpected(sys.read_text(original.error()));
  item.original = std::move(*original);
  auto original_hash = sha256_hex(item.original);
  if (!original_hash) return std::unexpected(original_hash.error());
  if (auto decided = decide(run, item, item.original); !decided) return decided;
  const std::string ext(extension(item.path).value_or(""));
  // The copy is the only other place the original lives once the shortcut is changed
  // or deleted: it is on disk before the journal points at it.
  auto backup = run.originals.keep_copy(item.index, ext, item.original);
  if (!backup) return std::unexpected(backup.error());
  // Read again: what the copy holds is exactly what the shortcut held throughout.
  auto current_hash = content_hash(sys, item.path);
  if (!current_hash) return std::unexpected(current_hash.error());
  if (*current_hash != *original_hash) return std::unexpected(std::string(changed_during_backup));

  Record record;
  record.path = item.path;
  record.backup = std::move(*backup);
  record.original_hash = std::move(*original_hash);
  if (!item.steam_address) {
    auto applied_hash = sha256_hex(item.applied);
    if (!applied_hash) return std::unexpected(applied_hash.error());
    record.applied_hash = std::move(*applied_hash);
  }
  const std::uint32_t attributes = item.entry->attributes & settable_attributes;
  if (attributes != file_attribute_archive) record.attributes = attributes;
  item.record = run.journal.size();
  run.journal.push_back(std::move(record));
  record_changed(run, *item.record);
  return {};
}

void convert(SkinRun& run, Item& item) {
  const SteamEntry entry{*item.steam_address, item.path,     item.index,
                         run.originals,       run.icon_path, run.desktops};
  Record& record = run.journal[*item.record];
  const auto done = convert_steam_shortcut(run.sys, entry, record, [&run, &item] {
    record_changed(run, *item.record);
    return save(run);
  });
  if (!done) item.failure = done.error();
}

void rewrite(SkinRun& run, Item& item) {
  const std::uint32_t attributes = item.entry->attributes;
  const auto written =
      rewrite_in_place(run.sys, item.path, item.original, item.applied, attributes, attributes);
  if (!written) {
    item.failure = written.error();
  } else if (*written == InPlace::differs) {
    // Changed since it was backed up (an installer, a sync client): the change is kept.
    item.failure = untouched(std::string(changed_before_write));
  }
}

void skin_batch(SkinRun& run, std::vector<Item>& batch) {
  for (Item& item : batch) {
    if (auto backed_up = back_up(run, item); !backed_up) {
      item.failure = untouched(backed_up.error());
    }
  }
  // One save records the whole batch, the new bytes' hashes included, before any of
  // its shortcuts is touched. A shortcut whose record did not reach the disk is left
  // alone, and its record out of the next save.
  const auto journalled = [](const Item& item) { return item.record.has_value(); };
  if (std::ranges::any_of(batch, journalled)) {
    if (auto saved = save(run); !saved) {
      for (Item& item : batch) {
        if (!item.failure && journalled(item)) item.failure = untouched(saved.error());
      }
    }
  }

  for (Item& item : batch) {
    if (!item.failure) {
      if (item.steam_address) {
        convert(run, item);
      } else {
        rewrite(run, item);
      }
    }
    if (item.failure) {
      run.failure_lines.push_back(failure_line(item.path, item.failure->text));
      if (item.record && !item.failure->touched) run.outcomes.untouched.push_back(*item.record);
      continue;
    }
    ++run.updated;
    run.outcomes.finished.push_back(*item.record);
  }
}

}  // namespace

void skin_shortcuts(SkinRun& run, const std::vector<std::string>& shortcuts) {
  for_each_growing_batch(shortcuts.size(), [&](std::size_t begin, std::size_t end) {
    std::vector<Item> batch;
    for (std::size_t index = begin; index < end; ++index) {
      Item item;
      item.path = shortcuts[index];
      item.index = index;
      batch.push_back(std::move(item));
    }
    skin_batch(run, batch);
  });
  if (!run.outcomes.pending()) return;
  // The last batch's outcome. A journal with no record left names nothing to restore.
  // A failure here leaves the records as the batch's save wrote them, which a restore
  // settles all the same.
  if (run.outcomes.leave_nothing(run.journal_text)) {
    (void)delete_journal(run.sys, run.data_directory, backup_journal);
  } else {
    (void)save(run);
  }
}

}  // namespace mossglow
