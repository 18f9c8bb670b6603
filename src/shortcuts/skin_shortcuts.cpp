#include "shortcuts/skin_shortcuts.hpp"

#include <algorithm>
#include <cstdint>
#include <optional>

#include "platform/path.hpp"
#include "platform/text.hpp"
#include "state/content_hash.hpp"
#include "state/data_directory.hpp"
#include "state/detailed_record.hpp"
#include "state/journal_storage.hpp"
#include "state/placement.hpp"
#include "steam/conversion.hpp"
#include "steam/url_reader.hpp"

namespace mossglow {
namespace {

// Up to this size an original's bytes stay in memory from its backup to its changed
// copy; a larger one (a shortcut is a few kilobytes) is read again instead.
constexpr std::size_t kept_bytes_limit = 64 * 1024;

constexpr std::string_view changed_during_backup = "原快捷方式在备份过程中发生变化，已保留原文件";

// One shortcut on its way through a batch.
struct Item {
  std::string path;
  std::size_t index = 0;              // in the shortcut list; names the backup copy
  std::optional<std::size_t> record;  // its record in the journal, once appended
  bool is_url = false;
  std::optional<std::string> steam_address;  // a Steam game shortcut, to be converted
  std::uint32_t attributes = 0;              // the shortcut's, for the file that replaces it
  bool scratch = false;                      // the changed copy waits beside the shortcut
  std::optional<std::string> original;       // the original's bytes, while needed
  std::optional<std::string> failure;
};

// A copy left under this name by an earlier, already restored apply carries the
// attributes of the shortcut it was taken from, and CopyFileExW refuses to replace a
// read-only, hidden or system file with one that lacks them. Those bits are cleared so
// that the new copy replaces the old one; if that fails, the copy reports its error.
void release_old_copy(const SkinRun& run, const std::string& backup) {
  constexpr std::uint32_t guarding =
      file_attribute_readonly | file_attribute_hidden | file_attribute_system;
  const auto found = run.old_copies.find(ascii_lower(file_name(backup)));
  if (found == run.old_copies.end()) return;
  const std::optional<std::uint32_t> attributes = found->second;
  if ((*attributes & guarding) == 0) return;
  const std::uint32_t rest = *attributes & ~guarding;
  (void)run.sys.files.set_attributes(backup, rest != 0 ? rest : file_attribute_normal);
}

Status save(SkinRun& run) {
  return save_journal(run.sys, run.data_directory, backup_journal, run.journal_text.text());
}

void record_changed(SkinRun& run, std::size_t record) {
  run.journal_text.put(record, backup_journal_element(run.journal[record]));
}

// Copies the shortcut to its backup, durably, and decides what it is. On success the
// item's record is appended to the journal (not yet saved).
Status back_up(SkinRun& run, Item& item) {
  const System& sys = run.sys;
  // A name the journal cannot hold fails here, alone, rather than every later save.
  if (!is_valid_utf8(item.path)) return std::unexpected(std::string(invalid_path_text));
  const std::string ext(extension(item.path).value_or(""));
  const std::string backup =
      join_path(run.originals_directory, std::to_string(item.index) + "." + ext);
  item.is_url = equals_ignoring_ascii_case(ext, "url");
  // Whatever sits under a temporary name the restore may clear is not the program's
  // own while nothing is journalled for this shortcut; it is never touched.
  if (auto free = require_free_temporary(run.listing, item.path); !free) return free;

  release_old_copy(run, backup);
  if (auto copied = sys.files.copy_file(item.path, backup); !copied) {
    return sys.failure(copied.error());
  }
  // The copy is the only other place the original lives once the shortcut is changed
  // or deleted: it is on disk, with its attributes, before the journal points at it.
  if (auto flushed = flush_durably(sys.files, backup); !flushed) {
    return sys.failure(flushed.error());
  }
  auto original = sys.files.read_file(backup);
  if (!original) return std::unexpected(sys.read_text(original.error()));
  auto original_hash = sha256_hex(*original);
  if (!original_hash) return std::unexpected(original_hash.error());
  // Kept for the changed copy when small, so that it need not be read again.
  if (original->size() <= kept_bytes_limit) item.original = std::move(*original);

  if (item.is_url) {
    // The copy is read rather than the desktop file: what is decided about the
    // shortcut is then exactly what the journal's hash describes.
    auto steam_address = read_steam_game_url(sys, backup);
    if (!steam_address) return std::unexpected(steam_address.error());
    item.steam_address = std::move(*steam_address);
    // Refused before anything is journalled: the link could not take the .url's place.
    if (item.steam_address) {
      if (auto clash = check_steam_name_clash(sys, item.path, run.desktops); !clash) return clash;
    }
  }

  auto current_hash = content_hash(sys, item.path);
  if (!current_hash) return std::unexpected(current_hash.error());
  if (*current_hash != *original_hash) return std::unexpected(std::string(changed_during_backup));

  item.record = run.journal.size();
  run.journal.push_back(
      Record{item.path, backup, *original_hash, std::nullopt, std::nullopt, std::nullopt});
  record_changed(run, *item.record);
  return {};
}

// Writes the new icon into a copy of the original beside the shortcut and puts the
// copy's hash into the shortcut's record (not yet saved). The copy takes the
// shortcut's place only after that save, in one rename: so the shortcut is at every
// moment either the original or exactly the file the journal names.
Status change_icon_in_copy(SkinRun& run, Item& item) {
  const System& sys = run.sys;
  Record& record = run.journal[*item.record];
  const auto attributes = run.listing.attributes(item.path);
  if (!attributes) return sys.failure(Win32Error{error_file_not_found});
  // The shortcut itself is what gets the icon; a read-only one refuses the change as
  // saving the link over it would.
  if ((*attributes & file_attribute_readonly) != 0) {
    return std::unexpected(sys.windows_text(hresult_from_win32(error_access_denied)));
  }
  item.attributes = *attributes;

  const std::string scratch = placement_temporary(item.path);
  auto fail = [&](Status failure) {
    (void)discard_temporary(sys, item.path);
    return failure;
  };
  if (!item.original) {
    auto bytes = sys.files.read_file(record.backup);
    if (!bytes) return std::unexpected(sys.read_text(bytes.error()));
    item.original = std::move(*bytes);
  }
  const std::string original = std::move(*item.original);
  item.original.reset();
  // A shell link is changed in memory and written once; an internet shortcut is
  // changed by the profile writer, which works on files only. Either way the changed
  // copy is a plain new file beside the shortcut (its attributes come with the rename).
  Result<std::string> applied_hash;
  if (!item.is_url) {
    auto changed = sys.shell.link_bytes_with_icon(original, run.icon_path);
    if (!changed) return std::unexpected(sys.windows_text(changed.error()));
    if (auto written = sys.files.write_file(scratch, *changed, /*flush=*/false); !written) {
      return fail(sys.failure(written.error()));
    }
    applied_hash = sha256_hex(*changed);
  } else {
    if (auto written = sys.files.write_file(scratch, original, /*flush=*/false); !written) {
      return fail(sys.failure(written.error()));
    }
    if (auto changed = sys.shell.set_url_icon(scratch, run.icon_path); !changed) {
      return fail(std::unexpected(sys.windows_text(changed.error())));
    }
    applied_hash = content_hash(sys, scratch);
  }
  // Not flushed yet: the journal may name these bytes before they are on disk, since
  // they reach the shortcut's place only through put_in_place, which flushes first.
  if (!applied_hash) return fail(std::unexpected(applied_hash.error()));
  record.applied_hash = std::move(*applied_hash);
  record_changed(run, *item.record);
  item.scratch = true;
  return {};
}

void convert(SkinRun& run, Item& item) {
  const SteamEntry entry{*item.steam_address,     item.path,     item.index,
                         run.originals_directory, run.icon_path, run.desktops};
  Record& record = run.journal[*item.record];
  const auto done = convert_steam_shortcut(run.sys, entry, record, [&run, &item] {
    record_changed(run, *item.record);
    return save(run);
  });
  if (!done) item.failure = done.error();
}

// Marks every item still under way (per `still`) failed with the error.
template <class Still>
void fail_all(std::vector<Item>& batch, const std::string& error, Still still) {
  for (Item& item : batch) {
    if (!item.failure && still(item)) item.failure = error;
  }
}

void skin_batch(SkinRun& run, std::vector<Item>& batch) {
  const System& sys = run.sys;
  for (Item& item : batch) {
    if (auto backed_up = back_up(run, item); !backed_up) item.failure = backed_up.error();
  }
  // One save records the whole batch before any of its shortcuts is touched. Records
  // whose save failed stay in the list and reach the disk with the next save.
  const auto journalled = [](const Item& item) { return item.record.has_value(); };
  if (std::ranges::any_of(batch, journalled)) {
    if (auto saved = save(run); !saved) fail_all(batch, saved.error(), journalled);
  }

  for (Item& item : batch) {
    if (item.failure) continue;
    if (item.steam_address) {
      convert(run, item);
    } else if (auto prepared = change_icon_in_copy(run, item); !prepared) {
      item.failure = prepared.error();
    }
  }
  const bool any_scratch =
      std::ranges::any_of(batch, [](const Item& item) { return item.scratch; });
  if (any_scratch) {
    if (auto saved = save(run); !saved) {
      for (Item& item : batch) {
        if (!item.scratch || item.failure) continue;
        (void)discard_temporary(sys, item.path);
        item.failure = saved.error();
      }
    }
  }

  for (Item& item : batch) {
    if (!item.failure && item.scratch) {
      // The changed copy is a new file: it has the archive bit alone, as most shortcuts do.
      if (auto placed = put_in_place(sys, item.path, item.attributes, Placement::replace,
                                     file_attribute_archive);
          !placed) {
        item.failure = placed.error();
      }
    }
    if (item.failure) {
      run.failure_lines.push_back(failure_line(item.path, *item.failure));
      continue;
    }
    ++run.updated;
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
}

}  // namespace mossglow
