#include "operations/restore.hpp"

#include <array>

#include "desktop/places.hpp"
#include "layout/icon_placement.hpp"
#include "operations/report.hpp"
#include "overlay/restore.hpp"
#include "platform/notifications.hpp"
#include "recycle/restore.hpp"
#include "shortcuts/restore.hpp"
#include "shortcuts/scan.hpp"
#include "state/data_directory.hpp"
#include "state/journal_storage.hpp"

namespace mossglow {
namespace {

// Whether any journal still waits to be restored; a journal that cannot be looked at
// counts as one.
bool any_journal_pending(const System& sys, std::string_view data_directory) {
  for (const JournalFiles& journal : all_journals) {
    const auto pending = journal_pending(sys, data_directory, journal);
    if (!pending || *pending) return true;
  }
  return false;
}

}  // namespace

OperationOutcome restore(const System& sys) {
  auto data_dir = data_directory(sys.env);
  if (!data_dir) return std::unexpected(data_dir.error());
  // A journal only names places; whether a place is one an apply could have written
  // is judged against the desktops as they resolve now, never against the journal. A
  // desktop that does not resolve (an offline redirected folder) keeps its own records
  // only: everything else is restored all the same.
  const std::array<Result<std::string>, 2> desktops{
      known_folder_path(sys, KnownFolder::desktop),
      known_folder_path(sys, KnownFolder::public_desktop)};
  const DesktopPlaces places = DesktopPlaces::survey(sys, desktops, *data_dir);
  const std::vector<std::string> resolved = places.resolved();

  // The desktop is told once per folder, after the work, rather than once per item:
  // re-reading both folders shows every change, and asking for it item by item costs
  // more than the restore's own file work. A restore that stops early may have
  // changed something already, so the desktops are refreshed then too.
  const auto stop = [&](std::string error) -> OperationOutcome {
    notify_desktops_updated(sys.shell, resolved);
    return std::unexpected(std::move(error));
  };
  const IconPositions noted = note_link_positions(sys, *data_dir, resolved);
  auto overlay = restore_overlay(sys, places, *data_dir);
  if (!overlay) return stop(overlay.error());

  auto recycle = restore_recycle_icon(sys, *data_dir);
  const Section recycle_section =
      recycle ? std::move(*recycle) : Section{"回收站还原失败：" + recycle.error(), true};

  auto shortcuts = restore_shortcuts(sys, places, *data_dir);
  if (!shortcuts) return stop(shortcuts.error());

  // The desktops an apply remembered are needed as long as any journal names them.
  if (!any_journal_pending(sys, *data_dir)) {
    (void)forget_desktops(sys, *data_dir);
    forget_icon_positions(sys, *data_dir);
  }

  notify_desktops_updated(sys.shell, resolved);
  put_items_where_links_stood(sys, noted);
  Report report = compose_restore_report(*shortcuts, *overlay, recycle_section);
  notify_associations_changed(sys.shell);
  return report;
}

}  // namespace mossglow
