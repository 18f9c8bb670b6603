#include "main/program_steps.hpp"

#include "overlay/overlay_restore.hpp"
#include "recycle/recycle_restore.hpp"
#include "shell/notifications.hpp"
#include "shortcuts/apply.hpp"
#include "shortcuts/restore.hpp"
#include "shortcuts/scan.hpp"
#include "state/data_directory.hpp"

namespace mossglow {

OperationSteps make_operation_steps(const System& sys) {
  OperationSteps steps;
  steps.data_directory = [sys] { return data_directory(sys.env); };
  steps.known_folder = [sys](KnownFolder folder) { return known_folder_path(sys, folder); };
  steps.apply_skin = [sys](const std::string& user_desktop, const std::string& public_desktop,
                           const std::string& data_dir) {
    return apply_skin(sys, DesktopFolders{user_desktop, public_desktop}, data_dir);
  };
  steps.restore_overlay = [sys](const DesktopFolders& desktops, const std::string& data_dir) {
    return restore_overlay(sys, desktops, data_dir);
  };
  steps.restore_recycle_icon = [sys](const std::string& data_dir) {
    return restore_recycle_icon(sys, data_dir);
  };
  steps.restore_shortcuts = [sys](const DesktopFolders& desktops, const std::string& data_dir) {
    return restore_shortcuts(sys, desktops, data_dir);
  };
  steps.notify_desktops_updated = [sys](const std::string& user_desktop,
                                        const std::string& public_desktop) {
    notify_desktops_updated(sys.shell, DesktopFolders{user_desktop, public_desktop});
  };
  steps.notify_associations_changed = [sys] { notify_associations_changed(sys.shell); };
  steps.windows_error_text = [sys](HResult result) { return sys.windows_text(result); };
  return steps;
}

}  // namespace mossglow
