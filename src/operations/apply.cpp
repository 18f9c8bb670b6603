#include "operations/apply.hpp"

#include <algorithm>

#include "desktop/places.hpp"
#include "layout/icon_placement.hpp"
#include "operations/outcome.hpp"
#include "operations/report.hpp"
#include "overlay/apply.hpp"
#include "overlay/scan.hpp"
#include "platform/notifications.hpp"
#include "platform/path.hpp"
#include "platform/text.hpp"
#include "recycle/apply.hpp"
#include "shortcuts/scan.hpp"
#include "shortcuts/skin_shortcuts.hpp"
#include "state/backup_journal.hpp"
#include "state/data_directory.hpp"
#include "state/detailed_record.hpp"
#include "state/journal_storage.hpp"
#include "state/originals.hpp"
#include "steam/conversion.hpp"

namespace mossglow {
namespace {

constexpr std::string_view pending_restore = "已有待还原的备份，请先还原。";
constexpr std::string_view no_shortcuts = "桌面没有找到支持的快捷方式。";

// Skins every listed shortcut and returns the shortcut section, or the error that
// ends the apply (the originals directory or the icon file cannot be written).
Result<Section> skin_shortcuts(const System& sys, const DesktopFolders& desktops,
                               const DesktopListing& listing, std::string_view data_directory,
                               const std::vector<std::string>& shortcuts) {
  auto originals = OriginalsFolder::open(sys, data_directory, shortcuts.size());
  if (!originals) return std::unexpected(originals.error());
  SkinRun run{
      sys, desktops, listing, *originals, std::string(data_directory), icon_path(data_directory)};
  if (auto written = write_icon(sys, data_directory, IconWrite::always); !written) {
    return std::unexpected(written.error());
  }

  skin_shortcuts(run, shortcuts);

  const std::string suffix =
      write_detailed_record(sys, data_directory, apply_record_title, run.failure_lines);
  notify_associations_changed(sys.shell);
  return Section{"已更新快捷方式 " + std::to_string(run.updated) + " 个，失败 " +
                     std::to_string(run.failure_lines.size()) + " 个。" + suffix + "\n备份：" +
                     path_display_text(data_directory),
                 !run.failure_lines.empty()};
}

// Every item the apply may replace by a new link, which Explorer would put in the first
// free cell: each plain file or folder the overlay may cover, and each .url, which may be
// a Steam game's that becomes a link of the same stem.
std::vector<Replacement> replaceable_items(const DesktopListing& listing,
                                           const std::vector<std::string>& shortcuts) {
  std::vector<Replacement> items;
  for (const ListedEntry& item : overlay_candidates(listing)) {
    items.push_back({item.path, item.path + ".lnk"});
  }
  for (const std::string& shortcut : shortcuts) {
    if (has_extension(shortcut, "url")) items.push_back({shortcut, steam_link_path(shortcut)});
  }
  return items;
}

}  // namespace

OperationOutcome apply_skin(const System& sys, const DesktopFolders& desktops,
                            std::string_view data_directory) {
  for (const JournalFiles& journal : all_journals) {
    auto pending = journal_pending(sys, data_directory, journal);
    if (!pending) return std::unexpected(pending.error());
    if (*pending) return std::unexpected(std::string(pending_restore));
  }

  auto listing = DesktopListing::read(sys, desktops);
  if (!listing) return std::unexpected(listing.error());
  const std::vector<std::string> shortcuts = desktop_shortcuts(*listing);
  // Before any journal names an entry on them: a restore finds the entries again when
  // a desktop has moved since.
  if (auto made = sys.files.create_directories(data_directory); !made) {
    return sys.failure(made.error());
  }
  if (auto remembered = remember_desktops(sys, data_directory, desktops); !remembered) {
    return std::unexpected(remembered.error());
  }
  const IconPositions kept =
      keep_item_positions(sys, data_directory, replaceable_items(*listing, shortcuts));

  Section shortcut_section{std::string(no_shortcuts), false};
  if (!shortcuts.empty()) {
    auto section = skin_shortcuts(sys, desktops, *listing, data_directory, shortcuts);
    if (!section) return std::unexpected(section.error());
    shortcut_section = std::move(*section);
  }

  auto overlay_section = apply_overlay(sys, desktops, data_directory);
  if (!overlay_section) {
    // The shortcuts may be changed by now; the desktop is refreshed all the same.
    notify_desktops_updated(sys.shell, desktops);
    return std::unexpected(overlay_section.error());
  }

  auto recycle = apply_recycle_icon(sys, data_directory);
  const Section recycle_section = recycle ? Section{std::move(*recycle), false}
                                          : Section{"回收站设置失败：" + recycle.error(), true};

  // The desktop is told once per folder, after the work, rather than once per item:
  // re-reading both folders and dropping the cached icons shows every change, and
  // asking for it item by item costs more than much of the apply's own file work.
  notify_desktops_updated(sys.shell, desktops);
  notify_associations_changed(sys.shell);
  put_links_where_items_stood(sys, kept);
  return compose_apply_report(shortcut_section, *overlay_section, recycle_section);
}

OperationOutcome apply(const System& sys) {
  auto user_desktop = known_folder_path(sys, KnownFolder::desktop);
  if (!user_desktop) return std::unexpected(user_desktop.error());
  auto public_desktop = known_folder_path(sys, KnownFolder::public_desktop);
  if (!public_desktop) return std::unexpected(public_desktop.error());
  auto data_dir = data_directory(sys.env);
  if (!data_dir) return std::unexpected(data_dir.error());
  return apply_skin(sys, DesktopFolders{*user_desktop, *public_desktop}, *data_dir);
}

}  // namespace mossglow
