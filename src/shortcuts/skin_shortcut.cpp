#include "shortcuts/skin_shortcut.hpp"

#include <cstdint>
#include <optional>

#include "main/report.hpp"
#include "platform/path.hpp"
#include "platform/text.hpp"
#include "shell/notifications.hpp"
#include "state/content_hash.hpp"
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

// Each step either succeeds or yields the reason text that fails the shortcut.
Result<Shortcut> backup_and_journal(SkinRun& run, const std::string& path, std::size_t index) {
  const std::string ext(extension(path).value_or(""));
  const std::string backup = join_path(run.originals_directory, std::to_string(index) + "." + ext);

  release_old_copy(run.sys.files, backup);
  if (auto copied = run.sys.files.copy_file(path, backup); !copied) {
    return std::unexpected(run.sys.os_text(copied.error()));
  }
  // The copy is the only other place the original lives once the shortcut is changed,
  // so it is pushed to disk before the journal points at it. This is only a safeguard:
  // a copy of a read-only shortcut is read-only too and cannot be opened for flushing,
  // and such a shortcut must still be journalled and fail at its icon change, not here.
  (void)run.sys.files.flush_file(backup);
  auto original_hash = content_hash(run.sys, backup);
  if (!original_hash) return std::unexpected(original_hash.error());

  Shortcut shortcut;
  shortcut.is_url = equals_ignoring_ascii_case(ext, "url");
  if (shortcut.is_url) {
    // The copy is read rather than the desktop file: what is decided about the
    // shortcut is then exactly what the journal's hash describes.
    auto steam_address = read_steam_game_url(run.sys, backup);
    if (!steam_address) return std::unexpected(steam_address.error());
    shortcut.steam_address = std::move(*steam_address);
    // Refused before anything is journalled: the link could not take the .url's place.
    if (shortcut.steam_address) {
      if (auto clash = check_steam_name_clash(run.sys, path, run.desktops); !clash) {
        return std::unexpected(clash.error());
      }
    }
  }

  auto current_hash = content_hash(run.sys, path);
  if (!current_hash) return std::unexpected(current_hash.error());
  if (*current_hash != *original_hash) return std::unexpected(std::string(changed_during_backup));

  run.journal.push_back(
      Record{path, backup, *original_hash, std::nullopt, std::nullopt, std::nullopt});
  if (auto saved = save_backup_journal(run.sys, run.data_directory, run.journal); !saved) {
    return std::unexpected(saved.error());
  }
  return shortcut;
}

Status change_icon_and_record(SkinRun& run, const std::string& path, bool is_url) {
  const auto changed = is_url ? run.sys.shell.set_url_icon(path, run.icon_path)
                              : run.sys.shell.set_link_icon(path, run.icon_path);
  if (!changed) return std::unexpected(run.sys.windows_text(changed.error()));

  auto applied_hash = content_hash(run.sys, path);
  if (!applied_hash) return std::unexpected(applied_hash.error());
  // Kept in the list even if this save fails: the next successful save writes it.
  run.journal.back().applied_hash = *applied_hash;
  return save_backup_journal(run.sys, run.data_directory, run.journal);
}

Status convert(SkinRun& run, const std::string& path, std::size_t index, std::string_view address) {
  const SteamEntry entry{address,      path, index, run.originals_directory, run.data_directory,
                         run.icon_path};
  if (auto converted = convert_steam_shortcut(run.sys, entry, run.journal); !converted) {
    return converted;
  }
  ++run.converted;
  return {};
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
  notify_item_updated(run.sys.shell, path);
}

}  // namespace mossglow
