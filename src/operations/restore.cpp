#include "operations/restore.hpp"

#include "operations/report.hpp"
#include "overlay/restore.hpp"
#include "platform/notifications.hpp"
#include "recycle/restore.hpp"
#include "shortcuts/restore.hpp"
#include "shortcuts/scan.hpp"
#include "state/data_directory.hpp"

namespace mossglow {

OperationOutcome restore(const System& sys) {
  auto data_dir = data_directory(sys.env);
  if (!data_dir) return std::unexpected(data_dir.error());
  // A journal only names places; whether a place is one an apply could have written
  // is judged against the desktops as they resolve now, never against the journal.
  auto user_desktop = known_folder_path(sys, KnownFolder::desktop);
  if (!user_desktop) return std::unexpected(user_desktop.error());
  auto public_desktop = known_folder_path(sys, KnownFolder::public_desktop);
  if (!public_desktop) return std::unexpected(public_desktop.error());
  const DesktopFolders desktops{*user_desktop, *public_desktop};

  // The desktop is told once per folder, after the work, rather than once per item:
  // re-reading both folders shows every change, and asking for it item by item costs
  // more than the restore's own file work. A restore that stops early may have
  // changed something already, so the desktops are refreshed then too.
  const auto stop = [&](std::string error) -> OperationOutcome {
    notify_desktops_updated(sys.shell, desktops);
    return std::unexpected(std::move(error));
  };
  auto overlay = restore_overlay(sys, desktops, *data_dir);
  if (!overlay) return stop(overlay.error());

  auto recycle = restore_recycle_icon(sys, *data_dir);
  const Section recycle_section =
      recycle ? std::move(*recycle) : Section{"回收站还原失败：" + recycle.error(), true};

  auto shortcuts = restore_shortcuts(sys, desktops, *data_dir);
  if (!shortcuts) return stop(shortcuts.error());

  notify_desktops_updated(sys.shell, desktops);
  Report report = compose_restore_report(*shortcuts, *overlay, recycle_section);
  notify_associations_changed(sys.shell);
  return report;
}

}  // namespace mossglow
