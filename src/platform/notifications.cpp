#include "platform/notifications.hpp"

namespace mossglow {

void notify_desktops_updated(Shell& shell, std::span<const std::string> desktops) {
  for (const std::string& desktop : desktops) {
    shell.change_notify(shcne_updatedir, shcnf_pathw_flush, desktop);
  }
}

void notify_associations_changed(Shell& shell) {
  shell.change_notify(shcne_assocchanged, shcnf_idlist, std::nullopt);
}

}  // namespace mossglow
