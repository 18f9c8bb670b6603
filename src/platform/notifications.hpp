#pragma once

#include <string_view>

#include "platform/desktop_folders.hpp"
#include "platform/shell.hpp"

namespace mossglow {

// Tells Explorer what changed so that the desktop shows the new icons without a manual
// refresh. None of these can fail visibly: the shell gives no result.

// Both desktops changed, the user's own first.
void notify_desktops_updated(Shell& shell, const DesktopFolders& desktops);
// Icons may have changed everywhere; the shell drops its cached icons.
void notify_associations_changed(Shell& shell);

}  // namespace mossglow
