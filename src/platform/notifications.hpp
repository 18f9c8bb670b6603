#pragma once

#include <string_view>

#include "platform/desktop_folders.hpp"
#include "platform/shell.hpp"

namespace mossglow {

// Tells Explorer what changed so that the desktop shows the new icons without a manual
// refresh. None of these can fail visibly: the shell gives no result.

// One file or folder changed in place.
void notify_item_updated(Shell& shell, std::string_view path);
// Both desktops changed, the user's own first.
void notify_desktops_updated(Shell& shell, const DesktopFolders& desktops);
// One file took the place of another (a shortcut converted to a different file).
void notify_replaced(Shell& shell, std::string_view old_path, std::string_view new_path);
// Icons may have changed everywhere; the shell drops its cached icons.
void notify_associations_changed(Shell& shell);

}  // namespace mossglow
