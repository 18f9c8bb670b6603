#pragma once

#include <span>
#include <string>
#include <string_view>

#include "platform/desktop_folders.hpp"
#include "platform/shell.hpp"

namespace mossglow {

// Tells Explorer what changed so that the desktop shows the new icons without a manual
// refresh. None of these can fail visibly: the shell gives no result.

// Both desktops changed, the user's own first (a desktop that cannot be found is left out).
void notify_desktops_updated(Shell& shell, std::span<const std::string> desktops);
// Icons may have changed everywhere; the shell drops its cached icons.
void notify_associations_changed(Shell& shell);

}  // namespace mossglow
