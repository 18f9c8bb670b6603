#include "shortcuts/skin_shortcut.hpp"

#include <cstdint>
#include <optional>

#include "platform/path.hpp"
#include "platform/text.hpp"
#include "shell/notifications.hpp"
#include "state/content_hash.hpp"
#include "state/detailed_record.hpp"
#include "state/journal_json.hpp"
#include "state/placement.hpp"
#include "steam/steam_conversion.hpp"
#include "steam/url_reader.hpp"

namespace mossglow {
namespace {

constexpr std::string_view changed_during_backup = "原快捷方式在备份过程中发生变化，已保留原文件";

// What the backup found the shortcut to be.
struct Shortcut {
  bool is_url = false;
  std::optional<std::string> steam_address;  // a Steam game shortcut, to be converted
};

// A copy left under this name by an earlier, already restored apply carries the
// attributes of the shortcut it was taken from, and CopyFileExW refuses to replace a
// read-only, hidden or system file with one that lacks them. Those bits are cleared so
// that the new copy replaces the old one; if that fails, the copy reports its error.
void release_old_copy(FileSystem& files, const std::string& backup) {
  constexpr std::uint32_t guarding =
      file_attribute_readonly | file_attribute_hidden | file_attribute_system;
  const auto attributes = files.get_attributes(backup);
  if (!attributes || (*attributes & guarding) == 0) return;
  const std::uint32_t rest = *attributes & ~guarding;
  (void)files.set_attributes(backup, rest != 0 ? rest : file_attribute_normal);
}

Status os_failure(const System& sys, Win32Error error) {
  return std::unexpected(sys.os_text(error));
}

// Each step either succeeds or yields the reason text that fails the shortcut.
Result<Shortcut> backup_and_journal(SkinRun& run, const std::string& path, std::size_t index) {
  const System& sys = run.sys;
  // A name the journal cannot hold fails here, alone, rather than every later save.
  if (!is_valid_utf8(path)) return std::unexpected(std::string(invalid_path_text));
  const std::string ext(extension(path).value_or(""));
  const std::string backup = join_path(run.originals_directory, std::to_string(index) + "." + ext);

  Shortcut shortcut;
  shortcut.is_url = equals_ignoring_ascii_case(ext, "url");
  // Whatever sits under a temporary name the restore may clear is not the program's
  // own while nothing is journalled for this shortcut; it is never touched.
  if (auto free = require_free_temporary(sys, path); !free) return std::unexpected(free.error());

  release_old_copy(sys.files, backup);
  if (auto copied = sys.files.copy_file(path, backup); !copied) {
    return std::unexpected(sys.os_text(copied.error()));
  }
  // The copy is the only other place the original lives once the shortcut is changed
  // or deleted: it is on disk, with its attributes, before the journal points at it.
  if (auto flushed = flush_durably(sys.files, backup); !flushed) {
    return std::unexpected(sys.os_text(flushed.error()));
  }
  auto original_hash = content_hash(sys, backup);
  if (!original_hash) return std::unexpected(original_hash.error());

  if (shortcut.is_url) {
    // The copy is read rather than the desktop file: what is decided about the
    // shortcut is then exactly what the journal's hash describes.
    auto steam_address = read_steam_game_url(sys, backup);
    if (!steam_address) return std::unexpected(steam_address.error());
    shortcut.steam_address = std::move(*steam_address);
    // Refused before anything is journalled: the link could not take the .url's place.
    if (shortcut.steam_address) {
      if (auto clash = check_steam_name_clash(sys, path, run.desktops); !clash) {
        return std::unexpected(clash.error());
      }
    }
  }

  auto current_hash = content_hash(sys, path);
  if (!current_hash) return std::unexpected(current_hash.error());
  if (*current_hash != *original_hash) return std::unexpected(std::string(changed_during_backup));

  run.journal.push_back(
      Record{path, backup, *original_hash, std::nullopt, std::nullopt, std::nullopt});
  if (auto saved = save_backup_journal(sys, run.data_directory, run.journal); !saved) {
    return std::unexpected(saved.error());
  }
  return shortcut;
}

// The new icon is written into a copy of the original beside the shortcut, and the
// copy's hash is journalled before the copy takes the shortcut's place in one rename.
// So the shortcut is at every moment either the original or exactly the file the
// journal names, and a restore can prove whichever it finds.
Status change_icon_and_record(SkinRun& run, const std::string& path, bool is_url) {
  const System& sys = run.sys;
  Record& record = run.journal.back();
  auto attributes = sys.files.get_attributes(path);
  if (!attributes) return os_failure(sys, attributes.error());
  // The shortcut itself is what gets the icon; a read-only one refuses the change as
  // saving the link over it would.
  if ((*attributes & file_attribute_readonly) != 0) {
    return std::unexpected(sys.windows_text(hresult_from_win32(error_access_denied)));
  }

  const std::string scratch = placement_temporary(path);
  if (auto copied = sys.files.copy_file(record.backup, scratch); !copied) {
    (void)discard_temporary(sys, path);
    return os_failure(sys, copied.error());
  }
  // The shell rewrites the file whole, and Windows refuses to recreate a hidden or
  // system file under the same name; the copy gets the shortcut's bits back below.
  constexpr std::uint32_t guarding = file_attribute_hidden | file_attribute_system;
  if ((*attributes & guarding) != 0) {
    if (auto plain = sys.files.set_attributes(scratch, file_attribute_archive); !plain) {
      (void)discard_temporary(sys, path);
      return os_failure(sys, plain.error());
    }
  }
  const auto changed = is_url ? sys.shell.set_url_icon(scratch, run.icon_path)
                              : sys.shell.set_link_icon(scratch, run.icon_path);
  if (!changed) {
    (void)discard_temporary(sys, path);
    return std::unexpected(sys.windows_text(changed.error()));
  }
  // Not flushed yet: the journal may name these bytes before they are on disk, since
  // they reach the shortcut's place only through put_in_place, which flushes first.
  auto applied_hash = content_hash(sys, scratch);
  if (!applied_hash) {
    (void)discard_temporary(sys, path);
    return std::unexpected(applied_hash.error());
  }
  record.applied_hash = *applied_hash;
  if (auto saved = save_backup_journal(sys, run.data_directory, run.journal); !saved) {
    (void)discard_temporary(sys, path);
    return saved;
  }
  return put_in_place(sys, path, *attributes, Placement::replace);
}

Status convert(SkinRun& run, const std::string& path, std::size_t index, std::string_view address) {
  const SteamEntry entry{address,      path, index, run.originals_directory, run.data_directory,
                         run.icon_path};
  return convert_steam_shortcut(run.sys, entry, run.journal);
}

}  // namespace

void skin_shortcut(SkinRun& run, const std::string& path, std::size_t index) {
  auto shortcut = backup_and_journal(run, path, index);
  Status done = shortcut ? Status{} : Status{std::unexpect, shortcut.error()};
  if (done) {
    done = shortcut->steam_address ? convert(run, path, index, *shortcut->steam_address)
                                   : change_icon_and_record(run, path, shortcut->is_url);
  }
  if (!done) {
    run.failure_lines.push_back(failure_line(path, done.error()));
    return;
  }
  ++run.updated;
  notify_item_updated(run.sys.shell, path);
}

}  // namespace mossglow
