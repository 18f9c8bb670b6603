#pragma once

#include <string_view>

#include "main/operation_outcome.hpp"
#include "platform/system.hpp"
#include "shortcuts/desktop_folders.hpp"

namespace mossglow {

// One whole apply: refuses while a journal is pending, skins every desktop shortcut
// with write-ahead journalling, then runs the overlay and recycle-bin steps.
OperationOutcome apply_skin(const System& sys, const DesktopFolders& desktops,
                            std::string_view data_directory);

}  // namespace mossglow
