#include "steam/conversion.hpp"

#include "desktop/link_proof.hpp"
#include "desktop/writes.hpp"
#include "platform/file_system.hpp"
#include "platform/path.hpp"
#include "state/content_hash.hpp"
#include "steam/launcher.hpp"

namespace mossglow {

namespace {

constexpr std::string_view name_taken = "同名快捷方式已存在：";
constexpr std::string_view url_changed = "原快捷方式在换肤过程中发生变化，已保留原文件";
constexpr std::string_view link_changed = "生成的快捷方式校验失败，已保留原文件";

}  // namespace

Status verify_icon_read_back(const System& sys, std::string_view link_path,
                             std::string_view expected_icon_path) {
  const auto shown = sys.shell.icon_location(link_path);
  if (shown && shown->index == 0 && paths_equal(shown->path, expected_icon_path)) return {};
  // The reason is not told: the shell gives none, and any answer but this one means
  // the link would not show the mascot.
  return std::unexpected(std::string("Windows 未能回读Brambun图标，已保留原快捷方式"));
}

std::string steam_link_arguments(std::string_view address) {
  // "--" ends steam.exe's own options, so an address can never be taken for one.
  return "-- \"" + std::string(address) + "\"";
}

std::string launcher_folder(std::string_view launcher) {
  // A root keeps its separator: "C:" alone would mean the current folder of drive C.
  return std::string(without_last_component(launcher));
}

Result<std::string> steam_link_bytes(const System& sys, std::string_view address,
                                     std::string_view icon_path) {
  auto launcher = find_steam_launcher(sys);
  if (!launcher) return std::unexpected(launcher.error());

  const NewLink link{*launcher, steam_link_arguments(address), launcher_folder(*launcher),
                     std::string(icon_path), 0};
  auto bytes = sys.shell.new_link_bytes(link);
  if (!bytes) return std::unexpected(sys.windows_text(bytes.error()));
  if (auto held = expect_link_holds(sys, *bytes, link); !held) return std::unexpected(held.error());
  return std::move(*bytes);
}

std::string steam_link_path(std::string_view url_path) { return with_extension(url_path, "lnk"); }

Status check_steam_name_clash(const System& sys, std::string_view url_path,
                              const DesktopFolders& desktops) {
  const std::string link = steam_link_path(url_path);
  for (const std::string_view desktop : distinct_desktops(desktops)) {
    // A dangling link of that name is taken too: writing over it would write through it.
    auto taken = sys.exists(join_path(desktop, file_name(link)));
    if (!taken) return std::unexpected(taken.error());
    if (*taken) return std::unexpected(std::string(name_taken) + link);
  }
  return {};
}

WriteResult<void> convert_steam_shortcut(const System& sys, const SteamEntry& entry, Record& record,
                                         const std::function<Status()>& save) {
  // Until the link is created nothing on the desktop has changed.
  const auto before_any_change = [](Status status) -> WriteResult<void> {
    if (status) return {};
    return std::unexpected(WriteFailure{std::move(status.error()), false});
  };
  const auto after_creation = [](Status status) -> WriteResult<void> {
    if (status) return {};
    return std::unexpected(WriteFailure{std::move(status.error()), true});
  };
  const std::string link = steam_link_path(entry.url_path);
  // Shortcuts are journalled a batch at a time, so another conversion may have taken
  // the name since this one was checked.
  if (auto clash = check_steam_name_clash(sys, entry.url_path, entry.desktops); !clash) {
    return before_any_change(clash);
  }
  auto bytes = steam_link_bytes(sys, entry.address, entry.icon_path);
  if (!bytes) return before_any_change(std::unexpected(bytes.error()));
  auto staging = entry.originals.keep_staging(entry.index, *bytes);
  if (!staging) return before_any_change(std::unexpected(staging.error()));
  if (auto shown = verify_icon_read_back(sys, *staging, entry.icon_path); !shown) {
    return before_any_change(shown);
  }
  // From this save on, a restore knows the desktop link may exist and which bytes it
  // must have (or have begun to have) to be removed.
  record.replacement_path = link;
  auto link_hash = sha256_hex(*bytes);
  if (!link_hash) return before_any_change(std::unexpected(link_hash.error()));
  record.replacement_hash = *link_hash;
  if (auto saved = save(); !saved) return before_any_change(saved);

  // Only where no file of its name is: CREATE_NEW.
  if (auto created = create_on_desktop(sys, link, *bytes); !created) return created;
  if (auto shown = verify_icon_read_back(sys, link, entry.icon_path); !shown) {
    return after_creation(shown);
  }
  // The .url goes only when it is still the file that was backed up and the link on the
  // desktop is exactly the recorded one; its copy is on disk since the backup.
  if (auto same = expect_content_hash(sys, entry.url_path, record.original_hash, url_changed);
      !same) {
    return after_creation(same);
  }
  if (auto same = expect_content_hash(sys, link, record.replacement_hash, link_changed); !same) {
    return after_creation(same);
  }
  // A read-only file cannot be deleted; the record holds the bit, which a restore gives
  // back with the file.
  const std::uint32_t attributes = record.attributes.value_or(file_attribute_archive);
  const bool read_only = (attributes & file_attribute_readonly) != 0;
  if (read_only) {
    auto cleared = sys.files.set_attributes(entry.url_path,
                                            attribute_word(attributes & ~file_attribute_readonly));
    if (!cleared) return after_creation(sys.failure(cleared.error()));
  }
  if (auto deleted = sys.files.delete_file(entry.url_path); !deleted) {
    if (read_only) (void)sys.files.set_attributes(entry.url_path, attribute_word(attributes));
    return after_creation(sys.failure(deleted.error()));
  }
  return {};
}

}  // namespace mossglow
