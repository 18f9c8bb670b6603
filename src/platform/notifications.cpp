#include "platform/notifications.hpp"

namespace mossglow {

void notify_item_updated(Shell& shell, std::string_view path) {
  shell.change_notify(shcne_updateitem, shcnf_pathw_flush, path);
}

void notify_desktops_updated(Shell& shell, const DesktopFolders& desktops) {
  for (const std::string& desktop : desktops) {
    shell.change_notify(shcne_updatedir, shcnf_pathw_flush, desktop);
  }
}

void notify_replaced(Shell& shell, std::string_view old_path, std::string_view new_path) {
  shell.change_notify(shcne_delete, shcnf_pathw_flush, old_path);
  shell.change_notify(shcne_create, shcnf_pathw_flush, new_path);
}

void notify_associations_changed(Shell& shell) {
  shell.change_notify(shcne_assocchanged, shcnf_idlist, std::nullopt);
}

}  // namespace mossglow
